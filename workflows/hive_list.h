// The loaded-hive list: user hives with their hive names, and device paths mapped to drive letters.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform.h"

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

// One path per drive letter (a: to z:) whose device name is the leading part of the path, followed
// by a backslash; the path's later letters are tried against the replaced path.
std::vector<std::string> MapToDrivePath(const std::string &hiveFile);
