// The restore of a backup set into a Windows installation that is not running (from the recovery
// environment's command prompt, or a disk attached to another machine): the set is checked, every
// file is staged beside its target, and only then are the old hives and their logs moved aside and
// the staged files renamed into place; "Rueckgaengig.bat" in the run's folder puts everything back.
#pragma once

#include <string>

enum class OfflineOutcome {
  Done,      // every hive replaced (user hives whose profile folder is missing are skipped)
  Failed,    // the set failed its check, or a file could not be staged or replaced
  Unusable,  // the set folder or the target Windows folder cannot be used; nothing changed
};

// Where the run's lines go (the console), one call per line.
class OfflineLine {
 public:
  virtual void operator()(const std::string &line) const = 0;

 protected:
  ~OfflineLine() = default;
};

// windowsFolder "" searches every drive's \Windows that holds System32\config\SYSTEM and is not
// the running system's own.
OfflineOutcome RunOfflineRestore(const std::string &setFolder, const std::string &windowsFolder,
                                 const OfflineLine &say);

// The undo script's name in the run's folder.
extern const char kUndoScriptName[];
