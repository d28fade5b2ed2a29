// The loaded-hive list: user hives with their hive names, and device paths mapped to drive letters.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Calls onHive(hive name, hive file path in device form) for each user hive, in list order.
void WalkUserHives(const std::function<void(const std::string &, const std::string &)> &onHive);

// True when a user hive's file would be one of the backup set's own files (file names compare
// without regard to case): the hive list may name any key under HKEY_USERS, even "SOFTWARE".
bool IsNameOfSetFile(const std::string &hiveName);

// One path per drive letter (a: to z:) whose device name occurs in the path, each replaced cumulatively.
std::vector<std::string> MapToDrivePath(const std::string &hiveFile);
