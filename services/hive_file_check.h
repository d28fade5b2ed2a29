// Whether a file can be handed to the system as a hive: the check a restore makes of every file of
// a backup set before it copies the first one.
#pragma once

#include <string>

#include "platform.h"

enum class HiveFileState {
  Good,        // a registry hive file as the system's save calls write them
  Folder,      // a folder, not a file
  Unreadable,  // cannot be opened or read (error holds the code)
  Empty,       // 0 bytes
  NotAHive,    // does not begin with "regf" (nor, on Wine, with Wine's text header)
  Truncated,   // ends before the data its base block announces (on Wine: before its last line end)
  Damaged,     // a fault in the base block, a hive bin, a cell or the key tree
  OtherHive,   // a sound hive, but not the machine hive whose name the file has (hive holds it)
};

struct HiveFileCheck {
  std::string file;
  HiveFileState state = HiveFileState::Good;
  DWORD error = 0;
  std::string hive;  // the machine hive the file should hold; "" for a user hive
};

// Walks the whole file as the system's hive loader does, reading it once: the base block, every
// hive bin and cell, and the key tree from the root. On Wine, whose RegSaveKey writes a text form,
// that form is checked line by line instead.
HiveFileCheck CheckHiveFile(const std::string &file);
// The same, for the file of a machine hive ("SOFTWARE", "SYSTEM", "SECURITY", "SAM"): its root must
// have a sub-key that this hive always has (on Wine: its text header names the hive), so that a
// file holding another hive under this name fails.
HiveFileCheck CheckHiveFile(const std::string &file, const std::string &machineHive);
// The same, and *sha256 (when not null) the SHA-256 of the whole file (64 lower-case hex digits)
// from the same single read: the bytes checked are the bytes hashed. Set only for a good file; a
// file whose hash cannot be made is Unreadable with the CNG call's status.
HiveFileCheck CheckHiveFile(const std::string &file, const std::string &machineHive, std::string *sha256);

// The reason in the user's words, such as "ist leer"; "" for a good file.
std::string HiveFileReason(const HiveFileCheck &check);
