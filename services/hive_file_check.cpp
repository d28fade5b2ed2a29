// Whether a file can be handed to the system as a hive, checked as the system's hive loader reads
// it. The file: a 4096-byte base block ("regf", sequence numbers, version, type, format, root cell,
// data size, and at 0x1FC the XOR of the first 127 DWORDs, 0 stored as 1 and 0xFFFFFFFF as
// 0xFFFFFFFE), then the data: hive bins ("hbin", their own offset, their size), each cut into
// cells (a signed size, negative while allocated, 8-byte aligned). Offsets are counted from the
// first bin. Wine's RegSaveKey writes its own text form instead, checked line by line.
#include "services/hive_file_check.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "services/handles.h"
#include "services/hive_save.h"
#include "services/text_ops.h"

namespace {

const DWORD kBaseBlockSize = 4096;
const DWORD kChecksumOffset = 0x1FC;
const DWORD kBinHeader = 32;
const DWORD kBigDataSegment = 16344;  // a value's data beyond this lies in db segments (1.4+)
const DWORD kLargestData = 0x7FFFF000;  // cell offsets are 31-bit
const DWORD kReadBlock = 1 << 20;
const WORD kKeyHiveEntry = 0x0004, kKeyCompressedName = 0x0020;
const char kWineHeader[] = "WINE REGISTRY Version 2";
const char kWineRelative[] = ";; All keys relative to ";

// Sub-keys that each machine hive's root always has; one of them is enough.
struct HiveIdentity {
  const char *hive;
  const char *subKeys[2];
};
const HiveIdentity kIdentities[] = {
    {"SOFTWARE", {"Microsoft", nullptr}},
    {"SYSTEM", {"Select", "ControlSet001"}},
    {"SECURITY", {"Policy", nullptr}},
    {"SAM", {"SAM", nullptr}},
};

DWORD Dword(const unsigned char *bytes) {
  return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
         static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
}

WORD Word(const unsigned char *bytes) { return static_cast<WORD>(bytes[0] | bytes[1] << 8); }

bool SameAsciiLetters(char a, char b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(a) == upper(b);
}

// ---- the binary form ------------------------------------------------------------------------------

// The hive's data (everything behind the base block) and what the walk learns about its cells.
class HiveData {
 public:
  HiveData(const unsigned char *data, DWORD size, DWORD minorVersion)
      : data_(data), size_(size), minor_(minorVersion), marks_(size / 32 + 1, 0) {}

  // Every bin in order, every cell of each bin.
  bool CheckBins() {
    DWORD bin = 0;
    while (bin < size_) {
      const unsigned char *header = data_ + bin;
      if (memcmp(header, "hbin", 4) != 0 || Dword(header + 4) != bin) return false;
      const DWORD binSize = Dword(header + 8);
      if (binSize == 0 || binSize % kBaseBlockSize != 0 || binSize > size_ - bin) return false;
      const DWORD end = bin + binSize;
      DWORD cell = bin + kBinHeader;
      while (cell < end) {
        const LONG raw = static_cast<LONG>(Dword(data_ + cell));
        const DWORD cellSize = raw < 0 ? 0u - static_cast<DWORD>(raw) : static_cast<DWORD>(raw);
        if (cellSize < 8 || cellSize % 8 != 0 || cellSize > end - cell) return false;
        if (raw < 0) Mark(cell, kAllocated);
        cell += cellSize;
      }
      bin = end;
    }
    return true;
  }

  // The key tree from the root cell, depth first without recursion (a hive may nest hundreds of
  // levels). `identity`, when given, lists sub-key names of which the root must have one.
  HiveFileState CheckTree(DWORD root, const HiveIdentity *identity) {
    struct Pending {
      DWORD key, parent;
    };
    std::vector<Pending> stack;
    stack.push_back({root, 0});
    std::vector<DWORD> subKeys, rootSubKeys;
    bool isRoot = true;
    while (!stack.empty()) {
      const Pending next = stack.back();
      stack.pop_back();
      subKeys.clear();
      if (!CheckKey(next.key, isRoot, next.parent, &subKeys)) return HiveFileState::Damaged;
      if (isRoot) rootSubKeys = subKeys;
      isRoot = false;
      for (DWORD subKey : subKeys) stack.push_back({subKey, next.key});
    }
    return !identity || HasIdentitySubKey(rootSubKeys, *identity) ? HiveFileState::Good
                                                                  : HiveFileState::OtherHive;
  }

 private:
  static const unsigned char kAllocated = 1, kVisited = 2;

  // The content of the allocated cell at `offset`, when it holds at least `need` bytes and begins
  // with `signature` (two letters, or nullptr for a cell without one).
  const unsigned char *Cell(DWORD offset, DWORD need, const char *signature, DWORD *length = nullptr) const {
    if (offset % 8 != 0 || offset >= size_ || !(Marks(offset) & kAllocated)) return nullptr;
    const DWORD content = 0u - Dword(data_ + offset) - 4;
    if (content < need) return nullptr;
    const unsigned char *cell = data_ + offset + 4;
    if (signature && (cell[0] != signature[0] || cell[1] != signature[1])) return nullptr;
    if (length) *length = content;
    return cell;
  }

  // Marks a cell as reached once; false when it was reached before.
  bool FirstVisit(DWORD offset) {
    if (Marks(offset) & kVisited) return false;
    Mark(offset, kVisited);
    return true;
  }

  // Two bits for each 8 bytes of data, where a cell can start.
  unsigned char Marks(DWORD offset) const { return (marks_[offset / 32] >> (offset / 8 % 4 * 2)) & 3; }
  void Mark(DWORD offset, unsigned char bits) {
    marks_[offset / 32] = static_cast<unsigned char>(marks_[offset / 32] | bits << (offset / 8 % 4 * 2));
  }

  bool CheckKey(DWORD offset, bool isRoot, DWORD parent, std::vector<DWORD> *subKeys) {
    DWORD length = 0;
    const unsigned char *nk = Cell(offset, 0x4C, "nk", &length);
    if (!nk || !FirstVisit(offset)) return false;  // not a key, or a key reached twice (a loop)
    const WORD flags = Word(nk + 2);
    if (isRoot && !(flags & kKeyHiveEntry)) return false;
    if (!isRoot && Dword(nk + 0x10) != parent) return false;
    if (Word(nk + 0x48) > length - 0x4C) return false;
    const WORD classLength = Word(nk + 0x4A);
    if (classLength != 0 && !Cell(Dword(nk + 0x30), classLength, nullptr)) return false;
    if (!CheckSecurity(Dword(nk + 0x2C))) return false;
    if (!CheckValues(Dword(nk + 0x24), Dword(nk + 0x28))) return false;
    const DWORD count = Dword(nk + 0x14);
    if (count != 0) {
      // No more sub-keys than key cells fit into the data: an ri that lists one leaf again and
      // again must not make the list grow without end.
      if (count > size_ / 0x50) return false;
      if (!CheckSubKeyList(Dword(nk + 0x1C), true, count, subKeys) || subKeys->size() != count) return false;
    }
    return true;
  }

  bool CheckSecurity(DWORD offset) {
    DWORD length = 0;
    const unsigned char *sk = Cell(offset, 20, "sk", &length);
    if (!sk) return false;
    if (!FirstVisit(offset)) return true;  // keys share their security cells
    return Dword(sk + 16) <= length - 20;
  }

  bool CheckValues(DWORD count, DWORD listOffset) {
    if (count == 0) return true;
    if (count > size_ / 4) return false;
    const unsigned char *list = Cell(listOffset, count * 4, nullptr);
    if (!list) return false;
    for (DWORD i = 0; i < count; i++) {
      if (!CheckValue(Dword(list + 4 * i))) return false;
    }
    return true;
  }

  bool CheckValue(DWORD offset) {
    DWORD length = 0;
    const unsigned char *vk = Cell(offset, 20, "vk", &length);
    // A value belongs to one key, once: a value reached twice is a fault (and cannot make the walk
    // repeat its data's checks).
    if (!vk || !FirstVisit(offset) || Word(vk + 2) > length - 20) return false;
    const DWORD size = Dword(vk + 4), dataOffset = Dword(vk + 8);
    if (size & 0x80000000u) return (size & 0x7FFFFFFFu) <= 4;  // the data is the offset field
    if (size == 0) return true;
    if (size > kBigDataSegment && minor_ >= 4) return CheckBigData(dataOffset, size);
    return Cell(dataOffset, size, nullptr) != nullptr;
  }

  // db: a count of segments and a list of their cells, each holding up to 16344 bytes of the data.
  bool CheckBigData(DWORD offset, DWORD size) {
    const unsigned char *db = Cell(offset, 8, "db");
    if (!db || !FirstVisit(offset)) return false;
    const DWORD segments = Word(db + 2);
    if (static_cast<unsigned long long>(segments) * kBigDataSegment < size) return false;
    const unsigned char *list = Cell(Dword(db + 4), segments * 4, nullptr);
    if (!list || !FirstVisit(Dword(db + 4))) return false;
    DWORD left = size;
    for (DWORD i = 0; i < segments && left > 0; i++) {
      const DWORD part = left < kBigDataSegment ? left : kBigDataSegment;
      if (!Cell(Dword(list + 4 * i), part, nullptr)) return false;
      left -= part;
    }
    return true;
  }

  // lf and lh (offset and hash per entry), li (offsets), or ri (offsets of such lists, one level).
  bool CheckSubKeyList(DWORD offset, bool mayBeRi, DWORD count, std::vector<DWORD> *subKeys) {
    DWORD length = 0;
    const unsigned char *list = Cell(offset, 4, nullptr, &length);
    if (!list) return false;
    const char a = static_cast<char>(list[0]), b = static_cast<char>(list[1]);
    const DWORD entries = Word(list + 2);
    DWORD step = 4;
    if (a == 'l' && (b == 'f' || b == 'h')) {
      step = 8;
    } else if (!(a == 'l' && b == 'i') && !(a == 'r' && b == 'i' && mayBeRi)) {
      return false;
    }
    if (entries * step > length - 4) return false;
    for (DWORD i = 0; i < entries; i++) {
      const DWORD entry = Dword(list + 4 + i * step);
      if (a == 'r') {
        if (!CheckSubKeyList(entry, false, count, subKeys)) return false;
      } else {
        subKeys->push_back(entry);
      }
      if (subKeys->size() > count) return false;
    }
    return true;
  }

  // A key name, stored one byte per character (compressed) or in UTF-16, compared with an ASCII
  // name without regard to case.
  bool KeyNamed(DWORD offset, const char *name) const {
    const unsigned char *nk = data_ + offset + 4;  // checked by CheckKey before
    const DWORD length = Word(nk + 0x48), wanted = static_cast<DWORD>(strlen(name));
    const bool compressed = (Word(nk + 2) & kKeyCompressedName) != 0;
    if (length != (compressed ? wanted : 2 * wanted)) return false;
    for (DWORD i = 0; i < wanted; i++) {
      const unsigned char *ch = nk + 0x4C + (compressed ? i : 2 * i);
      if ((!compressed && ch[1] != 0) || !SameAsciiLetters(static_cast<char>(ch[0]), name[i])) return false;
    }
    return true;
  }

  // Called once the whole tree is sound: every sub-key's cell is a key.
  bool HasIdentitySubKey(const std::vector<DWORD> &subKeys, const HiveIdentity &identity) const {
    for (DWORD subKey : subKeys) {
      for (const char *name : identity.subKeys) {
        if (name && KeyNamed(subKey, name)) return true;
      }
    }
    return false;
  }

  const unsigned char *data_;
  DWORD size_, minor_;
  std::vector<unsigned char> marks_;  // an allocated cell starts here; it was reached
};

// Reads into buffer until `size` bytes are read or the file ends; the count read.
DWORD ReadBlocks(HANDLE file, unsigned char *buffer, DWORD size, DWORD *error) {
  DWORD total = 0;
  while (total < size) {
    const DWORD want = size - total < kReadBlock ? size - total : kReadBlock;
    DWORD read = 0;
    if (!ReadFile(file, buffer + total, want, &read, nullptr)) {
      *error = GetLastError();
      break;
    }
    if (read == 0) break;
    total += read;
  }
  return total;
}

bool ChecksumMatches(const unsigned char *block) {
  DWORD sum = 0;
  for (DWORD offset = 0; offset < kChecksumOffset; offset += 4) sum ^= Dword(block + offset);
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFF) sum = 0xFFFFFFFE;
  return Dword(block + kChecksumOffset) == sum;
}

// A base block as every save writes it: clean (both sequence numbers equal), version 1.2 to 1.6,
// a primary file (type 0) in the direct-memory-load format (1), data in whole 4096-byte pages.
bool BaseBlockSound(const unsigned char *block) {
  const DWORD minor = Dword(block + 0x18), dataSize = Dword(block + 0x28);
  return ChecksumMatches(block) && Dword(block + 0x04) == Dword(block + 0x08) &&
         Dword(block + 0x14) == 1 && minor >= 2 && minor <= 6 && Dword(block + 0x1C) == 0 &&
         Dword(block + 0x20) == 1 && dataSize != 0 && dataSize % kBaseBlockSize == 0 &&
         dataSize <= kLargestData;
}

const HiveIdentity *IdentityOf(const std::string &machineHive) {
  for (const HiveIdentity &identity : kIdentities) {
    if (machineHive == identity.hive) return &identity;
  }
  return nullptr;
}

// Whether the file reaches `end`: its byte before `end` is read, and the file pointer is put back
// at `resume`. A base block may announce far more data than a short file holds; a look at the last
// byte first spares such a file a buffer of the announced size.
bool FileReaches(HANDLE file, DWORD end, DWORD resume, DWORD *error) {
  LONG high = 0;
  unsigned char last = 0;
  DWORD read = 0;
  if (SetFilePointer(file, static_cast<LONG>(end - 1), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS) {
    *error = GetLastError();
    return false;
  }
  if (!ReadFile(file, &last, 1, &read, nullptr)) {
    *error = GetLastError();
    return false;
  }
  high = 0;
  if (SetFilePointer(file, static_cast<LONG>(resume), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS) {
    *error = GetLastError();
    return false;
  }
  return read == 1;
}

HiveFileState CheckBinaryHive(HANDLE file, const unsigned char *block, const HiveIdentity *identity,
                              DWORD *error) {
  if (!BaseBlockSound(block)) return HiveFileState::Damaged;
  const DWORD dataSize = Dword(block + 0x28);
  SetLastError(ERROR_SUCCESS);
  if (!FileReaches(file, kBaseBlockSize + dataSize, kBaseBlockSize, error)) {
    return *error != 0 ? HiveFileState::Unreadable : HiveFileState::Truncated;
  }
  std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[dataSize]);
  if (!data) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return HiveFileState::Unreadable;
  }
  const DWORD read = ReadBlocks(file, data.get(), dataSize, error);
  if (*error != 0) return HiveFileState::Unreadable;
  if (read < dataSize) return HiveFileState::Truncated;
  HiveData hive(data.get(), dataSize, Dword(block + 0x18));
  if (!hive.CheckBins()) return HiveFileState::Damaged;
  return hive.CheckTree(Dword(block + 0x24), identity);
}

// ---- Wine's text form ---------------------------------------------------------------------------
// "WINE REGISTRY Version 2", ";; All keys relative to REGISTRY\\Machine\\System", then blank
// lines, comments (";"), options ("#arch=", "#time=", "#class=", "#link"), key lines
// ("[Name\\Sub] 1796923455") and value lines ("@=..." or "\"Name\"=..."); a hex value goes on over
// lines that end in "\" and continue with two blanks. Every line ends with a line feed.

// The end of a quoted text that starts at `at` (a backslash escapes the next character), or npos.
size_t QuotedEnd(const std::string &line, size_t at, char close) {
  for (size_t i = at; i < line.size(); i++) {
    if (line[i] == '\\') {
      i++;
    } else if (line[i] == close) {
      return i;
    }
  }
  return std::string::npos;
}

bool StartsWith(const std::string &text, size_t at, const char *prefix) {
  return text.compare(at, strlen(prefix), prefix) == 0;
}

bool IsHexList(const std::string &text, size_t at) {
  for (size_t i = at; i < text.size(); i++) {
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != ',' && !(c == '\\' && i + 1 == text.size())) return false;
  }
  return true;
}

// A value's data after "=": a string, "str(n):" and a string, "dword:" and eight hex digits, or
// "hex:" / "hex(n):" and a list of bytes. Sets *continues when the line ends in a backslash.
bool ValueDataSound(const std::string &line, size_t at, bool *continues) {
  *continues = false;
  if (StartsWith(line, at, "str(")) {
    at = line.find("):", at);
    if (at == std::string::npos) return false;
    at += 2;
  }
  if (at < line.size() && line[at] == '"') return QuotedEnd(line, at + 1, '"') == line.size() - 1;
  if (StartsWith(line, at, "dword:")) return line.size() == at + 14 && IsHexList(line, at + 6) &&
                                              line.find(',', at) == std::string::npos;
  if (StartsWith(line, at, "hex(")) {
    at = line.find("):", at);
    if (at == std::string::npos) return false;
    at += 2;
  } else if (StartsWith(line, at, "hex:")) {
    at += 4;
  } else {
    return false;
  }
  *continues = !line.empty() && line.back() == '\\';
  return IsHexList(line, at);
}

bool WineLineSound(const std::string &line, bool *continues) {
  *continues = false;
  if (line.empty() || line[0] == ';' || line[0] == '#') return true;
  if (line[0] == '[') {
    const size_t close = QuotedEnd(line, 1, ']');
    return close != std::string::npos &&
           (close + 1 == line.size() || (line[close + 1] == ' ' && close + 2 < line.size()));
  }
  size_t equals = std::string::npos;
  if (line[0] == '@') {
    equals = 1;
  } else if (line[0] == '"') {
    const size_t close = QuotedEnd(line, 1, '"');
    if (close != std::string::npos) equals = close + 1;
  }
  if (equals == std::string::npos || equals >= line.size() || line[equals] != '=') return false;
  return ValueDataSound(line, equals + 1, continues);
}

// The header's key "REGISTRY\\Machine\\<hive>", as Wine writes it (the hive's name in Wine's own
// case), compared without regard to case.
bool NamesHive(const std::string &relativeTo, const std::string &hive) {
  const std::string expected = "REGISTRY\\\\Machine\\\\" + hive;
  if (relativeTo.size() != expected.size()) return false;
  for (size_t i = 0; i < expected.size(); i++) {
    if (!SameAsciiLetters(relativeTo[i], expected[i])) return false;
  }
  return true;
}

// Wine's text form, line by line as the blocks arrive, so that no file, however large, is held
// whole; a line longer than any Wine writes (its hex values wrap at 80 columns) is a fault.
class WineTextCheck {
 public:
  explicit WineTextCheck(const std::string &machineHive)
      : machineHive_(machineHive), identified_(machineHive.empty()) {}

  // False once a fault is found (state() then names it).
  bool Feed(const char *bytes, size_t size) {
    for (size_t at = 0; at < size && state_ == HiveFileState::Good;) {
      const char *end = static_cast<const char *>(memchr(bytes + at, '\n', size - at));
      const size_t length = end ? static_cast<size_t>(end - (bytes + at)) : size - at;
      if (line_.size() + length > kLongestLine) {
        state_ = HiveFileState::Damaged;
        break;
      }
      line_.append(bytes + at, length);
      at += length;
      if (!end) break;
      at++;  // the line feed
      CheckLine();
      line_.clear();
    }
    return state_ == HiveFileState::Good;
  }

  HiveFileState Finish() {
    if (state_ != HiveFileState::Good) return state_;
    // A last line without its line feed, no key line at all (every save writes the saved key's
    // own "[] ..."), or a value cut after its backslash: the file was cut.
    if (!line_.empty() || number_ == 0 || keyLines_ == 0 || continues_) return HiveFileState::Truncated;
    return identified_ ? HiveFileState::Good : HiveFileState::OtherHive;
  }

 private:
  static const size_t kLongestLine = 1 << 20;

  void CheckLine() {
    number_++;
    if (number_ == 1) {
      if (line_ != kWineHeader) state_ = HiveFileState::NotAHive;
    } else if (number_ == 2) {
      if (!StartsWith(line_, 0, kWineRelative)) state_ = HiveFileState::Damaged;
      if (!machineHive_.empty()) identified_ = NamesHive(line_.substr(strlen(kWineRelative)), machineHive_);
    } else if (continues_) {
      if (!StartsWith(line_, 0, "  ") || !IsHexList(line_, 2)) state_ = HiveFileState::Damaged;
      continues_ = !line_.empty() && line_.back() == '\\';
    } else if (!WineLineSound(line_, &continues_)) {
      state_ = HiveFileState::Damaged;
    } else if (!line_.empty() && line_[0] == '[') {
      keyLines_++;
    }
  }

  const std::string machineHive_;
  std::string line_;
  size_t number_ = 0, keyLines_ = 0;
  bool continues_ = false, identified_;
  HiveFileState state_ = HiveFileState::Good;
};

HiveFileState CheckTextOnWine(HANDLE file, const unsigned char *head, DWORD headSize,
                              const std::string &machineHive, DWORD *error) {
  WineTextCheck text(machineHive);
  if (text.Feed(reinterpret_cast<const char *>(head), headSize) && headSize == kBaseBlockSize) {
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kReadBlock]);
    if (!block) {
      *error = ERROR_NOT_ENOUGH_MEMORY;
      return HiveFileState::Unreadable;
    }
    for (;;) {
      const DWORD read = ReadBlocks(file, block.get(), kReadBlock, error);
      if (*error != 0) return HiveFileState::Unreadable;
      if (!text.Feed(reinterpret_cast<const char *>(block.get()), read) || read < kReadBlock) break;
    }
  }
  return text.Finish();
}

}  // namespace

HiveFileCheck CheckHiveFile(const std::string &file) { return CheckHiveFile(file, ""); }

HiveFileCheck CheckHiveFile(const std::string &file, const std::string &machineHive) {
  HiveFileCheck check;
  check.file = file;
  check.hive = machineHive;
  if (!FitsBuffer(file, MAX_PATH)) {
    check.state = HiveFileState::Unreadable;
    check.error = ERROR_FILENAME_EXCED_RANGE;
    return check;
  }
  const DWORD attributes = GetFileAttributesA(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    check.state = HiveFileState::Unreadable;
    check.error = GetLastError();
    return check;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    check.state = HiveFileState::Folder;
    return check;
  }
  HandleOwner handle(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    check.state = HiveFileState::Unreadable;
    check.error = GetLastError();
    return check;
  }
  unsigned char head[kBaseBlockSize];
  const DWORD size = ReadBlocks(handle.Get(), head, kBaseBlockSize, &check.error);
  const HiveIdentity *identity = IdentityOf(machineHive);
  const DWORD headerLength = sizeof kWineHeader - 1;
  if (check.error != 0) {
    check.state = HiveFileState::Unreadable;
  } else if (size == 0) {
    check.state = HiveFileState::Empty;
  } else if (RunningOnWine() && size >= headerLength && memcmp(head, kWineHeader, headerLength) == 0) {
    check.state = CheckTextOnWine(handle.Get(), head, size, identity ? machineHive : "", &check.error);
  } else if (size < 4 || memcmp(head, "regf", 4) != 0) {
    check.state = HiveFileState::NotAHive;
  } else if (size < kBaseBlockSize) {
    check.state = HiveFileState::Truncated;
  } else {
    check.state = CheckBinaryHive(handle.Get(), head, identity, &check.error);
  }
  return check;
}

std::string HiveFileReason(const HiveFileCheck &check) {
  switch (check.state) {
    case HiveFileState::Good:
      return "";
    case HiveFileState::Folder:
      return "ist ein Ordner";
    case HiveFileState::Unreadable:
      return "ist nicht lesbar (Fehler" + NumberText(static_cast<long>(check.error)) + ")";
    case HiveFileState::Empty:
      return "ist leer";
    case HiveFileState::NotAHive:
      return "ist keine Registry-Datei";
    case HiveFileState::Truncated:
      return "ist abgeschnitten";
    case HiveFileState::Damaged:
      return "ist beschädigt";
    case HiveFileState::OtherHive:
      return "enthält nicht den Hive " + check.hive;
  }
  return "";
}
