// The registry's hive file format ("regf"), as the simulated kernel writes it for RegSaveKey and
// loads it for RegReplaceKey: a 4096-byte base block, then hive bins of cells (nk keys, vk values,
// value lists, lh/ri sub-key indexes, one sk security cell, db big data). Names and string data
// are held in ANSI (Windows-1252) as the A calls see them and stored in UTF-16 as Windows stores
// them.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim_internal {

struct HiveValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

struct HiveKey {
  std::string name;
  std::vector<HiveValue> values;
  std::vector<HiveKey> children;  // written in the order given; the writer's index sorts them
};

// The bytes of a hive file holding `root` and its subtree.
std::string WriteHiveFile(const HiveKey &root);

// The tree of a hive file, as the kernel loads it; false when the bytes are no sound hive file
// (the kernel's ERROR_BADDB). Every offset is checked before it is followed.
bool ReadHiveFile(const std::string &bytes, HiveKey *root);

}  // namespace sim_internal
