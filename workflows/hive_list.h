// The hives of a backup set: the four machine hives, the loaded-hive list's user hives with their
// hive names, and device paths mapped to drive letters.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform.h"

// A machine hive as both runs handle it, in the runs' order.
struct MachineHive {
  const char *status;   // the status line while it is handled
  const char *hive;     // its file in the backup set and in the configuration folder
  const char *staged;   // the restore's staged copy; SOFTWARE's is written ".TMP", the same file
  const char *keyPath;
  int progress;         // the progress bar once it is done
};
extern const MachineHive kMachineHives[4];

// Calls onHive(hive name, hive file path in device form) for each user hive, in list order.
void WalkUserHives(const std::function<void(const std::string &, const std::string &)> &onHive);

// The name under which the backup saves each hive first, in the backup folder. Three characters,
// as short as the shortest file of the set ("SAM"), so that no folder that fits the set's paths is
// too long for it.
extern const char *const kSaveTempName;

// True when a hive name may name a file of the backup set: one plain file name (IsPlainFileName)
// that is none of the set's own files ("SOFTWARE", ..., "ConsoleBackup.bat", the temporary
// name), which file names would match without regard to case. The loaded-hive list may name any
// key under HKEY_USERS.
bool IsUsableHiveName(const std::string &hiveName);

// True when HKEY_USERS has the hive's key: a save must not create it.
bool UserHiveKeyExists(const std::string &hiveName, LONG *status);

// The device names of the drive letters a: to z:, read at the first use (QueryDosDeviceA once per
// letter) and then kept: one table serves every hive of a run.
class DriveTable {
 public:
  // The letter's device name, "" when the letter has none.
  const std::string &Device(char letter);

 private:
  bool read_ = false;
  std::string devices_[26];
};

// One path per drive letter (a: to z:) whose device name is the leading part of the path, followed
// by a backslash; the path's later letters are tried against the replaced path.
std::vector<std::string> MapToDrivePath(const std::string &hiveFile, DriveTable &drives);
std::vector<std::string> MapToDrivePath(const std::string &hiveFile);  // with a table of its own
