// Damaged forms of a sound hive file: the faults that a copy cut short, a bad sector or an edit
// leave, each with the check's expected verdict. The unit suite and the oracle test (which asks
// the distribution's hive parsers about the same files) share this table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "services/hive_file_check.h"

namespace hive_damage {

const size_t kBase = 4096;  // cell offsets count from the first hive bin, behind the base block

inline uint32_t Get32(const std::string &file, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; i--) value = value << 8 | static_cast<unsigned char>(file[at + static_cast<size_t>(i)]);
  return value;
}

inline void Put32(std::string &file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) file[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// The base block's checksum made right again after an edit of the block, so that the edit itself
// is the fault found.
inline void FixChecksum(std::string &file) {
  uint32_t sum = 0;
  for (size_t at = 0; at < 0x1FC; at += 4) sum ^= Get32(file, at);
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFFu) sum = 0xFFFFFFFEu;
  Put32(file, 0x1FC, sum);
}

// The offsets of the allocated cells that begin with `signature` ("" for all), in file order.
inline std::vector<uint32_t> Cells(const std::string &file, const std::string &signature) {
  std::vector<uint32_t> found;
  const uint32_t size = Get32(file, 0x28);
  for (uint32_t bin = 0; bin < size;) {
    const uint32_t binSize = Get32(file, kBase + bin + 8);
    for (uint32_t cell = bin + 32; cell < bin + binSize;) {
      const int32_t raw = static_cast<int32_t>(Get32(file, kBase + cell));
      if (raw < 0 && file.compare(kBase + cell + 4, signature.size(), signature) == 0) found.push_back(cell);
      cell += static_cast<uint32_t>(raw < 0 ? -raw : raw);
    }
    bin += binSize;
  }
  return found;
}

inline uint32_t Root(const std::string &file) { return Get32(file, 0x24); }

// A key below the root whose sub-key list is an lh or lf leaf: its list's cell.
inline uint32_t SomeLeafList(const std::string &file) {
  for (uint32_t list : Cells(file, "l")) {
    const char kind = file[kBase + list + 5];
    if (kind == 'h' || kind == 'f') return list;
  }
  return 0;
}

struct Damage {
  const char *name;
  // Spoils the file; false when the fault cannot be made in this file (too short, no big data).
  std::function<bool(std::string &)> apply;
  HiveFileState state;
};

inline bool CutAt(std::string &file, size_t size) {
  if (file.size() <= size) return false;
  file.resize(size);
  return true;
}

inline std::vector<Damage> Damages() {
  using S = HiveFileState;
  return {
      {"cut at 4096 bytes", [](std::string &f) { return CutAt(f, 4096); }, S::Truncated},
      {"cut at 8191 bytes", [](std::string &f) { return CutAt(f, 8191); }, S::Truncated},
      {"cut at 8192 bytes", [](std::string &f) { return CutAt(f, 8192); }, S::Truncated},
      {"one byte short", [](std::string &f) { return CutAt(f, f.size() - 1); }, S::Truncated},
      {"base block cut", [](std::string &f) { return CutAt(f, 2048); }, S::Truncated},
      {"garbage bins behind a valid base block",
       [](std::string &f) {
         uint32_t x = 0x2545F491u;
         for (size_t i = kBase; i < f.size(); i++) f[i] = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
         return true;
       },
       S::Damaged},
      {"zeroed bins behind a valid base block",
       [](std::string &f) {
         std::fill(f.begin() + kBase, f.end(), '\0');
         return true;
       },
       S::Damaged},
      {"root offset to nothing",
       [](std::string &f) {
         Put32(f, 0x24, Get32(f, 0x28) + 0x1000);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"root offset into the middle of a cell",
       [](std::string &f) {
         Put32(f, 0x24, Root(f) + 8);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"root offset at a value",
       [](std::string &f) {
         if (Cells(f, "vk").empty()) return false;
         Put32(f, 0x24, Cells(f, "vk")[0]);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"broken first hbin signature",
       [](std::string &f) {
         f[kBase + 1] = 'x';
         return true;
       },
       S::Damaged},
      {"data size larger than the file",
       [](std::string &f) {
         Put32(f, 0x28, Get32(f, 0x28) + 4096);
         FixChecksum(f);
         return true;
       },
       S::Truncated},
      {"data size of almost 2 GB in a small file",
       [](std::string &f) {
         Put32(f, 0x28, 0x7FFFF000);
         FixChecksum(f);
         return true;
       },
       S::Truncated},
      {"data size no multiple of 4096",
       [](std::string &f) {
         Put32(f, 0x28, Get32(f, 0x28) - 8);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"wrong checksum",
       [](std::string &f) {
         f[0x1FC] = static_cast<char>(f[0x1FC] ^ 1);
         return true;
       },
       S::Damaged},
      {"signature not regf",
       [](std::string &f) {
         f[0] = 'R';
         FixChecksum(f);
         return true;
       },
       S::NotAHive},
      {"sequence numbers differ (a save that did not finish)",
       [](std::string &f) {
         Put32(f, 0x08, Get32(f, 0x04) + 1);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"a transaction log's file type",
       [](std::string &f) {
         Put32(f, 0x1C, 1);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"major version 2",
       [](std::string &f) {
         Put32(f, 0x14, 2);
         FixChecksum(f);
         return true;
       },
       S::Damaged},
      {"hbin offset field not its position",
       [](std::string &f) {
         Put32(f, kBase + 4, 4096);
         return true;
       },
       S::Damaged},
      {"hbin size no multiple of 4096",
       [](std::string &f) {
         Put32(f, kBase + 8, Get32(f, kBase + 8) - 8);
         return true;
       },
       S::Damaged},
      {"flipped byte in a key's signature",
       [](std::string &f) {
         const auto keys = Cells(f, "nk");
         if (keys.size() < 2) return false;
         f[kBase + keys[1] + 4] ^= 0x20;
         return true;
       },
       S::Damaged},
      {"cell size that runs past its bin",
       [](std::string &f) {
         Put32(f, kBase + 32, static_cast<uint32_t>(-static_cast<int32_t>(Get32(f, kBase + 8))));
         return true;
       },
       S::Damaged},
      {"sub-key list that points at a value",
       [](std::string &f) {
         const uint32_t list = SomeLeafList(f);
         if (!list || Cells(f, "vk").empty()) return false;
         Put32(f, kBase + list + 8, Cells(f, "vk")[0]);
         return true;
       },
       S::Damaged},
      {"loop in the key tree",
       [](std::string &f) {
         const uint32_t list = SomeLeafList(f);
         if (!list) return false;
         Put32(f, kBase + list + 8, Root(f));
         return true;
       },
       S::Damaged},
      {"a value listed twice",
       [](std::string &f) {
         for (uint32_t key : Cells(f, "nk")) {
           if (Get32(f, kBase + key + 4 + 0x24) < 2) continue;
           const uint32_t list = Get32(f, kBase + key + 4 + 0x28);
           Put32(f, kBase + list + 8, Get32(f, kBase + list + 4));
           return true;
         }
         return false;
       },
       S::Damaged},
      {"an ri that lists one leaf twice",
       [](std::string &f) {
         const auto ri = Cells(f, "ri");
         if (ri.empty()) return false;
         Put32(f, kBase + ri[0] + 12, Get32(f, kBase + ri[0] + 8));
         return true;
       },
       S::Damaged},
      {"value list entry outside the data",
       [](std::string &f) {
         for (uint32_t key : Cells(f, "nk")) {
           if (Get32(f, kBase + key + 4 + 0x24) == 0) continue;
           const uint32_t list = Get32(f, kBase + key + 4 + 0x28);
           Put32(f, kBase + list + 4, Get32(f, 0x28) + 64);
           return true;
         }
         return false;
       },
       S::Damaged},
      {"value data offset into the middle of a cell",
       [](std::string &f) {
         for (uint32_t value : Cells(f, "vk")) {
           if (Get32(f, kBase + value + 8) & 0x80000000u || Get32(f, kBase + value + 8) == 0) continue;
           Put32(f, kBase + value + 12, Get32(f, kBase + value + 12) + 8);
           return true;
         }
         return false;
       },
       S::Damaged},
      {"class offset at a cell on a key without a class",
       [](std::string &f) {
         for (uint32_t key : Cells(f, "nk")) {
           if ((Get32(f, kBase + key + 4 + 0x4A) & 0xFFFF) != 0) continue;
           Put32(f, kBase + key + 4 + 0x30, Cells(f, "vk").empty() ? Root(f) : Cells(f, "vk")[0]);
           return true;
         }
         return false;
       },
       S::Damaged},
      {"a key below the root with a name of no characters",
       [](std::string &f) {
         const auto keys = Cells(f, "nk");
         if (keys.size() < 2) return false;
         f[kBase + keys[1] + 4 + 0x48] = 0;
         f[kBase + keys[1] + 4 + 0x49] = 0;
         return true;
       },
       S::Damaged},
      {"class offset to nothing on a key without a class (a flipped bit in a field saves write as -1)",
       [](std::string &f) {
         for (uint32_t key : Cells(f, "nk")) {
           if ((Get32(f, kBase + key + 4 + 0x4A) & 0xFFFF) != 0) continue;
           Put32(f, kBase + key + 4 + 0x30, Get32(f, 0x28) + 64);
           return true;
         }
         return false;
       },
       S::Damaged},
      {"value of no data whose data offset points into the middle of a cell",
       [](std::string &f) {
         if (Cells(f, "vk").empty()) return false;
         const uint32_t value = Cells(f, "vk")[0];
         Put32(f, kBase + value + 8, 0);
         Put32(f, kBase + value + 12, value + 8);
         return true;
       },
       S::Damaged},
      {"security cell offset at a key",
       [](std::string &f) {
         Put32(f, kBase + Root(f) + 4 + 0x2C, Root(f));
         return true;
       },
       S::Damaged},
      {"sub-key count larger than its list",
       [](std::string &f) {
         for (uint32_t key : Cells(f, "nk")) {
           const uint32_t count = Get32(f, kBase + key + 4 + 0x14);
           if (count == 0) continue;
           Put32(f, kBase + key + 4 + 0x14, count + 1);
           return true;
         }
         return false;
       },
       S::Damaged},
      {"big data segment list at nothing",
       [](std::string &f) {
         const auto big = Cells(f, "db");
         if (big.empty()) return false;
         Put32(f, kBase + big[0] + 8, Get32(f, 0x28) + 64);
         return true;
       },
       S::Damaged},
      {"bytes after the data (slack the loader ignores)",
       [](std::string &f) {
         f += std::string(4096, '\xAA');
         return true;
       },
       S::Good},
  };
}

}  // namespace hive_damage
