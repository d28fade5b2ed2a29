// The hive file format as the simulated kernel writes and loads it. Layout, as documented for the
// Windows registry (and as libregf and hivex read it): offsets inside the data are counted from
// the first hive bin, just behind the 4096-byte base block; a cell starts with its size as a
// signed 32-bit number (negative: allocated), 8-byte aligned, and never crosses its bin's end.
#include "hive_format.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "internal.h"

namespace sim_internal {
namespace {

const uint32_t kBaseBlock = 4096;
const uint32_t kBinHeader = 32;
const uint32_t kNone = 0xFFFFFFFFu;
const uint32_t kBigDataSegment = 16344;  // data beyond this goes into db segments (version 1.4+)
const uint32_t kLeafEntries = 512;       // more sub-keys than this are split into lh leaves under ri
const uint16_t kKeyHiveEntry = 0x0004, kKeyNoDelete = 0x0008, kKeyCompressedName = 0x0020;
const uint16_t kValueCompressedName = 0x0001;
const uint64_t kTimestamp = 0x01DD88CB00000000ull;  // fixed, so that two saves of one tree agree

// A self-relative security descriptor: owner Administrators, group SYSTEM, a DACL that grants
// Administrators and SYSTEM full control.
const unsigned char kDescriptor[] = {
    1, 0, 0x04, 0x80, 20, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 48, 0, 0, 0,  // header
    1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,                   // S-1-5-32-544
    1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,                                  // S-1-5-18
    2, 0, 52, 0, 2, 0, 0, 0,                                               // ACL, two ACEs
    0, 0, 24, 0, 0x3F, 0, 0x0F, 0, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,
    0, 0, 20, 0, 0x3F, 0, 0x0F, 0, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
};

void Put16(std::string &out, size_t at, uint16_t value) {
  out[at] = static_cast<char>(value);
  out[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string &out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) out[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

void Put64(std::string &out, size_t at, uint64_t value) {
  Put32(out, at, static_cast<uint32_t>(value));
  Put32(out, at + 4, static_cast<uint32_t>(value >> 32));
}

uint32_t Get32(const std::string &in, size_t at) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(in.data()) + at;
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Get16(const std::string &in, size_t at) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(in.data()) + at;
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Checksum(const std::string &block) {
  uint32_t sum = 0;
  for (size_t at = 0; at < 0x1FC; at += 4) sum ^= Get32(block, at);
  if (sum == 0) return 1;
  if (sum == 0xFFFFFFFFu) return 0xFFFFFFFEu;
  return sum;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A name as the hive stores it: one byte per character (Latin-1, "compressed") when every
// character fits in one, else UTF-16.
std::string StoredName(const std::string &ansi, bool *compressed) {
  const std::u16string wide = WideFromAnsi(ansi);
  *compressed = std::all_of(wide.begin(), wide.end(), [](char16_t ch) { return ch < 0x100; });
  std::string out;
  for (char16_t ch : wide) {
    out.push_back(static_cast<char>(ch));
    if (!*compressed) out.push_back(static_cast<char>(ch >> 8));
  }
  return out;
}

std::string NameFromStored(const std::string &stored, bool compressed) {
  std::u16string wide;
  if (compressed) {
    for (char ch : stored) wide.push_back(static_cast<unsigned char>(ch));
  } else {
    for (size_t i = 0; i + 1 < stored.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(stored[i]) |
                                           static_cast<unsigned char>(stored[i + 1]) << 8));
    }
  }
  return AnsiFromWide(wide);
}

// String data is kept as the A calls see it and stored in UTF-16, as RegSetValueExA converts it.
std::string StoredData(const HiveValue &value) {
  if (!IsStringType(value.type)) return value.data;
  std::string out;
  for (char16_t ch : WideFromAnsi(value.data)) {
    out.push_back(static_cast<char>(ch));
    out.push_back(static_cast<char>(ch >> 8));
  }
  return out;
}

char16_t UpcaseWide(char16_t ch) {
  if (ch >= u'a' && ch <= u'z') return static_cast<char16_t>(ch - 0x20);
  if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7) return static_cast<char16_t>(ch - 0x20);
  if (ch == 0xFF) return 0x178;
  if (ch == 0x161 || ch == 0x153 || ch == 0x17E) return static_cast<char16_t>(ch - 1);
  return ch;
}

std::u16string UpcaseName(const std::string &ansi) {
  std::u16string wide = WideFromAnsi(ansi);
  for (char16_t &ch : wide) ch = UpcaseWide(ch);
  return wide;
}

// The lh index's hash of a name: hash * 37 + each upper-cased UTF-16 unit.
uint32_t NameHash(const std::u16string &upper) {
  uint32_t hash = 0;
  for (char16_t ch : upper) hash = hash * 37 + ch;
  return hash;
}

class Writer {
 public:
  Writer() { data_.reserve(1 << 16); }

  // A new allocated cell for `content` bytes; returns its offset. A cell that does not fit into
  // the current bin closes it with a free cell and opens a new bin, large enough for it.
  uint32_t Allocate(size_t content) {
    const uint32_t size = static_cast<uint32_t>((content + 4 + 7) & ~static_cast<size_t>(7));
    if (binEnd_ - data_.size() < size) {
      CloseBin();
      OpenBin(std::max<uint32_t>(4096, (size + kBinHeader + 4095) & ~4095u));
    }
    const uint32_t offset = static_cast<uint32_t>(data_.size());
    data_.resize(data_.size() + size, '\0');
    Put32(data_, offset, static_cast<uint32_t>(-static_cast<int32_t>(size)));
    return offset;
  }

  // A cell holding these bytes.
  uint32_t Cell(const std::string &bytes) {
    const uint32_t offset = Allocate(bytes.size());
    std::memcpy(&data_[offset + 4], bytes.data(), bytes.size());
    return offset;
  }

  std::string &Data() { return data_; }

  std::string Finish(uint32_t root) {
    CloseBin();
    std::string file(kBaseBlock, '\0');
    file.replace(0, 4, "regf");
    Put32(file, 0x04, 1);  // primary and secondary sequence numbers: equal, the file is clean
    Put32(file, 0x08, 1);
    Put64(file, 0x0C, kTimestamp);
    Put32(file, 0x14, 1);  // version 1.5
    Put32(file, 0x18, 5);
    Put32(file, 0x1C, 0);  // primary file
    Put32(file, 0x20, 1);  // direct memory load
    Put32(file, 0x24, root);
    Put32(file, 0x28, static_cast<uint32_t>(data_.size()));
    Put32(file, 0x2C, 1);  // clustering factor
    Put32(file, 0x1FC, Checksum(file));
    return file + data_;
  }

 private:
  void OpenBin(uint32_t size) {
    const uint32_t offset = static_cast<uint32_t>(data_.size());
    data_.resize(data_.size() + kBinHeader, '\0');
    data_.replace(offset, 4, "hbin");
    Put32(data_, offset + 4, offset);
    Put32(data_, offset + 8, size);
    Put64(data_, offset + 20, kTimestamp);
    binEnd_ = offset + size;
  }

  void CloseBin() {
    if (data_.size() == binEnd_) return;
    const uint32_t free = binEnd_ - static_cast<uint32_t>(data_.size());
    const uint32_t offset = static_cast<uint32_t>(data_.size());
    data_.resize(binEnd_, '\0');
    Put32(data_, offset, free);
  }

  std::string data_;
  uint32_t binEnd_ = 0;
};

struct Context {
  Writer writer;
  uint32_t security = kNone;
  uint32_t keys = 0;
};

uint32_t WriteValue(Context &context, const HiveValue &value) {
  bool compressed;
  const std::string name = StoredName(value.name, &compressed);
  const std::string data = StoredData(value);
  uint32_t size = static_cast<uint32_t>(data.size()), offset = kNone;
  if (data.size() <= 4) {  // also no data at all: an empty inline value, as hivex and libregf read it
    std::string word = data;
    word.resize(4, '\0');
    offset = Get32(word, 0);
    size |= 0x80000000u;  // the data lies in the offset field
  } else if (data.size() > kBigDataSegment) {
    std::string list;
    uint16_t segments = 0;
    for (size_t at = 0; at < data.size(); at += kBigDataSegment, segments++) {
      std::string entry(4, '\0');
      Put32(entry, 0, context.writer.Cell(data.substr(at, kBigDataSegment)));
      list += entry;
    }
    std::string db(8, '\0');
    db.replace(0, 2, "db");
    Put16(db, 2, segments);
    Put32(db, 4, context.writer.Cell(list));
    offset = context.writer.Cell(db);
  } else {
    offset = context.writer.Cell(data);
  }
  std::string vk(20, '\0');
  vk.replace(0, 2, "vk");
  Put16(vk, 2, static_cast<uint16_t>(name.size()));
  Put32(vk, 4, size);
  Put32(vk, 8, offset);
  Put32(vk, 12, value.type);
  Put16(vk, 16, compressed ? kValueCompressedName : 0);
  return context.writer.Cell(vk + name);
}

// One lh leaf over entries [begin, end) of the sorted sub-keys.
uint32_t WriteLeaf(Context &context, const std::vector<std::pair<uint32_t, uint32_t>> &entries,
                   size_t begin, size_t end) {
  std::string lh(4 + 8 * (end - begin), '\0');
  lh.replace(0, 2, "lh");
  Put16(lh, 2, static_cast<uint16_t>(end - begin));
  for (size_t i = begin; i < end; i++) {
    Put32(lh, 4 + 8 * (i - begin), entries[i].first);
    Put32(lh, 8 + 8 * (i - begin), entries[i].second);
  }
  return context.writer.Cell(lh);
}

uint32_t WriteKey(Context &context, const HiveKey &key, uint32_t parent, bool root) {
  bool compressed;
  const std::string name = StoredName(key.name, &compressed);
  const uint32_t nk = context.writer.Allocate(0x4C + name.size());
  context.keys++;

  uint32_t valueList = kNone, maxValueName = 0, maxValueData = 0;
  if (!key.values.empty()) {
    std::string list(4 * key.values.size(), '\0');
    for (size_t i = 0; i < key.values.size(); i++) {
      Put32(list, 4 * i, WriteValue(context, key.values[i]));
      maxValueName = std::max<uint32_t>(maxValueName, static_cast<uint32_t>(2 * key.values[i].name.size()));
      maxValueData = std::max<uint32_t>(maxValueData, static_cast<uint32_t>(StoredData(key.values[i]).size()));
    }
    valueList = context.writer.Cell(list);
  }

  // Sub-keys sorted by their upper-cased names, as the kernel's index keeps them.
  std::vector<std::pair<std::u16string, const HiveKey *>> sorted;
  for (const HiveKey &child : key.children) sorted.emplace_back(UpcaseName(child.name), &child);
  std::sort(sorted.begin(), sorted.end(),
            [](const auto &a, const auto &b) { return a.first < b.first; });
  std::vector<std::pair<uint32_t, uint32_t>> entries;
  uint32_t maxChildName = 0;
  for (const auto &child : sorted) {
    entries.emplace_back(WriteKey(context, *child.second, nk, false), NameHash(child.first));
    maxChildName = std::max<uint32_t>(maxChildName, static_cast<uint32_t>(2 * child.second->name.size()));
  }
  uint32_t subKeyList = kNone;
  if (entries.size() > kLeafEntries) {
    std::string ri(4, '\0');
    ri.replace(0, 2, "ri");
    uint16_t leaves = 0;
    for (size_t at = 0; at < entries.size(); at += kLeafEntries, leaves++) {
      std::string entry(4, '\0');
      Put32(entry, 0, WriteLeaf(context, entries, at, std::min<size_t>(entries.size(), at + kLeafEntries)));
      ri += entry;
    }
    Put16(ri, 2, leaves);
    subKeyList = context.writer.Cell(ri);
  } else if (!entries.empty()) {
    subKeyList = WriteLeaf(context, entries, 0, entries.size());
  }

  std::string &data = context.writer.Data();
  const size_t at = nk + 4;
  data.replace(at, 2, "nk");
  Put16(data, at + 0x02, static_cast<uint16_t>((root ? kKeyHiveEntry | kKeyNoDelete : 0) |
                                               (compressed ? kKeyCompressedName : 0)));
  Put64(data, at + 0x04, kTimestamp);
  Put32(data, at + 0x10, parent);
  Put32(data, at + 0x14, static_cast<uint32_t>(entries.size()));
  Put32(data, at + 0x1C, subKeyList);
  Put32(data, at + 0x20, kNone);  // volatile sub-keys are never in a file
  Put32(data, at + 0x24, static_cast<uint32_t>(key.values.size()));
  Put32(data, at + 0x28, valueList);
  Put32(data, at + 0x2C, context.security);
  Put32(data, at + 0x30, kNone);  // no class name
  Put32(data, at + 0x34, maxChildName);
  Put32(data, at + 0x3C, maxValueName);
  Put32(data, at + 0x40, maxValueData);
  Put16(data, at + 0x48, static_cast<uint16_t>(name.size()));
  data.replace(at + 0x4C, name.size(), name);
  return nk;
}

// ---- loading --------------------------------------------------------------------------------------

class Loader {
 public:
  explicit Loader(const std::string &file) : file_(file) {}

  bool Load(HiveKey *root) {
    if (file_.size() < kBaseBlock || file_.compare(0, 4, "regf") != 0) return false;
    if (Get32(file_, 0x1FC) != Checksum(file_.substr(0, 0x200))) return false;
    if (Get32(file_, 0x04) != Get32(file_, 0x08)) return false;  // a dirty hive needs its logs
    if (Get32(file_, 0x14) != 1 || Get32(file_, 0x18) < 2 || Get32(file_, 0x18) > 6) return false;
    if (Get32(file_, 0x1C) != 0 || Get32(file_, 0x20) != 1) return false;
    size_ = Get32(file_, 0x28);
    if (size_ == 0 || size_ % 4096 || size_ > file_.size() - kBaseBlock) return false;
    minor_ = Get32(file_, 0x18);
    if (!ScanBins()) return false;
    return LoadTree(Get32(file_, 0x24), root);
  }

 private:
  bool ScanBins() {
    cellStart_.assign(size_ / 8, 0);
    for (uint32_t bin = 0; bin < size_;) {
      if (file_.compare(kBaseBlock + bin, 4, "hbin") != 0 || Get32(file_, kBaseBlock + bin + 4) != bin) {
        return false;
      }
      const uint32_t binSize = Get32(file_, kBaseBlock + bin + 8);
      if (binSize < 4096 || binSize % 4096 || binSize > size_ - bin) return false;
      for (uint32_t cell = bin + kBinHeader; cell < bin + binSize;) {
        const int32_t raw = static_cast<int32_t>(Get32(file_, kBaseBlock + cell));
        const uint32_t cellSize = raw < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(raw)) : static_cast<uint32_t>(raw);
        if (cellSize < 8 || cellSize % 8 || cellSize > bin + binSize - cell) return false;
        if (raw < 0) cellStart_[cell / 8] = 1;
        cell += cellSize;
      }
      bin += binSize;
    }
    return true;
  }

  // The content of the allocated cell at `offset` when it holds at least `need` bytes (and, with a
  // signature, begins with it); else nullptr.
  bool Cell(uint32_t offset, uint32_t need, const char *signature, uint32_t *content, uint32_t *length) {
    if (offset % 8 || offset >= size_ || !cellStart_[offset / 8]) return false;
    const uint32_t cellSize = static_cast<uint32_t>(-static_cast<int32_t>(Get32(file_, kBaseBlock + offset)));
    *content = kBaseBlock + offset + 4;
    *length = cellSize - 4;
    if (*length < need) return false;
    return !signature || file_.compare(*content, 2, signature) == 0;
  }

  bool LoadValue(uint32_t offset, HiveValue *value) {
    uint32_t vk, length;
    if (!Cell(offset, 20, "vk", &vk, &length)) return false;
    const uint32_t nameLength = Get16(file_, vk + 2);
    if (nameLength > length - 20) return false;
    value->name = NameFromStored(file_.substr(vk + 20, nameLength), Get16(file_, vk + 16) & kValueCompressedName);
    value->type = Get32(file_, vk + 12);
    uint32_t size = Get32(file_, vk + 4);
    std::string data;
    if (size & 0x80000000u) {
      size &= 0x7FFFFFFFu;
      if (size > 4) return false;
      data = file_.substr(vk + 8, size);
    } else if (size > kBigDataSegment && minor_ >= 4) {
      uint32_t db, dbLength, list, listLength;
      if (!Cell(Get32(file_, vk + 8), 8, "db", &db, &dbLength)) return false;
      const uint32_t segments = Get16(file_, db + 2);
      if (!Cell(Get32(file_, db + 4), 4 * segments, nullptr, &list, &listLength)) return false;
      for (uint32_t i = 0; i < segments && data.size() < size; i++) {
        uint32_t segment, segmentLength;
        if (!Cell(Get32(file_, list + 4 * i), 1, nullptr, &segment, &segmentLength)) return false;
        data += file_.substr(segment, std::min<uint32_t>({segmentLength, kBigDataSegment, size - static_cast<uint32_t>(data.size())}));
      }
      if (data.size() != size) return false;
    } else if (size > 0) {
      uint32_t cell, cellLength;
      if (!Cell(Get32(file_, vk + 8), size, nullptr, &cell, &cellLength)) return false;
      data = file_.substr(cell, size);
    }
    if (IsStringType(value->type)) {
      std::u16string wide;
      for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                             static_cast<unsigned char>(data[i + 1]) << 8));
      }
      data = AnsiFromWide(wide);
    }
    value->data = data;
    return true;
  }

  // The nk offsets of a sub-key index: lf, lh, li, or ri over those; never more than `count`.
  bool SubKeyOffsets(uint32_t offset, bool allowRi, uint32_t count, std::vector<uint32_t> *out) {
    uint32_t list, length;
    if (!Cell(offset, 4, nullptr, &list, &length)) return false;
    const std::string signature = file_.substr(list, 2);
    const uint32_t entries = Get16(file_, list + 2);
    const uint32_t step = signature == "lf" || signature == "lh" ? 8 : 4;
    if (signature != "lf" && signature != "lh" && signature != "li" && signature != "ri") return false;
    if (signature == "ri" && !allowRi) return false;
    if (4 + step * entries > length) return false;
    for (uint32_t i = 0; i < entries; i++) {
      const uint32_t entry = Get32(file_, list + 4 + step * i);
      if (signature == "ri") {
        if (!SubKeyOffsets(entry, false, count, out)) return false;
      } else {
        out->push_back(entry);
      }
      if (out->size() > count) return false;
    }
    return true;
  }

  bool LoadKey(uint32_t offset, bool root, HiveKey *key, std::vector<uint32_t> *subKeys) {
    uint32_t nk, length;
    if (!Cell(offset, 0x4C, "nk", &nk, &length)) return false;
    const uint16_t flags = Get16(file_, nk + 2);
    if (root && !(flags & kKeyHiveEntry)) return false;
    const uint32_t nameLength = Get16(file_, nk + 0x48);
    if (nameLength > length - 0x4C) return false;
    key->name = NameFromStored(file_.substr(nk + 0x4C, nameLength), flags & kKeyCompressedName);
    const uint32_t values = Get32(file_, nk + 0x24);
    if (values) {
      uint32_t list, listLength;
      if (values > size_ / 4 || !Cell(Get32(file_, nk + 0x28), 4 * values, nullptr, &list, &listLength)) return false;
      key->values.resize(values);
      for (uint32_t i = 0; i < values; i++) {
        if (!LoadValue(Get32(file_, list + 4 * i), &key->values[i])) return false;
      }
    }
    uint32_t sk, skLength;
    if (!Cell(Get32(file_, nk + 0x2C), 20, "sk", &sk, &skLength)) return false;
    const uint32_t count = Get32(file_, nk + 0x14);
    if (count) {
      if (count > size_ / 0x50 || !SubKeyOffsets(Get32(file_, nk + 0x1C), true, count, subKeys) ||
          subKeys->size() != count) {
        return false;
      }
    }
    return true;
  }

  // Depth first without recursion: a hive may nest 512 levels. A key reached twice is a fault.
  bool LoadTree(uint32_t rootOffset, HiveKey *root) {
    std::vector<uint8_t> seen(size_ / 8, 0);
    struct Pending {
      uint32_t offset;
      HiveKey *key;
    };
    std::vector<Pending> stack = {{rootOffset, root}};
    bool first = true;
    while (!stack.empty()) {
      const Pending next = stack.back();
      stack.pop_back();
      if (next.offset % 8 || next.offset >= size_ || seen[next.offset / 8]) return false;
      seen[next.offset / 8] = 1;
      std::vector<uint32_t> subKeys;
      if (!LoadKey(next.offset, first, next.key, &subKeys)) return false;
      first = false;
      next.key->children.resize(subKeys.size());
      for (size_t i = 0; i < subKeys.size(); i++) stack.push_back({subKeys[i], &next.key->children[i]});
    }
    return true;
  }

  const std::string &file_;
  uint32_t size_ = 0, minor_ = 0;
  std::vector<uint8_t> cellStart_;
};

}  // namespace

std::string WriteHiveFile(const HiveKey &root) {
  Context context;
  // The one security cell that every key shares comes first; its reference count is known once
  // the tree is written.
  std::string sk(20, '\0');
  sk.replace(0, 2, "sk");
  Put32(sk, 16, sizeof kDescriptor);
  context.security = context.writer.Cell(sk + std::string(reinterpret_cast<const char *>(kDescriptor), sizeof kDescriptor));
  const uint32_t rootKey = WriteKey(context, root, kNone, true);
  std::string &data = context.writer.Data();
  const size_t at = context.security + 4;
  Put32(data, at + 4, context.security);  // the list of security cells: only this one
  Put32(data, at + 8, context.security);
  Put32(data, at + 12, context.keys);     // reference count: every key
  return context.writer.Finish(rootKey);
}

bool ReadHiveFile(const std::string &bytes, HiveKey *root) {
  *root = HiveKey{};
  return Loader(bytes).Load(root);
}

}  // namespace sim_internal
