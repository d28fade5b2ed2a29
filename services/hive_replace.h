// Registering a staged hive file to replace a loaded hive at the next start.
#pragma once

#include <string>

#include "platform.h"

// -99999 for an unknown root, -1 when the key cannot be opened, else RegCloseKey's result.
// *registered (when given) tells whether the replacement was registered. Failures are reported
// (kind HiveRestore).
LONG ReplaceHive(const std::string &keyPath, const std::string &newName, const std::string &oldName,
                 bool *registered = nullptr);
