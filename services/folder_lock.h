// One run per backup folder: a backup, a restore, the check of a set and the removal of an old set
// each take the folder before they read or write anything in it, through a lock file in the folder
// that the run creates, holds open without sharing and that goes when its handle closes (also when
// the process ends without closing it). A file in the folder works on a network share too, where a
// name that is only known to one machine would not.
#pragma once

#include <string>

#include "platform.h"
#include "services/handles.h"

// The lock file's name. The "~" keeps it apart from every hive name (no usable hive name holds
// one) and its four-letter extension from every 8.3 alias of another file.
extern const char *const kFolderLockName;

enum class FolderLockState {
  Taken,       // this run holds the folder
  InUse,       // another run holds it: the run must change nothing in it
  Unlockable,  // no lock file can be made there (a read-only medium, no right to write)
};

class FolderLock {
 public:
  // Takes folder for this run. A file of the lock's name that the run did not create (left by a
  // machine that went down, or a user's) is held open without sharing instead, and never deleted.
  [[nodiscard]] FolderLockState Take(const std::string &folder);
  void Release() { file_.Close(); }
  // True when the lock file held is the run's own, made by Take (and gone with Release).
  bool Created() const { return created_; }

 private:
  HandleOwner file_;
  bool created_ = false;
};

// The line and box text for a folder that another run holds.
std::string FolderInUseText(const std::string &folder);

// The box a run in the window shows for a folder that another run holds (report kind FolderInUse).
void ReportFolderInUse(const std::string &folder);
