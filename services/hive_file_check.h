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
  NotAHive,    // no base block with "regf" and a valid checksum (nor, on Wine, Wine's text form)
};

struct HiveFileCheck {
  std::string file;
  HiveFileState state = HiveFileState::Good;
  DWORD error = 0;
};

HiveFileCheck CheckHiveFile(const std::string &file);

// The reason in the user's words, such as "ist leer"; "" for a good file.
std::string HiveFileReason(const HiveFileCheck &check);
