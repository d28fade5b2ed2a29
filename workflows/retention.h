// Retention of dated backup sets: below a folder, the sub-folders named by a date as the date
// check box names them (MM-DD-YYYY) that hold one backup set and nothing else; the oldest beyond
// a number to keep are removed, file by file and then the folder.
#pragma once

#include <string>
#include <vector>

// The date of a folder name as year * 10000 + month * 100 + day when the name is exactly
// MM-DD-YYYY with a real date (leap years included), else 0.
int DateFolderKey(const std::string &name);

// True when folder holds the files of one backup set and nothing else (IsOneSetListing): "SOFTWARE",
// "SYSTEM", "SECURITY", "SAM" and "ConsoleBackup.bat", each present as a file, "SHA256SUMS" at most
// once, and besides them only user hive files (plain names that are no other file of the set, each
// a hive file by the restore's check). No sub-folder, no name that stands for another file, no name the ANSI calls cannot name
// exactly.
bool HoldsOnlyOneSet(const std::string &folder);

// Removes the date-named sets of folder beyond the newest `keep`; the set named current (the one
// just written) is one of those kept, whatever its date. A folder that is not such a set is neither
// counted nor touched. Returns the paths of the folders removed.
std::vector<std::string> RemoveOldSets(const std::string &folder, int keep, const std::string &current);
