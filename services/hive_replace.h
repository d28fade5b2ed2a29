// Registering a staged hive file to replace a loaded hive at the next start.
#pragma once

#include <string>

#include "platform.h"

// -99999 for an unknown root, -1 when the key cannot be opened, else RegCloseKey's result.
// *registered (when given) tells whether the replacement was registered. Failures are reported
// (kind HiveRestore).
LONG ReplaceHive(const std::string &keyPath, const std::string &newName, const std::string &oldName,
                 bool *registered = nullptr);

// Keeps the file oldName in the configuration folder (the hive as it was before an earlier
// restore, the user's way back) by renaming it to a free name with today's date, such as
// "SOFTWARE.bak-12-10-2026-1", so that a replacement can be registered under oldName. 0 when there
// was no such file or it was renamed; otherwise the error code, reported (kind HiveRestore).
LONG KeepOldHiveFile(const std::string &configFolder, const std::string &oldName);
