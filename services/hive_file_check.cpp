// Whether a file can be handed to the system as a hive, checked as the system's hive loader reads
// it. The file: a 4096-byte base block ("regf", sequence numbers, version, type, format, root cell,
// data size, and at 0x1FC the XOR of the first 127 DWORDs, 0 stored as 1 and 0xFFFFFFFF as
// 0xFFFFFFFE), then the data: hive bins ("hbin", their own offset, their size), each cut into
// cells (a signed size, negative while allocated, 8-byte aligned). Offsets are counted from the
// first bin. Wine's RegSaveKey writes its own text form instead, checked line by line.
#include "services/hive_file_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "services/fingerprint.h"
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
const DWORD kNoCell = 0xFFFFFFFF;  // an offset field that names no cell
const DWORD kBadList = 0xFFFFFFFF;  // a sub-key list's record: more entries than its cell holds
const WORD kKeyHiveEntry = 0x0004, kKeyCompressedName = 0x0020;
const char kWineHeader[] = "WINE REGISTRY Version 2";
const char kWineRelative[] = ";; All keys relative to ";

// Sub-keys that each machine hive's root always has; one of them is enough. Each name is one bit of
// what the walk learns about a key's name.
const char *const kIdentityKeys[] = {"Microsoft", "Select", "ControlSet001", "Policy", "SAM"};
const DWORD kLongestIdentityKey = 13;  // "ControlSet001"
struct HiveIdentity {
  const char *hive;
  DWORD keys;  // bits of kIdentityKeys
};
const HiveIdentity kIdentities[] = {
    {"SOFTWARE", 1u << 0},
    {"SYSTEM", 1u << 1 | 1u << 2},
    {"SECURITY", 1u << 3},
    {"SAM", 1u << 4},
};

DWORD Dword(const unsigned char *bytes) {
  return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
         static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
}

WORD Word(const unsigned char *bytes) { return static_cast<WORD>(bytes[0] | bytes[1] << 8); }

constexpr WORD Signature(const char (&name)[3]) {
  return static_cast<WORD>(static_cast<unsigned char>(name[0]) | static_cast<unsigned char>(name[1]) << 8);
}

bool SameAsciiLetters(char a, char b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(a) == upper(b);
}

// ---- reading ------------------------------------------------------------------------------------

// The file read once from its start, in blocks of a megabyte; every byte goes to the hash (when one
// is asked for) as it arrives. Pieces are asked for at offsets that never go back, and what lies
// before a piece is dropped, so the buffer stays at a megabyte (or the largest piece asked for).
class FileStream {
 public:
  FileStream(HANDLE file, Sha256Stream *hash) : file_(file), hash_(hash), buffer_(kReadBlock) {}

  // The bytes from `at` on in one piece, at least `count` of them unless the file ends or a read
  // fails first; *available says how many there are.
  const unsigned char *Peek(uint64_t at, DWORD count, DWORD *available) {
    while (at >= start_ + filled_ && More()) {
      start_ += filled_;  // everything held lies before `at`
      filled_ = 0;
      Read();
    }
    if (at >= start_ + filled_) {
      *available = 0;
      return buffer_.data();
    }
    DWORD skip = static_cast<DWORD>(at - start_);
    if (filled_ - skip < count && More()) {
      memmove(buffer_.data(), buffer_.data() + skip, filled_ - skip);
      filled_ -= skip;
      start_ = at;
      skip = 0;
      if (count > buffer_.size()) buffer_.resize(count);
      while (filled_ < count && More()) Read();
    }
    *available = filled_ - skip;
    return buffer_.data() + skip;
  }

  // Reads what is left of the file, for the hash.
  void ReadRest() {
    while (More()) {
      start_ += filled_;
      filled_ = 0;
      Read();
    }
  }

  uint64_t ReadTo() const { return start_ + filled_; }  // where the file pointer stands
  bool Ended() const { return ended_; }
  bool Failed() const { return failed_; }
  DWORD Error() const { return error_; }

 private:
  bool More() const { return !ended_ && !failed_; }

  void Read() {
    DWORD read = 0;
    if (!ReadFile(file_, buffer_.data() + filled_, static_cast<DWORD>(buffer_.size()) - filled_, &read, nullptr)) {
      error_ = GetLastError();
      failed_ = true;
      return;
    }
    if (read == 0) {
      ended_ = true;
      return;
    }
    if (hash_) hash_->Add(buffer_.data() + filled_, read);
    filled_ += read;
  }

  HANDLE file_;
  Sha256Stream *hash_;
  std::vector<unsigned char> buffer_;
  uint64_t start_ = 0;  // the file offset of buffer_[0]
  DWORD filled_ = 0;
  bool ended_ = false, failed_ = false;
  DWORD error_ = 0;
};

// ---- the binary form ------------------------------------------------------------------------------

// A growing array of plain records whose failed allocation is kept, not fatal: the program is built
// without exceptions, and a hostile hive of tiny cells asks for many records. Once an allocation
// failed, nothing more is added and Failed() says so.
template <typename T>
class RecordArray {
 public:
  RecordArray() = default;
  RecordArray(const RecordArray &) = delete;
  RecordArray &operator=(const RecordArray &) = delete;
  ~RecordArray() { free(items_); }

  void Add(const T &item) {
    if (size_ == capacity_ && !Grow()) return;
    items_[size_++] = item;
  }
  void Add(std::initializer_list<T> items) {
    for (const T &item : items) Add(item);
  }
  bool Failed() const { return failed_; }
  size_t size() const { return size_; }
  T *begin() { return items_; }
  T *end() { return items_ + size_; }
  const T *data() const { return items_; }

 private:
  bool Grow() {
    if (failed_) return false;
    const size_t capacity = capacity_ ? 2 * capacity_ : 4096;
    void *grown = realloc(items_, capacity * sizeof(T));
    if (!grown) {
      failed_ = true;
      return false;
    }
    items_ = static_cast<T *>(grown);
    capacity_ = capacity;
    return true;
  }

  T *items_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
  bool failed_ = false;
};

// The hive's data (everything behind the base block) as it streams past: every bin and cell is
// checked as it arrives, and of each allocated cell a compact record is kept for the key-tree walk
// that follows (its size, and the fields the walk reads: a key's references, a list's entries, a
// value's data reference, or for a cell without a signature its leading words that could be cell
// offsets, which is all that a value list or a big-data segment list is read for).
class HiveData {
 public:
  HiveData(FileStream &stream, DWORD size, DWORD minorVersion) : stream_(stream), size_(size), minor_(minorVersion) {}

  // Every bin in order, every cell of each bin.
  HiveFileState CheckBins() {
    DWORD bin = 0;
    while (bin < size_) {
      DWORD available = 0;
      const unsigned char *header = Data(bin, kBinHeader, &available);
      if (available < kBinHeader) return Short();
      if (memcmp(header, "hbin", 4) != 0 || Dword(header + 4) != bin) return HiveFileState::Damaged;
      const DWORD binSize = Dword(header + 8);
      if (binSize == 0 || binSize % kBaseBlockSize != 0 || binSize > size_ - bin) return HiveFileState::Damaged;
      const DWORD end = bin + binSize;
      DWORD cell = bin + kBinHeader;
      while (cell < end) {
        // A cell starts 8-byte aligned in a bin of whole pages: its first 8 bytes lie in the bin.
        const unsigned char *bytes = Data(cell, 8, &available);
        if (available < 8) return Short();
        const LONG raw = static_cast<LONG>(Dword(bytes));
        const DWORD cellSize = raw < 0 ? 0u - static_cast<DWORD>(raw) : static_cast<DWORD>(raw);
        if (cellSize < 8 || cellSize % 8 != 0 || cellSize > end - cell) return HiveFileState::Damaged;
        if (raw < 0 && !Keep(cell, cellSize - 4, Word(bytes + 4))) return Short();
        if (cells_.Failed() || pool_.Failed()) return HiveFileState::Unreadable;  // Error(): no memory
        cell += cellSize;
      }
      bin = end;
    }
    return HiveFileState::Good;
  }

  // The key tree from the root cell, depth first without recursion (a hive may nest hundreds of
  // levels). `identity`, when given, names sub-keys of which the root must have one.
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
    // The whole tree is sound now: every sub-key of the root is a key cell.
    DWORD rootKeys = 0;
    for (DWORD subKey : rootSubKeys) rootKeys |= Fields(*Find(subKey))[8] >> 16;
    return !identity || (rootKeys & identity->keys) ? HiveFileState::Good : HiveFileState::OtherHive;
  }

  // The code of an Unreadable verdict: the failed read's, or no memory for the records.
  DWORD Error() const { return stream_.Failed() ? stream_.Error() : ERROR_NOT_ENOUGH_MEMORY; }

 private:
  struct CellRecord {
    DWORD offset;   // of its size field in the data
    DWORD content;  // the bytes behind the size field
    DWORD fields;   // where its fields, or its leading offsets, begin in pool_
    DWORD offsets;  // a cell without signature: how many leading words could be cell offsets
    WORD signature;
    bool visited;
  };

  const unsigned char *Data(DWORD offset, DWORD count, DWORD *available) {
    return stream_.Peek(kBaseBlockSize + static_cast<uint64_t>(offset), count, available);
  }

  // The data ended early: the file was cut while it was read, or a read failed.
  HiveFileState Short() const {
    return stream_.Failed() ? HiveFileState::Unreadable : HiveFileState::Truncated;
  }

  // The record of the allocated cell at `cell`; false when the file ends before its fields.
  bool Keep(DWORD cell, DWORD content, WORD signature) {
    CellRecord record{cell, content, static_cast<DWORD>(pool_.size()), 0, signature, false};
    DWORD need = 0;
    switch (signature) {
      case Signature("nk"): need = 0x4C; break;
      case Signature("vk"): need = 20; break;
      case Signature("sk"): need = 20; break;
      case Signature("db"): need = 8; break;
      case Signature("lf"): case Signature("lh"): case Signature("li"): case Signature("ri"): need = 4; break;
      default: break;
    }
    bool whole = true;
    if (need == 0) {
      whole = KeepOffsets(cell + 4, content, &record);
    } else if (content >= need) {  // a smaller cell is no such cell to the walk (Cell refuses it)
      DWORD available = 0;
      const DWORD want = signature == Signature("nk") ? std::min(content, need + 2 * kLongestIdentityKey) : need;
      const unsigned char *c = Data(cell + 4, want, &available);
      if (available < want) return false;
      switch (signature) {
        case Signature("nk"):
          pool_.Add({DWORD{Word(c + 2)} | DWORD{Word(c + 0x4A)} << 16, Dword(c + 0x10),
                                     Dword(c + 0x14), Dword(c + 0x1C), Dword(c + 0x24), Dword(c + 0x28),
                                     Dword(c + 0x2C), Dword(c + 0x30),
                                     DWORD{Word(c + 0x48)} | IdentityKeys(c, content) << 16});
          break;
        case Signature("vk"):
          pool_.Add({Word(c + 2), Dword(c + 4), Dword(c + 8)});
          break;
        case Signature("sk"):
          pool_.Add(Dword(c + 16));
          break;
        case Signature("db"):
          pool_.Add({Word(c + 2), Dword(c + 4)});
          break;
        default:
          whole = KeepList(cell, content, signature, Word(c + 2));
          break;
      }
    }
    cells_.Add(record);
    return whole;
  }

  // A sub-key list's entry count and its entries' offsets; kBadList when they overrun the cell.
  bool KeepList(DWORD cell, DWORD content, WORD signature, DWORD entries) {
    const DWORD step = signature == Signature("lf") || signature == Signature("lh") ? 8 : 4;
    if (entries * step > content - 4) {
      pool_.Add(kBadList);
      return true;
    }
    pool_.Add(entries);
    if (entries == 0) return true;
    DWORD available = 0;
    const unsigned char *list = Data(cell + 8, entries * step, &available);
    if (available < entries * step) return false;
    for (DWORD i = 0; i < entries; i++) pool_.Add(Dword(list + i * step));
    return true;
  }

  // The leading words of a cell without signature, as long as each could be a cell offset (8-byte
  // aligned, inside the data): a value list or a segment list holds nothing else, and a list whose
  // entries run out early fails the walk there exactly as an entry that points nowhere would.
  bool KeepOffsets(DWORD at, DWORD content, CellRecord *record) {
    DWORD left = content / 4;
    while (left > 0) {
      DWORD available = 0;
      const unsigned char *bytes = Data(at, 4, &available);
      if (available < 4) return false;
      const DWORD words = std::min(left, available / 4);
      for (DWORD i = 0; i < words; i++) {
        const DWORD offset = Dword(bytes + 4 * i);
        if (offset % 8 != 0 || offset >= size_) return true;
        pool_.Add(offset);
        record->offsets++;
      }
      at += 4 * words;
      left -= words;
    }
    return true;
  }

  // The bits of kIdentityKeys that a key's name matches: stored one byte per character
  // (compressed) or in UTF-16, compared with an ASCII name without regard to case.
  static DWORD IdentityKeys(const unsigned char *nk, DWORD content) {
    const DWORD length = Word(nk + 0x48);
    if (length > content - 0x4C || length > 2 * kLongestIdentityKey) return 0;
    const bool compressed = (Word(nk + 2) & kKeyCompressedName) != 0;
    DWORD bits = 0;
    for (DWORD key = 0; key < sizeof kIdentityKeys / sizeof kIdentityKeys[0]; key++) {
      const char *name = kIdentityKeys[key];
      const DWORD wanted = static_cast<DWORD>(strlen(name));
      if (length != (compressed ? wanted : 2 * wanted)) continue;
      bool same = true;
      for (DWORD i = 0; i < wanted && same; i++) {
        const unsigned char *ch = nk + 0x4C + (compressed ? i : 2 * i);
        same = (compressed || ch[1] == 0) && SameAsciiLetters(static_cast<char>(ch[0]), name[i]);
      }
      if (same) bits |= 1u << key;
    }
    return bits;
  }

  CellRecord *Find(DWORD offset) {
    auto at = std::lower_bound(cells_.begin(), cells_.end(), offset,
                               [](const CellRecord &cell, DWORD wanted) { return cell.offset < wanted; });
    return at != cells_.end() && at->offset == offset ? &*at : nullptr;
  }

  const DWORD *Fields(const CellRecord &cell) const { return pool_.data() + cell.fields; }

  // The allocated cell at `offset`, when it holds at least `need` bytes and begins with
  // `signature` (0 for a cell read without one).
  CellRecord *Cell(DWORD offset, DWORD need, WORD signature) {
    if (offset % 8 != 0 || offset >= size_) return nullptr;
    CellRecord *cell = Find(offset);
    if (!cell || cell->content < need || (signature != 0 && cell->signature != signature)) return nullptr;
    return cell;
  }

  // Marks a cell as reached once; false when it was reached before.
  static bool FirstVisit(CellRecord *cell) {
    if (cell->visited) return false;
    cell->visited = true;
    return true;
  }

  bool CheckKey(DWORD offset, bool isRoot, DWORD parent, std::vector<DWORD> *subKeys) {
    CellRecord *nk = Cell(offset, 0x4C, Signature("nk"));
    if (!nk || !FirstVisit(nk)) return false;  // not a key, or a key reached twice (a loop)
    const DWORD length = nk->content;
    const DWORD *f = Fields(*nk);
    const DWORD flags = f[0] & 0xFFFF, classLength = f[0] >> 16, nameLength = f[8] & 0xFFFF;
    if (isRoot && !(flags & kKeyHiveEntry)) return false;
    if (!isRoot && f[1] != parent) return false;
    // Every key below the root has a name; one of no characters would be an empty part of a path.
    if (nameLength > length - 0x4C || (!isRoot && nameLength == 0)) return false;
    // A key without a class has no class cell (-1): libregf reads any other offset as one, and
    // fails on a class of no bytes.
    if (classLength != 0 ? !Cell(f[7], classLength, 0) : f[7] != kNoCell) return false;
    if (!CheckSecurity(f[6])) return false;
    if (!CheckValues(f[4], f[5])) return false;
    const DWORD count = f[2];
    if (count != 0) {
      // No more sub-keys than key cells fit into the data: an ri that lists one leaf again and
      // again must not make the list grow without end.
      if (count > size_ / 0x50) return false;
      if (!CheckSubKeyList(f[3], true, count, subKeys) || subKeys->size() != count) return false;
    }
    return true;
  }

  bool CheckSecurity(DWORD offset) {
    CellRecord *sk = Cell(offset, 20, Signature("sk"));
    if (!sk) return false;
    if (!FirstVisit(sk)) return true;  // keys share their security cells
    return Fields(*sk)[0] <= sk->content - 20;
  }

  bool CheckValues(DWORD count, DWORD listOffset) {
    if (count == 0) return true;
    if (count > size_ / 4) return false;
    const CellRecord *list = Cell(listOffset, count * 4, 0);
    if (!list) return false;
    for (DWORD i = 0; i < count; i++) {
      if (i >= list->offsets || !CheckValue(Fields(*list)[i])) return false;
    }
    return true;
  }

  bool CheckValue(DWORD offset) {
    CellRecord *vk = Cell(offset, 20, Signature("vk"));
    // A value belongs to one key, once: a value reached twice is a fault (and cannot make the walk
    // repeat its data's checks).
    if (!vk || !FirstVisit(vk) || Fields(*vk)[0] > vk->content - 20) return false;
    const DWORD size = Fields(*vk)[1], dataOffset = Fields(*vk)[2];
    if (size & 0x80000000u) return (size & 0x7FFFFFFFu) <= 4;  // the data is the offset field
    // No data: no cell (-1), or one that is there; libregf reads any other offset and fails.
    if (size == 0) return dataOffset == kNoCell || Cell(dataOffset, 0, 0) != nullptr;
    if (size > kBigDataSegment && minor_ >= 4) return CheckBigData(dataOffset, size);
    return Cell(dataOffset, size, 0) != nullptr;
  }

  // db: a count of segments and a list of their cells, each holding up to 16344 bytes of the data.
  bool CheckBigData(DWORD offset, DWORD size) {
    CellRecord *db = Cell(offset, 8, Signature("db"));
    if (!db || !FirstVisit(db)) return false;
    const DWORD segments = Fields(*db)[0], listOffset = Fields(*db)[1];
    if (static_cast<unsigned long long>(segments) * kBigDataSegment < size) return false;
    CellRecord *list = Cell(listOffset, segments * 4, 0);
    if (!list || !FirstVisit(list)) return false;
    DWORD left = size;
    for (DWORD i = 0; i < segments && left > 0; i++) {
      const DWORD part = left < kBigDataSegment ? left : kBigDataSegment;
      if (i >= list->offsets || !Cell(Fields(*list)[i], part, 0)) return false;
      left -= part;
    }
    return true;
  }

  // lf and lh (offset and hash per entry), li (offsets), or ri (offsets of such lists, one level).
  bool CheckSubKeyList(DWORD offset, bool mayBeRi, DWORD count, std::vector<DWORD> *subKeys) {
    const CellRecord *list = Cell(offset, 4, 0);
    if (!list) return false;
    const WORD signature = list->signature;
    if (signature != Signature("lf") && signature != Signature("lh") && signature != Signature("li") &&
        !(signature == Signature("ri") && mayBeRi)) {
      return false;
    }
    const DWORD entries = Fields(*list)[0];
    if (entries == kBadList) return false;
    for (DWORD i = 0; i < entries; i++) {
      const DWORD entry = Fields(*list)[1 + i];
      if (signature == Signature("ri")) {
        if (!CheckSubKeyList(entry, false, count, subKeys)) return false;
      } else {
        subKeys->push_back(entry);
      }
      if (subKeys->size() > count) return false;
    }
    return true;
  }

  FileStream &stream_;
  DWORD size_, minor_;
  RecordArray<CellRecord> cells_;  // every allocated cell, in the order of their offsets
  RecordArray<DWORD> pool_;        // their fields and leading offsets
};

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
// byte first calls such a file cut before its bins are read.
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

// The base block is the stream's first 4096 bytes, read already.
HiveFileState CheckBinaryHive(HANDLE file, FileStream &stream, const unsigned char *block,
                              const HiveIdentity *identity, DWORD *error) {
  if (!BaseBlockSound(block)) return HiveFileState::Damaged;
  const DWORD dataSize = Dword(block + 0x28), minor = Dword(block + 0x18), root = Dword(block + 0x24);
  const DWORD end = kBaseBlockSize + dataSize;
  if (stream.ReadTo() < end) {
    if (stream.Ended()) return HiveFileState::Truncated;
    // The stream's reads so far end below 2 GB: its position fits the call's low part.
    SetLastError(ERROR_SUCCESS);
    if (!FileReaches(file, end, static_cast<DWORD>(stream.ReadTo()), error)) {
      return *error != 0 ? HiveFileState::Unreadable : HiveFileState::Truncated;
    }
  }
  HiveData hive(stream, dataSize, minor);
  const HiveFileState bins = hive.CheckBins();
  if (bins != HiveFileState::Good) {
    if (bins == HiveFileState::Unreadable) *error = hive.Error();
    return bins;
  }
  return hive.CheckTree(root, identity);
}

// ---- Wine's text form ---------------------------------------------------------------------------
// "WINE REGISTRY Version 2", ";; All keys relative to REGISTRY\\Machine\\System", then blank
// lines, comments (";"), options ("#arch=", "#time=", "#class=", "#link"), key lines
// ("[Name\\Sub] 1796923455") and value lines ("@=..." or "\"Name\"=..."); a hex value goes on over
// lines that end in "\" and continue with two blanks. Every line ends with a line feed,
// the only control character in the file.

// The first byte at or after `from` that is `a` or `b`, or `to`; eight bytes at a time, as most of
// a large text has neither.
const char *FindEither(const char *from, const char *to, char a, char b) {
  const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  const uint64_t wantA = ones * static_cast<unsigned char>(a), wantB = ones * static_cast<unsigned char>(b);
  for (; to - from >= 8; from += 8) {
    uint64_t word;
    memcpy(&word, from, 8);
    const uint64_t x = word ^ wantA, y = word ^ wantB;
    if (((x - ones) & ~x & highs) | ((y - ones) & ~y & highs)) break;  // a zero byte in x or y
  }
  while (from < to && *from != a && *from != b) from++;
  return from;
}

// The first control character (below a blank) at or after `from`, or `to`; eight bytes at a time.
const char *FindControl(const char *from, const char *to) {
  const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  for (; to - from >= 8; from += 8) {
    uint64_t word;
    memcpy(&word, from, 8);
    if ((word - ones * 0x20) & ~word & highs) break;  // some byte below 0x20
  }
  while (from < to && static_cast<unsigned char>(*from) >= 0x20) from++;
  return from;
}

// The end of a quoted text that starts at `at` (a backslash escapes the next character), or npos.
size_t QuotedEnd(std::string_view line, size_t at, char close) {
  const char *const end = line.data() + line.size();
  for (const char *c = line.data() + std::min(at, line.size());; c += 2) {
    c = FindEither(c, end, '\\', close);
    if (c >= end) return std::string_view::npos;
    if (*c == close) return static_cast<size_t>(c - line.data());
  }
}

bool StartsWith(std::string_view text, size_t at, const char *prefix) {
  return text.compare(at, strlen(prefix), prefix) == 0;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Bytes as Wine writes them from `at` to the end: each one or two hex digits, separated by commas; a
// line that goes on ends in ",\". Wine's loader reads each byte as a number up to 0xFF and stops at
// an empty one, loading the value as an empty REG_NONE: "01,123" or "01,,02" lose the value.
bool IsHexList(std::string_view text, size_t at) {
  for (size_t i = at;;) {
    if (i == text.size() || (text[i] == '\\' && i + 1 == text.size() && (i == at || text[i - 1] == ','))) return true;
    size_t digits = 0;
    while (i + digits < text.size() && IsHexDigit(text[i + digits])) digits++;
    if (digits == 0 || digits > 2) return false;
    i += digits;
    if (i == text.size()) return true;
    if (text[i++] != ',') return false;
  }
}

// Behind "str(" or "hex(" at `at`: the type, one to eight hex digits, and "):"; the position behind
// them, or npos. Wine's loader reads the type as a number and drops a value whose type it cannot.
size_t TypeEnd(std::string_view line, size_t at) {
  size_t digits = 0;
  for (; at + digits < line.size() && digits <= 8; digits++) {
    const char c = line[at + digits];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) break;
  }
  if (digits == 0 || digits > 8 || !StartsWith(line, at + digits, "):")) return std::string_view::npos;
  return at + digits + 2;
}

// A value's data after "=": a string, "str(n):" and a string, "dword:" and eight hex digits, or
// "hex:" / "hex(n):" and a list of bytes. Sets *continues when the line ends in a backslash.
bool ValueDataSound(std::string_view line, size_t at, bool *continues) {
  *continues = false;
  if (StartsWith(line, at, "str(")) {
    at = TypeEnd(line, at + 4);
    if (at == std::string_view::npos) return false;
  }
  if (at < line.size() && line[at] == '"') return QuotedEnd(line, at + 1, '"') == line.size() - 1;
  if (StartsWith(line, at, "dword:")) {
    return line.size() == at + 14 && std::all_of(line.begin() + at + 6, line.end(), IsHexDigit);
  }
  if (StartsWith(line, at, "hex(")) {
    at = TypeEnd(line, at + 4);
    if (at == std::string_view::npos) return false;
  } else if (StartsWith(line, at, "hex:")) {
    at += 4;
  } else {
    return false;
  }
  *continues = !line.empty() && line.back() == '\\';
  return IsHexList(line, at);
}

bool WineLineSound(std::string_view line, bool *continues) {
  *continues = false;
  if (line.empty() || line[0] == ';' || line[0] == '#') return true;
  if (line[0] == '[') {
    const size_t close = QuotedEnd(line, 1, ']');
    return close != std::string_view::npos &&
           (close + 1 == line.size() || (line[close + 1] == ' ' && close + 2 < line.size()));
  }
  size_t equals = std::string_view::npos;
  if (line[0] == '@') {
    equals = 1;
  } else if (line[0] == '"') {
    const size_t close = QuotedEnd(line, 1, '"');
    if (close != std::string_view::npos) equals = close + 1;
  }
  if (equals == std::string_view::npos || equals >= line.size() || line[equals] != '=') return false;
  return ValueDataSound(line, equals + 1, continues);
}

// The header's key "REGISTRY\\Machine\\<hive>", as Wine writes it (the hive's name in Wine's own
// case), compared without regard to case.
bool NamesHive(std::string_view relativeTo, const std::string &hive) {
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

  // False once a fault is found (state() then names it). A line that lies whole in the block is
  // checked where it lies; only a line that a block boundary cuts is gathered.
  bool Feed(const char *bytes, size_t size) {
    const char *const end = bytes + size;
    for (const char *at = bytes; at < end && state_ == HiveFileState::Good;) {
      // Wine writes every control character of a name or a value as an escape, and its loader
      // reads a line only up to a NUL (loading the value cut there as an empty one): a line feed is
      // the only control character of a sound file, and anything else (a sector of zeros) a fault.
      const char *lineEnd = FindControl(at, end);
      if (lineEnd != end && *lineEnd != '\n') {
        state_ = HiveFileState::Damaged;
        break;
      }
      const size_t length = static_cast<size_t>(lineEnd - at);
      if (line_.size() + length > kLongestLine) {
        state_ = HiveFileState::Damaged;
        break;
      }
      if (lineEnd == end) {
        line_.append(at, length);
        break;
      }
      if (line_.empty()) {
        CheckLine(std::string_view(at, length));
      } else {
        line_.append(at, length);
        CheckLine(line_);
        line_.clear();
      }
      at = lineEnd + 1;  // behind the line feed
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

  void CheckLine(std::string_view line) {
    number_++;
    if (number_ == 1) {
      if (line != kWineHeader) state_ = HiveFileState::NotAHive;
    } else if (number_ == 2) {
      if (!StartsWith(line, 0, kWineRelative)) {
        state_ = HiveFileState::Damaged;
      } else if (!machineHive_.empty()) {
        identified_ = NamesHive(line.substr(strlen(kWineRelative)), machineHive_);
      }
    } else if (continues_) {
      if (!StartsWith(line, 0, "  ") || !IsHexList(line, 2)) state_ = HiveFileState::Damaged;
      continues_ = !line.empty() && line.back() == '\\';
    } else if (!WineLineSound(line, &continues_)) {
      state_ = HiveFileState::Damaged;
    } else if (!line.empty() && line[0] == '[') {
      keyLines_++;
    }
  }

  const std::string machineHive_;
  std::string line_;
  size_t number_ = 0, keyLines_ = 0;
  bool continues_ = false, identified_;
  HiveFileState state_ = HiveFileState::Good;
};

// Wine's text form from the stream's first byte to its end.
HiveFileState CheckTextOnWine(FileStream &stream, const std::string &machineHive, DWORD *error) {
  WineTextCheck text(machineHive);
  uint64_t at = 0;
  for (;;) {
    DWORD available = 0;
    const unsigned char *bytes = stream.Peek(at, 1, &available);
    if (stream.Failed()) {
      *error = stream.Error();
      return HiveFileState::Unreadable;
    }
    if (available == 0 || !text.Feed(reinterpret_cast<const char *>(bytes), available)) break;
    at += available;
  }
  return text.Finish();
}

}  // namespace

HiveFileCheck CheckHiveFile(const std::string &file) { return CheckHiveFile(file, "", nullptr); }

HiveFileCheck CheckHiveFile(const std::string &file, const std::string &machineHive) {
  return CheckHiveFile(file, machineHive, nullptr);
}

HiveFileCheck CheckHiveFile(const std::string &file, const std::string &machineHive, std::string *sha256) {
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
  // No one may write the file while it is read (FILE_SHARE_READ): the bytes checked are the bytes
  // hashed, read once.
  HandleOwner handle(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    check.state = HiveFileState::Unreadable;
    check.error = GetLastError();
    return check;
  }
  std::unique_ptr<Sha256Stream> hash(sha256 ? new Sha256Stream : nullptr);
  FileStream stream(handle.Get(), hash.get());
  DWORD size = 0;
  const unsigned char *head = stream.Peek(0, kBaseBlockSize, &size);
  if (size > kBaseBlockSize) size = kBaseBlockSize;
  const HiveIdentity *identity = IdentityOf(machineHive);
  const DWORD headerLength = sizeof kWineHeader - 1;
  if (stream.Failed()) {
    check.state = HiveFileState::Unreadable;
    check.error = stream.Error();
  } else if (size == 0) {
    check.state = HiveFileState::Empty;
  } else if (RunningOnWine() && size >= headerLength && memcmp(head, kWineHeader, headerLength) == 0) {
    check.state = CheckTextOnWine(stream, identity ? machineHive : "", &check.error);
  } else if (size < 4 || memcmp(head, "regf", 4) != 0) {
    check.state = HiveFileState::NotAHive;
  } else if (size < kBaseBlockSize) {
    check.state = HiveFileState::Truncated;
  } else {
    check.state = CheckBinaryHive(handle.Get(), stream, head, identity, &check.error);
  }
  if (check.state != HiveFileState::Good || !sha256) return check;
  // The hash takes the bytes behind the hive's data too: the whole file.
  stream.ReadRest();
  FingerprintError hashError;
  if (stream.Failed()) {
    check.state = HiveFileState::Unreadable;
    check.error = stream.Error();
  } else if ((*sha256 = hash->Finish(&hashError)).empty()) {
    check.state = HiveFileState::Unreadable;
    check.error = hashError.code;
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
