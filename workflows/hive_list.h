// The hives of a backup set: the four machine hives, the loaded-hive list's user hives with their
// hive names, and device paths mapped to drive letters.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform.h"
#include "workflows/backup_set.h"  // the set's names, which the walk's callers use with it

// An entry of the loaded-hive list that could not be read: a name or data too long for the
// buffers, a user hive's entry that is no REG_SZ, or the list itself unreadable.
struct HiveListFault {
  DWORD index;       // the entry's place in the list
  std::string name;  // its value name, "" when even that could not be read
  LONG code;         // the enumeration's error code (1629 for a wrong type)
  bool restOfList;   // the list from this entry on could not be read (not only this one entry)
};

// Calls onHive(hive name, hive file path in device form) for each user hive, in list order, and
// onFault for each entry that could not be read (whose hive is therefore unknown); the entries
// after such an entry are still read. A list that is not there at all (Wine has none) has no
// entries; one that is there but cannot be opened, or whose enumeration fails otherwise than at
// its end, is one fault and ends the walk.
void WalkUserHives(const std::function<void(const std::string &, const std::string &)> &onHive,
                   const std::function<void(const HiveListFault &)> &onFault = nullptr);

// The report of an entry that could not be read (kind HiveSave: its hive was not saved).
void ReportHiveListFault(const HiveListFault &fault);

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
