// Simulated kernel32 file system and devices: in-memory drives, folders and files with attributes,
// share modes, Win32's path rules and its error codes, as far as Brovink's file calls need them.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

#include "internal.h"
#include "simctl.h"

namespace {

// Codes that win32.h does not name because no system code looks at them.
const DWORD kErrorBadNetPath = 53;           // UNC and device paths (not modelled)
const DWORD kErrorNotSameDevice = 17;
const DWORD kErrorCallNotImplemented = 120;  // a case this simulation does not model
const DWORD kErrorNegativeSeek = 131;
const DWORD kErrorInvalidUserBuffer = 1784;

const DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Access of an open, as the share-mode check sees it.
const DWORD kRead = 1, kWrite = 2, kDelete = 4;

struct OpenFile;

struct Node {
  std::string name;  // as created
  bool folder = false;
  DWORD attributes = 0;  // read-only, hidden, system and archive bits only
  std::string bytes;
  std::map<std::string, std::shared_ptr<Node>> children;  // by NameKey, NTFS's order
  std::vector<OpenFile *> opens;                          // of this and other processes
  bool lockedAttributes = false;
  bool denyWrites = false;
  bool reparsePoint = false;   // a link: listed with FILE_ATTRIBUTE_REPARSE_POINT, never followed here
  bool deletePending = false;  // a handle opened with FILE_FLAG_DELETE_ON_CLOSE has closed
  std::string descriptor;  // SDDL given by the save that created the file
};

struct OpenFile {
  std::shared_ptr<Node> node;  // keeps a deleted file's data alive for its handles
  DWORD access;                // kRead | kWrite | kDelete
  DWORD share;
  uint64_t position;
  bool deleteOnClose = false;
};

struct Drive {
  std::string device;
  std::shared_ptr<Node> root;
  bool noMedium = false;  // an empty card reader or DVD drive: every path on it is "not ready"
};

struct FindState {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

struct FileSystem {
  std::map<char, Drive> drives;  // by upper-case letter
  std::string currentDirectory;
  std::vector<std::unique_ptr<OpenFile>> holds;  // files other processes hold open
  std::vector<std::unique_ptr<OpenFile>> systemHolds;  // hive files the kernel holds until a restart
  std::vector<sim::AttributeRequest> attributeRequests;
  int criticalErrorBoxes = 0;
};

void ResetFiles();

FileSystem &fs() {
  static FileSystem state;
  static bool started = false;
  if (!started) {
    started = true;
    ResetFiles();
  }
  return state;
}

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The key under which a folder holds a name: NTFS compares names through its upper-case table.
std::string NameKey(const std::string &name) {
  std::string key = name;
  for (char &c : key) c = sim_internal::FoldNameChar(c);
  return key;
}
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// ---- paths -------------------------------------------------------------------------------------
struct ParsedPath {
  char drive = 0;                  // upper-case letter
  std::string driveText;           // the letter as written, for the current directory
  std::vector<std::string> parts;  // folders and the leaf, as written
  bool trailingSeparator = false;
};

void SplitInto(const std::string &text, std::vector<std::string> *parts) {
  std::string part;
  for (size_t i = 0; i <= text.size(); i++) {
    if (i < text.size() && !IsSeparator(text[i])) {
      part += text[i];
      continue;
    }
    // Empty components collapse, as Windows accepts "D:\\SOFTWARE" for D:\SOFTWARE.
    if (part == "..") {
      if (!parts->empty()) parts->pop_back();
    } else if (!part.empty() && part != ".") {
      parts->push_back(part);
    }
    part.clear();
  }
}

// Turns a DOS path into drive and components the way Win32 makes a full path: "X:\..." is
// absolute, "\..." lies on the current drive, "X:name" is relative to the current directory when
// that is on drive X (else to X's root), and anything else is relative to the current directory.
DWORD ParsePath(const std::string &text, ParsedPath *out) {
  if (text.empty()) return ERROR_PATH_NOT_FOUND;
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) return kErrorBadNetPath;
  const std::string &cwd = fs().currentDirectory;
  ParsedPath parsed;
  std::string rest = text;
  bool relative = true;
  if (text.size() >= 2 && text[1] == ':' && IsDriveLetter(text[0])) {
    parsed.drive = UpperChar(text[0]);
    parsed.driveText = text.substr(0, 1);
    rest = text.substr(2);
    relative = !(rest.size() > 0 && IsSeparator(rest[0])) && UpperChar(cwd[0]) == parsed.drive;
  } else {
    parsed.drive = UpperChar(cwd[0]);
    parsed.driveText = cwd.substr(0, 1);
    relative = !IsSeparator(text[0]);
  }
  if (relative) {
    SplitInto(cwd.substr(2), &parsed.parts);
    parsed.driveText = cwd.substr(0, 1);
  }
  SplitInto(rest, &parsed.parts);
  parsed.trailingSeparator = IsSeparator(text.back());
  *out = parsed;
  return 0;
}

// Characters that no file name may hold; the wildcards are allowed only in a search mask.
// A NUL is the mark of a character the ANSI code page lacks (sim::FsName); no ANSI call passes one.
bool ValidName(const std::string &part, bool wildcards) {
  for (unsigned char c : part) {
    if (c == 0) continue;
    if (c < 0x20 || strchr("<>:\"|", c)) return false;
    if (!wildcards && (c == '*' || c == '?')) return false;
  }
  return true;
}

struct Place {
  DWORD error = 0;
  std::vector<Node *> folders;  // the drive's root down to the leaf's parent
  Node *parent = nullptr;       // null when the path names a drive's root
  std::shared_ptr<Node> node;   // the leaf, null when it does not exist
  std::string leaf;             // its name as written
  bool trailingSeparator = false;
};

// Finds what a path names. error is 3 when the drive or a folder on the way is missing (or is a
// file) and 123 for a name with characters no name may hold; a missing leaf is not an error here.
Place Locate(const std::string &path, bool wildcardLeaf = false) {
  Place place;
  ParsedPath parsed;
  place.error = ParsePath(path, &parsed);
  if (place.error) return place;
  for (size_t i = 0; i < parsed.parts.size(); i++) {
    if (!ValidName(parsed.parts[i], wildcardLeaf && i + 1 == parsed.parts.size())) {
      place.error = ERROR_INVALID_NAME;
      return place;
    }
  }
  auto drive = fs().drives.find(parsed.drive);
  if (drive == fs().drives.end()) {
    place.error = ERROR_PATH_NOT_FOUND;
    return place;
  }
  // A drive without a medium: Windows first asks for one in its critical-error box (answered with
  // Cancel here), unless the process's error mode says to fail at once; either way 21.
  if (drive->second.noMedium) {
    if (!(sim::ErrorMode() & SEM_FAILCRITICALERRORS)) fs().criticalErrorBoxes++;
    place.error = ERROR_NOT_READY;
    return place;
  }
  place.trailingSeparator = parsed.trailingSeparator;
  // Win32 drops trailing dots and blanks of the last component ("SOFTWARE." and "SOFTWARE " are
  // SOFTWARE); a search mask keeps them, its dots mean something to the matcher.
  if (!wildcardLeaf && !parsed.trailingSeparator && !parsed.parts.empty()) {
    std::string &last = parsed.parts.back();
    last.erase(last.find_last_not_of(". ") + 1);
    if (last.empty() || last == ".") {
      parsed.parts.pop_back();
    } else if (last == "..") {
      parsed.parts.pop_back();
      if (!parsed.parts.empty()) parsed.parts.pop_back();
    }
  }
  if (parsed.parts.empty()) {
    place.node = drive->second.root;
    return place;
  }
  Node *folder = drive->second.root.get();
  place.folders.push_back(folder);
  for (size_t i = 0; i + 1 < parsed.parts.size(); i++) {
    auto child = folder->children.find(NameKey(parsed.parts[i]));
    if (child == folder->children.end() || !child->second->folder) {
      place.error = ERROR_PATH_NOT_FOUND;
      return place;
    }
    if (child->second->reparsePoint) {
      place.error = kErrorCallNotImplemented;  // a path through a link: not modelled
      return place;
    }
    folder = child->second.get();
    place.folders.push_back(folder);
  }
  place.parent = folder;
  place.leaf = parsed.parts.back();
  auto leaf = folder->children.find(NameKey(place.leaf));
  if (leaf != folder->children.end()) place.node = leaf->second;
  return place;
}

// The ANSI calls first convert the name into a buffer of MAX_PATH characters.
Place LocateAnsi(LPCSTR name, bool wildcardLeaf = false) {
  if (name && strlen(name) >= MAX_PATH) {
    Place place;
    place.error = ERROR_FILENAME_EXCED_RANGE;
    return place;
  }
  return Locate(name ? name : "", wildcardLeaf);
}

// The leaf must exist; a trailing backslash after a file's name is not a valid name.
DWORD ExistingLeaf(const Place &place) {
  if (place.error) return place.error;
  if (!place.node) return ERROR_FILE_NOT_FOUND;
  if (place.trailingSeparator && !place.node->folder) return ERROR_INVALID_NAME;
  return 0;
}

bool WritesDenied(const Place &place) {
  for (const Node *folder : place.folders) {
    if (folder->denyWrites) return true;
  }
  return false;
}

// A new open conflicts with an existing one when either wants an access the other does not share.
bool ShareConflict(const Node &node, DWORD access, DWORD share) {
  for (const OpenFile *open : node.opens) {
    if ((access & kRead) && !(open->share & FILE_SHARE_READ)) return true;
    if ((access & kWrite) && !(open->share & FILE_SHARE_WRITE)) return true;
    if ((access & kDelete) && !(open->share & FILE_SHARE_DELETE)) return true;
    if ((open->access & kRead) && !(share & FILE_SHARE_READ)) return true;
    if ((open->access & kWrite) && !(share & FILE_SHARE_WRITE)) return true;
    if ((open->access & kDelete) && !(share & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

// GetFileAttributesA reports a file without attributes as FILE_ATTRIBUTE_NORMAL.
DWORD ReportedAttributes(const Node &node) {
  const DWORD reparse = node.reparsePoint ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
  if (node.folder) return node.attributes | FILE_ATTRIBUTE_DIRECTORY | reparse;
  return (node.attributes | reparse) ? (node.attributes | reparse) : FILE_ATTRIBUTE_NORMAL;
}

std::shared_ptr<Node> AddChild(Node *parent, const std::string &name, bool folder) {
  auto node = std::make_shared<Node>();
  node->name = name;
  node->folder = folder;
  parent->children[NameKey(name)] = node;
  return node;
}

// NTFS gives every new or rewritten file the archive attribute.
std::shared_ptr<Node> CreateFileNode(const Place &place, DWORD attributes, const std::string &bytes) {
  auto node = AddChild(place.parent, place.leaf, false);
  node->attributes = (attributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
  node->bytes = bytes;
  return node;
}

// Deleting a name: since Windows 10 the name goes at once, even while handles shared for delete
// stay open (they keep the data until they close).
DWORD DeleteLeaf(const Place &place) {
  if (DWORD error = ExistingLeaf(place)) return error;
  if (place.node->folder) return ERROR_ACCESS_DENIED;
  if (WritesDenied(place)) return ERROR_ACCESS_DENIED;
  if (ShareConflict(*place.node, kDelete, kShareAll)) return ERROR_SHARING_VIOLATION;
  if (place.node->attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  place.parent->children.erase(NameKey(place.leaf));
  return 0;
}

// Takes the node's name out of whichever folder holds it (it may have been renamed or moved since
// it was opened); false when no folder holds it any more.
bool UnlinkNode(Node *folder, const Node *node) {
  for (auto it = folder->children.begin(); it != folder->children.end(); ++it) {
    if (it->second.get() == node) {
      folder->children.erase(it);
      return true;
    }
    if (it->second->folder && UnlinkNode(it->second.get(), node)) return true;
  }
  return false;
}

// A handle opened with FILE_FLAG_DELETE_ON_CLOSE gives the file its delete disposition when it
// closes; the name goes with the last handle (others could only open it sharing delete).
void CloseOpen(void *object) {
  auto *open = static_cast<OpenFile *>(object);
  const std::shared_ptr<Node> node = open->node;
  auto &opens = node->opens;
  opens.erase(std::remove(opens.begin(), opens.end(), open), opens.end());
  if (open->deleteOnClose) node->deletePending = true;
  delete open;
  if (node->deletePending && node->opens.empty()) {
    for (auto &drive : fs().drives) {
      if (UnlinkNode(drive.second.root.get(), node.get())) break;
    }
  }
}

// True when a handle of any process is open on a file anywhere below folder.
bool OpenBelow(const Node &folder) {
  for (const auto &child : folder.children) {
    if (!child.second->opens.empty()) return true;
    if (child.second->folder && OpenBelow(*child.second)) return true;
  }
  return false;
}

void CloseFind(void *object) { delete static_cast<FindState *>(object); }

HANDLE NewOpen(const std::shared_ptr<Node> &node, DWORD access, DWORD share) {
  auto *open = new OpenFile{node, access, share, 0};
  node->opens.push_back(open);
  return sim_internal::NewHandle(sim_internal::Kind::File, open, CloseOpen);
}

// ---- search masks ------------------------------------------------------------------------------
// FindFirstFileA hands the file system a mask in which "?" became DOS_QM ('>'), a "." before "?"
// or "*" became DOS_DOT ('"') and a "*" before a "." became DOS_STAR ('<'); the trailing dots of
// the mask are dropped first (a "*" they followed still counts as one before a dot), and "*.*"
// alone is "*". The file system then matches as FsRtlIsNameInExpression does.
const char kDosQm = '>', kDosDot = '"', kDosStar = '<';

std::string DosMask(const std::string &mask) {
  size_t end = mask.size();
  while (end > 0 && mask[end - 1] == '.') end--;
  const bool droppedDot = end < mask.size();
  const std::string kept = mask.substr(0, end);
  if (kept == "*.*") return "*";
  std::string out;
  for (size_t i = 0; i < kept.size(); i++) {
    const char c = kept[i];
    const char next = i + 1 < kept.size() ? kept[i + 1] : (droppedDot ? '.' : '\0');
    if (c == '?') {
      out += kDosQm;
    } else if (c == '.' && (next == '?' || next == '*')) {
      out += kDosDot;
    } else if (c == '*' && next == '.') {
      out += kDosStar;
    } else {
      out += c;
    }
  }
  return out;
}

// '*' any run; DOS_STAR any run that does not pass the name's last dot; DOS_QM one character that
// is not a dot, or nothing at a dot or at the end; DOS_DOT a dot, or nothing at the end.
bool MatchFrom(const std::string &mask, size_t m, const std::string &name, size_t n, size_t lastDot) {
  if (m == mask.size()) return n == name.size();
  const char c = mask[m];
  if (c == '*' || c == kDosStar) {
    const size_t limit = (c == kDosStar && lastDot != std::string::npos && lastDot >= n) ? lastDot : name.size();
    for (size_t k = n; k <= limit; k++) {
      if (MatchFrom(mask, m + 1, name, k, lastDot)) return true;
    }
    return false;
  }
  if (c == kDosQm) {
    if (n < name.size() && name[n] != '.') return MatchFrom(mask, m + 1, name, n + 1, lastDot);
    return MatchFrom(mask, m + 1, name, n, lastDot);
  }
  if (c == kDosDot) {
    if (n == name.size()) return MatchFrom(mask, m + 1, name, n, lastDot);
    return name[n] == '.' && MatchFrom(mask, m + 1, name, n + 1, lastDot);
  }
  return n < name.size() && sim_internal::FoldNameChar(c) == sim_internal::FoldNameChar(name[n]) && MatchFrom(mask, m + 1, name, n + 1, lastDot);
}

bool MatchMask(const std::string &maskText, const std::string &name) {
  return MatchFrom(DosMask(maskText), 0, name, 0, name.rfind('.'));
}

WIN32_FIND_DATAA FindEntry(const std::string &name, DWORD attributes, size_t size) {
  WIN32_FIND_DATAA data;
  memset(&data, 0, sizeof data);
  data.dwFileAttributes = attributes;
  data.nFileSizeLow = static_cast<DWORD>(size);
  data.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
  strncpy(data.cFileName, sim_internal::AnsiFromName(name).c_str(), MAX_PATH - 1);
  return data;
}

// ---- start state -------------------------------------------------------------------------------
void ResetFiles() {
  FileSystem &state = fs();
  for (auto *holds : {&state.holds, &state.systemHolds}) {
    for (auto &hold : *holds) {
      auto &opens = hold->node->opens;
      opens.erase(std::remove(opens.begin(), opens.end(), hold.get()), opens.end());
    }
  }
  state = FileSystem{};
  state.currentDirectory = "C:\\";
  sim::AddDrive('C', "\\Device\\HarddiskVolume1");
  sim::MakeFolders("C:\\WINDOWS\\System32\\config");
  sim::MakeFolders("C:\\Users\\admin");
  state.currentDirectory = "C:\\Users\\admin";
}

const sim_internal::ResetHook filesReset(ResetFiles);

Place LocateForTest(const std::string &path) {
  Place place = Locate(path);
  if (place.error) throw std::invalid_argument("no such place in the simulated file system: " + path);
  return place;
}

Node *MakeFolderChain(const std::string &path) {
  ParsedPath parsed;
  if (ParsePath(path, &parsed)) throw std::invalid_argument("not a path: " + path);
  auto drive = fs().drives.find(parsed.drive);
  if (drive == fs().drives.end()) throw std::invalid_argument("no such drive: " + path);
  Node *folder = drive->second.root.get();
  for (const std::string &part : parsed.parts) {
    auto child = folder->children.find(NameKey(part));
    if (child == folder->children.end()) {
      auto made = AddChild(folder, part, true);
      folder = made.get();
    } else if (child->second->folder) {
      folder = child->second.get();
    } else {
      throw std::invalid_argument("a file stands where a folder is needed: " + path);
    }
  }
  return folder;
}

}  // namespace

// ---- control -----------------------------------------------------------------------------------
namespace sim {

void AddDrive(char letter, const std::string &device) {
  if (!IsDriveLetter(letter)) throw std::invalid_argument("not a drive letter");
  Drive &drive = fs().drives[UpperChar(letter)];
  drive.device = device;
  if (!drive.root) {
    drive.root = std::make_shared<Node>();
    drive.root->name = std::string(1, UpperChar(letter)) + ":";
    drive.root->folder = true;
  }
}

void RemoveMedium(char letter) {
  auto drive = fs().drives.find(UpperChar(letter));
  if (drive == fs().drives.end()) throw std::invalid_argument("no such drive");
  drive->second.noMedium = true;
}

int CriticalErrorBoxes() {
  sim_internal::CallScope scope;
  return fs().criticalErrorBoxes;
}

void MakeFolders(const std::string &path) { MakeFolderChain(path); }

void PutFile(const std::string &path, const std::string &bytes, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw std::invalid_argument("PutFile makes files only");
  ParsedPath parsed;
  if (ParsePath(path, &parsed) || parsed.parts.empty()) throw std::invalid_argument("not a file path: " + path);
  const size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos) MakeFolders(path.substr(0, cut + 1));
  Place place = LocateForTest(path);
  if (place.node && place.node->folder) throw std::invalid_argument("a folder has that name: " + path);
  if (!place.node) place.node = AddChild(place.parent, place.leaf, false);
  place.node->attributes = attributes & kSettableAttributes;
  place.node->bytes = bytes;
}

bool FileExists(const std::string &path) {
  Place place = Locate(path);
  return !place.error && place.node && !place.node->folder;
}

bool FolderExists(const std::string &path) {
  Place place = Locate(path);
  return !place.error && place.node && place.node->folder;
}

std::string FileBytes(const std::string &path) {
  Place place = Locate(path);
  return (!place.error && place.node && !place.node->folder) ? place.node->bytes : "";
}

DWORD FileAttributes(const std::string &path) {
  Place place = Locate(path);
  return (!place.error && place.node) ? ReportedAttributes(*place.node) : INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string &path) {
  std::vector<std::string> names;
  Place place = Locate(path);
  if (place.error || !place.node || !place.node->folder) return names;
  for (const auto &child : place.node->children) names.push_back(child.second->name);
  return names;
}

void HoldOpen(const std::string &path, DWORD shareMode) {
  Place place = LocateForTest(path);
  if (!place.node) throw std::invalid_argument("nothing to hold open: " + path);
  fs().holds.push_back(std::unique_ptr<OpenFile>(new OpenFile{place.node, kRead | kWrite, shareMode, 0}));
  place.node->opens.push_back(fs().holds.back().get());
}

void ReleaseHold(const std::string &path) {
  Place place = LocateForTest(path);
  auto &holds = fs().holds;
  for (auto it = holds.begin(); it != holds.end();) {
    if (place.node && (*it)->node == place.node) {
      auto &opens = place.node->opens;
      opens.erase(std::remove(opens.begin(), opens.end(), it->get()), opens.end());
      it = holds.erase(it);
    } else {
      ++it;
    }
  }
}

void LockAttributes(const std::string &path) {
  Place place = LocateForTest(path);
  if (!place.node) throw std::invalid_argument("nothing to lock: " + path);
  place.node->lockedAttributes = true;
}

void MakeReparsePoint(const std::string &path) {
  Place place = LocateForTest(path);
  if (!place.node || !place.parent) throw std::invalid_argument("nothing to make a link of: " + path);
  place.node->reparsePoint = true;
}

void DenyWrites(const std::string &folder) {
  Place place = LocateForTest(folder);
  if (!place.node || !place.node->folder) throw std::invalid_argument("not a folder: " + folder);
  place.node->denyWrites = true;
}

// Kept as written, as SetCurrentDirectory keeps the caller's case: "X:\" at a root, else no
// trailing backslash.
void SetCurrentDirectory(const std::string &path) {
  if (!FolderExists(path)) throw std::invalid_argument("no such folder: " + path);
  ParsedPath parsed;
  ParsePath(path, &parsed);
  std::string text = parsed.driveText + ":\\";
  for (size_t i = 0; i < parsed.parts.size(); i++) text += (i ? "\\" : "") + parsed.parts[i];
  fs().currentDirectory = text;
}

int OpenFileCount(const std::string &path) {
  Place place = Locate(path);
  if (place.error || !place.node) return 0;
  int count = 0;
  for (const OpenFile *open : place.node->opens) {
    bool held = false;
    for (const auto &hold : fs().holds) held = held || hold.get() == open;
    if (!held) count++;
  }
  return count;
}

const std::vector<AttributeRequest> &AttributeRequests() { return fs().attributeRequests; }

}  // namespace sim

// ---- hive files for the registry ---------------------------------------------------------------
namespace sim_internal {

DWORD FsCreateNew(const std::string &path, const std::string &bytes) {
  if (path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  Place place = Locate(path);
  if (place.error) return place.error;
  if (!place.parent || place.node) return ERROR_ALREADY_EXISTS;
  if (place.trailingSeparator) return ERROR_INVALID_NAME;
  if (WritesDenied(place)) return ERROR_ACCESS_DENIED;
  CreateFileNode(place, 0, bytes);
  return 0;
}

DWORD FsWrite(const std::string &path, const std::string &bytes) {
  if (path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  Place place = Locate(path);
  if (place.error) return place.error;
  if (!place.parent || (place.node && place.node->folder)) return ERROR_ACCESS_DENIED;
  if (place.trailingSeparator) return ERROR_INVALID_NAME;
  if (WritesDenied(place)) return ERROR_ACCESS_DENIED;
  if (!place.node) {
    CreateFileNode(place, 0, bytes);
    return 0;
  }
  if (place.node->attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  if (ShareConflict(*place.node, kWrite, 0)) return ERROR_SHARING_VIOLATION;
  place.node->bytes = bytes;
  place.node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
  return 0;
}

DWORD FsRead(const std::string &path, std::string *bytes) {
  if (path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  Place place = Locate(path);
  if (DWORD error = ExistingLeaf(place)) return error;
  if (place.node->folder) return ERROR_ACCESS_DENIED;
  if (ShareConflict(*place.node, kRead, FILE_SHARE_READ)) return ERROR_SHARING_VIOLATION;
  *bytes = place.node->bytes;
  return 0;
}

DWORD FsDelete(const std::string &path) {
  if (path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  return DeleteLeaf(Locate(path));
}

// A file or a folder of that name.
bool FsExists(const std::string &path) {
  Place place = Locate(path);
  return !place.error && place.node;
}

void FsSetDescriptor(const std::string &path, const std::string &sddl) {
  Place place = Locate(path);
  if (!place.error && place.node) place.node->descriptor = sddl;
}

std::string FsDescriptor(const std::string &path) {
  Place place = Locate(path);
  return (!place.error && place.node) ? place.node->descriptor : "";
}

DWORD FsHoldBySystem(const std::string &path) {
  Place place = Locate(path);
  if (DWORD error = ExistingLeaf(place)) return error;
  fs().systemHolds.push_back(std::unique_ptr<OpenFile>(new OpenFile{place.node, kRead | kWrite, 0, 0}));
  place.node->opens.push_back(fs().systemHolds.back().get());
  return 0;
}

void FsReleaseSystemHolds() {
  for (auto &hold : fs().systemHolds) {
    auto &opens = hold->node->opens;
    opens.erase(std::remove(opens.begin(), opens.end(), hold.get()), opens.end());
  }
  fs().systemHolds.clear();
}

}  // namespace sim_internal

// ---- kernel32 ----------------------------------------------------------------------------------
DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  SIM_FAULT_LAST_ERROR("GetFileAttributesA", INVALID_FILE_ATTRIBUTES);
  Place place = LocateAnsi(lpFileName);
  if (DWORD error = ExistingLeaf(place)) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ReportedAttributes(*place.node);
}

// Only read-only, hidden, system and archive are kept (FILE_ATTRIBUTE_NORMAL or 0 clears them);
// a folder stays a folder.
BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  fs().attributeRequests.push_back(sim::AttributeRequest{lpFileName ? lpFileName : "", dwFileAttributes});
  SIM_FAULT_LAST_ERROR("SetFileAttributesA", FALSE);
  Place place = LocateAnsi(lpFileName);
  DWORD error = ExistingLeaf(place);
  if (!error && (place.node->lockedAttributes || WritesDenied(place))) error = ERROR_ACCESS_DENIED;
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  place.node->attributes = dwFileAttributes & kSettableAttributes;
  return TRUE;
}

// Lists "." and ".." first in every folder but a drive's root, then the matches in NTFS's order
// (by upper-cased name). The list is taken at this call, as Windows fills its buffer here.
HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  SIM_FAULT_LAST_ERROR("FindFirstFileA", INVALID_HANDLE_VALUE);
  Place place = LocateAnsi(lpFileName, true);
  DWORD error = place.error;
  // A name ending in a backslash (a drive's root among them) leaves nothing to search for.
  if (!error && (!place.parent || place.trailingSeparator)) {
    error = (place.node && place.node->folder) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  }
  if (!error && !lpFindFileData) error = ERROR_INVALID_PARAMETER;
  auto *search = new FindState;
  if (!error) {
    const Node &folder = *place.parent;
    if (place.folders.size() > 1) {
      const Node &above = *place.folders[place.folders.size() - 2];
      if (MatchMask(place.leaf, ".")) search->entries.push_back(FindEntry(".", ReportedAttributes(folder), 0));
      if (MatchMask(place.leaf, "..")) search->entries.push_back(FindEntry("..", ReportedAttributes(above), 0));
    }
    for (const auto &child : folder.children) {
      const Node &node = *child.second;
      if (MatchMask(place.leaf, node.name)) {
        search->entries.push_back(FindEntry(node.name, ReportedAttributes(node), node.bytes.size()));
      }
    }
    if (search->entries.empty()) error = ERROR_FILE_NOT_FOUND;
  }
  if (error) {
    delete search;
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  *lpFindFileData = search->entries[search->next++];
  return sim_internal::NewHandle(sim_internal::Kind::Find, search, CloseFind);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  SIM_FAULT_LAST_ERROR("FindNextFileA", FALSE);
  auto *search = static_cast<FindState *>(sim_internal::HandleObject(hFindFile, sim_internal::Kind::Find));
  if (!search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (search->next >= search->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *lpFindFileData = search->entries[search->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  SIM_FAULT_LAST_ERROR("FindClose", FALSE);
  if (!sim_internal::DropHandle(hFindFile, sim_internal::Kind::Find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  SIM_FAULT_LAST_ERROR("DeleteFileA", FALSE);
  sim_internal::Log(std::string("DeleteFileA ") + (lpFileName ? lpFileName : ""));
  if (DWORD error = DeleteLeaf(LocateAnsi(lpFileName))) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

// A folder goes only when it is empty; a file is no directory (267), a drive's root cannot go.
BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  SIM_FAULT_LAST_ERROR("RemoveDirectoryA", FALSE);
  sim_internal::Log(std::string("RemoveDirectoryA ") + (lpPathName ? lpPathName : ""));
  Place place = LocateAnsi(lpPathName);
  DWORD error = ExistingLeaf(place);
  if (!error && !place.node->folder) error = ERROR_DIRECTORY;
  if (!error && !place.parent) error = ERROR_ACCESS_DENIED;
  // A junction goes as a link, whatever its target holds.
  if (!error && !place.node->reparsePoint && !place.node->children.empty()) error = ERROR_DIR_NOT_EMPTY;
  if (!error && (WritesDenied(place) || place.node->denyWrites ||
                 (place.node->attributes & FILE_ATTRIBUTE_READONLY))) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  place.parent->children.erase(NameKey(place.leaf));
  return TRUE;
}

// Opens the source for reading (sharing everything) and the target for writing (sharing read and
// write); the copy gets the source's attributes plus archive. A copy onto the source itself is a
// sharing violation.
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  SIM_FAULT_LAST_ERROR("CopyFileA", FALSE);
  sim_internal::Log(std::string("CopyFileA ") + (lpExistingFileName ? lpExistingFileName : "") + " " +
            (lpNewFileName ? lpNewFileName : ""));
  DWORD error = 0;
  std::shared_ptr<Node> source;
  Place target;
  if (!lpExistingFileName || !lpNewFileName) {
    error = ERROR_INVALID_PARAMETER;
  } else if (strlen(lpExistingFileName) >= MAX_PATH || strlen(lpNewFileName) >= MAX_PATH) {
    error = ERROR_FILENAME_EXCED_RANGE;
  }
  if (!error) {
    Place from = LocateAnsi(lpExistingFileName);
    error = ExistingLeaf(from);
    if (!error && from.node->folder) error = ERROR_ACCESS_DENIED;
    if (!error && ShareConflict(*from.node, kRead, kShareAll)) error = ERROR_SHARING_VIOLATION;
    source = from.node;
  }
  if (!error) {
    target = LocateAnsi(lpNewFileName);
    error = target.error;
    if (!error && (!target.parent || (target.trailingSeparator && target.node && target.node->folder))) {
      error = ERROR_ACCESS_DENIED;  // a folder
    } else if (!error && target.trailingSeparator) {
      error = ERROR_INVALID_NAME;
    }
  }
  if (!error && target.node) {
    const Node &old = *target.node;
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (bFailIfExists) {
      error = ERROR_FILE_EXISTS;  // the target is created new: any name already there, a folder too
    } else if (old.folder) {
      error = ERROR_ACCESS_DENIED;
    } else if (target.node == source) {
      error = ERROR_SHARING_VIOLATION;
    } else if (WritesDenied(target) || (old.attributes & FILE_ATTRIBUTE_READONLY) ||
               (old.attributes & hiddenSystem & ~source->attributes)) {
      error = ERROR_ACCESS_DENIED;  // an overwrite must repeat a hidden or system attribute
    } else if (ShareConflict(old, kWrite, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
      error = ERROR_SHARING_VIOLATION;
    }
  } else if (!error && WritesDenied(target)) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  if (!target.node) target.node = CreateFileNode(target, 0, "");
  target.node->bytes = source->bytes;
  target.node->attributes = source->attributes | FILE_ATTRIBUTE_ARCHIVE;
  SetLastError(0);
  return TRUE;
}

// Renames a file, within one drive. With MOVEFILE_REPLACE_EXISTING an existing target file goes,
// unless it is read-only, a folder or open (the rename must delete it: ERROR_ACCESS_DENIED); the
// moved file keeps its attributes, content and security. A folder is renamed without
// MOVEFILE_REPLACE_EXISTING only, and not while a file below it is open (NTFS refuses with
// ERROR_ACCESS_DENIED). Moving a folder into itself and copies across drives
// (MOVEFILE_COPY_ALLOWED) are not modelled.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  SIM_FAULT_LAST_ERROR("MoveFileExA", FALSE);
  sim_internal::Log(std::string("MoveFileExA ") + (lpExistingFileName ? lpExistingFileName : "") + " " +
            (lpNewFileName ? lpNewFileName : "") + " " + std::to_string(dwFlags));
  const DWORD kReplaceExisting = 1, kWriteThrough = 8;
  DWORD error = 0;
  Place from, to;
  if (!lpExistingFileName || !lpNewFileName) {
    error = ERROR_INVALID_PARAMETER;
  } else if (dwFlags & ~(kReplaceExisting | kWriteThrough)) {
    error = kErrorCallNotImplemented;
  }
  if (!error) {
    from = LocateAnsi(lpExistingFileName);
    error = ExistingLeaf(from);
    if (!error && (!from.parent || from.node->reparsePoint ||
                   (from.node->folder && (dwFlags & kReplaceExisting)))) {
      error = kErrorCallNotImplemented;
    }
  }
  if (!error) {
    to = LocateAnsi(lpNewFileName);
    error = to.error;
    if (!error && (!to.parent || to.trailingSeparator)) error = ERROR_INVALID_NAME;
  }
  if (!error && from.folders.front() != to.folders.front()) error = kErrorNotSameDevice;
  if (!error && from.node->folder &&
      std::find(to.folders.begin(), to.folders.end(), from.node.get()) != to.folders.end()) {
    error = kErrorCallNotImplemented;
  }
  if (!error && from.node->folder && !(to.node && to.node != from.node) && OpenBelow(*from.node)) {
    error = ERROR_ACCESS_DENIED;
  }
  if (!error && (WritesDenied(from) || WritesDenied(to))) error = ERROR_ACCESS_DENIED;
  if (!error && ShareConflict(*from.node, kDelete, kShareAll)) error = ERROR_SHARING_VIOLATION;
  const bool sameFile = !error && to.node == from.node;
  if (!error && to.node && !sameFile) {
    if (!(dwFlags & kReplaceExisting)) {
      error = ERROR_ALREADY_EXISTS;
    } else if (to.node->folder || (to.node->attributes & FILE_ATTRIBUTE_READONLY) ||
               !to.node->opens.empty()) {
      error = ERROR_ACCESS_DENIED;
    }
  }
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  std::shared_ptr<Node> node = from.node;
  from.parent->children.erase(NameKey(from.leaf));
  to.parent->children.erase(NameKey(to.leaf));
  node->name = to.leaf;
  to.parent->children[NameKey(to.leaf)] = node;
  return TRUE;
}

// Synchronous reads only, from the file pointer; at the end of the file 0 bytes and TRUE.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, void *lpOverlapped) {
  SIM_FAULT_LAST_ERROR("ReadFile", FALSE);
  auto *open = static_cast<OpenFile *>(sim_internal::HandleObject(hFile, sim_internal::Kind::File));
  DWORD error = 0;
  if (lpOverlapped) {
    error = kErrorCallNotImplemented;
  } else if (!lpNumberOfBytesRead) {
    error = ERROR_INVALID_PARAMETER;
  } else {
    *lpNumberOfBytesRead = 0;
    if (!open) {
      error = ERROR_INVALID_HANDLE;
    } else if (!(open->access & kRead)) {
      error = ERROR_ACCESS_DENIED;
    } else if (!lpBuffer && nNumberOfBytesToRead) {
      error = kErrorInvalidUserBuffer;
    }
  }
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  const std::string &bytes = open->node->bytes;
  const size_t start = std::min(static_cast<size_t>(open->position), bytes.size());
  const size_t count = std::min(static_cast<size_t>(nNumberOfBytesToRead), bytes.size() - start);
  if (count) memcpy(lpBuffer, bytes.data() + start, count);
  open->position = start + count;
  *lpNumberOfBytesRead = static_cast<DWORD>(count);
  return TRUE;
}

// One level only. The ANSI call leaves room for an 8.3 file name: MAX_PATH - 12 characters at most.
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  (void)lpSecurityAttributes;
  SIM_FAULT_LAST_ERROR("CreateDirectoryA", FALSE);
  Place place = LocateAnsi(lpPathName);
  DWORD error = place.error;
  if (!error && strlen(lpPathName) > MAX_PATH - 12) error = ERROR_FILENAME_EXCED_RANGE;
  if (!error && (!place.parent || place.node)) error = ERROR_ALREADY_EXISTS;
  if (!error && WritesDenied(place)) error = ERROR_ACCESS_DENIED;
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  AddChild(place.parent, place.leaf, true);
  return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)lpSecurityAttributes;
  (void)hTemplateFile;
  SIM_FAULT_LAST_ERROR("CreateFileA", INVALID_HANDLE_VALUE);
  const DWORD modelledAttributes = kSettableAttributes | FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE;
  const bool deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  DWORD error = 0;
  if (lpFileName && strlen(lpFileName) >= MAX_PATH) {
    error = ERROR_FILENAME_EXCED_RANGE;
  } else if (!lpFileName || !*lpFileName) {
    error = ERROR_PATH_NOT_FOUND;
  } else if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
             (dwShareMode & ~kShareAll)) {
    error = ERROR_INVALID_PARAMETER;
  } else if ((dwDesiredAccess & ~(GENERIC_READ | GENERIC_WRITE)) ||
             (dwFlagsAndAttributes & ~modelledAttributes)) {
    error = kErrorCallNotImplemented;
  } else if (dwCreationDisposition == TRUNCATE_EXISTING && !(dwDesiredAccess & GENERIC_WRITE)) {
    error = ERROR_INVALID_PARAMETER;
  }
  Place place;
  if (!error) {
    place = LocateAnsi(lpFileName);
    error = place.error;
    if (!error && (!place.parent || place.trailingSeparator)) {
      error = (place.node && place.node->folder) ? ERROR_ACCESS_DENIED : ERROR_INVALID_NAME;
    }
  }
  // FILE_FLAG_DELETE_ON_CLOSE asks for DELETE access too (kernelbase adds it).
  const DWORD access = ((dwDesiredAccess & GENERIC_READ) ? kRead : 0) |
                       ((dwDesiredAccess & GENERIC_WRITE) ? kWrite : 0) | (deleteOnClose ? kDelete : 0);
  const bool exists = !error && place.node;
  const bool overwrite = dwCreationDisposition == CREATE_ALWAYS ||
                         dwCreationDisposition == TRUNCATE_EXISTING;
  if (exists) {
    const Node &node = *place.node;
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (node.reparsePoint) {
      error = kErrorCallNotImplemented;  // opening follows the link: not modelled
    } else if (node.deletePending) {
      error = ERROR_ACCESS_DENIED;  // STATUS_DELETE_PENDING, also for CREATE_NEW
    } else if (node.folder) {
      error = ERROR_ACCESS_DENIED;
    } else if (dwCreationDisposition == CREATE_NEW) {
      error = ERROR_FILE_EXISTS;
    } else if ((access & kDelete) &&
               (WritesDenied(place) || (node.attributes & FILE_ATTRIBUTE_READONLY))) {
      error = ERROR_ACCESS_DENIED;
    } else if ((access & kWrite) &&
               (WritesDenied(place) || (node.attributes & FILE_ATTRIBUTE_READONLY))) {
      error = ERROR_ACCESS_DENIED;
    } else if (ShareConflict(node, access, dwShareMode)) {
      error = ERROR_SHARING_VIOLATION;
    } else if (overwrite && (node.attributes & hiddenSystem & ~dwFlagsAndAttributes)) {
      error = ERROR_ACCESS_DENIED;  // an overwrite must repeat a hidden or system attribute
    }
  } else if (!error) {
    if (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING) {
      error = ERROR_FILE_NOT_FOUND;
    } else if (WritesDenied(place)) {
      error = ERROR_ACCESS_DENIED;
    }
  }
  if (error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (!exists) {
    place.node = CreateFileNode(place, dwFlagsAndAttributes, "");
  } else if (overwrite) {
    place.node->bytes.clear();
    place.node->attributes = (dwFlagsAndAttributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
  }
  const bool reported = exists && (dwCreationDisposition == CREATE_ALWAYS ||
                                   dwCreationDisposition == OPEN_ALWAYS);
  SetLastError(reported ? ERROR_ALREADY_EXISTS : 0);
  HANDLE handle = NewOpen(place.node, access, dwShareMode);
  if (deleteOnClose) static_cast<OpenFile *>(sim_internal::HandleObject(handle, sim_internal::Kind::File))->deleteOnClose = true;
  return handle;
}

// Synchronous writes only; the bytes go at the file pointer, which moves past them.
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, void *lpOverlapped) {
  SIM_FAULT_LAST_ERROR("WriteFile", FALSE);
  // The process's redirected standard output (a pipe or file of the parent's).
  if (lpNumberOfBytesWritten && !lpOverlapped && sim_internal::StdStreamWrite(hFile, lpBuffer, nNumberOfBytesToWrite)) {
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
  }
  auto *open = static_cast<OpenFile *>(sim_internal::HandleObject(hFile, sim_internal::Kind::File));
  DWORD error = 0;
  if (lpOverlapped) {
    error = kErrorCallNotImplemented;
  } else if (!lpNumberOfBytesWritten) {
    error = ERROR_INVALID_PARAMETER;
  } else {
    *lpNumberOfBytesWritten = 0;
    if (!open) {
      error = ERROR_INVALID_HANDLE;
    } else if (!(open->access & kWrite)) {
      error = ERROR_ACCESS_DENIED;
    } else if (!lpBuffer && nNumberOfBytesToWrite) {
      error = kErrorInvalidUserBuffer;
    }
  }
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  std::string &bytes = open->node->bytes;
  const size_t end = static_cast<size_t>(open->position) + nNumberOfBytesToWrite;
  if (bytes.size() < end) bytes.resize(end, '\0');
  if (nNumberOfBytesToWrite) bytes.replace(static_cast<size_t>(open->position), nNumberOfBytesToWrite,
                                           static_cast<const char *>(lpBuffer), nNumberOfBytesToWrite);
  open->position = end;
  open->node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
  *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  SIM_FAULT_LAST_ERROR("SetFilePointer", INVALID_SET_FILE_POINTER);
  auto *open = static_cast<OpenFile *>(sim_internal::HandleObject(hFile, sim_internal::Kind::File));
  int64_t distance = lDistanceToMove;
  if (lpDistanceToMoveHigh) {
    distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                    static_cast<uint32_t>(lDistanceToMove));
  }
  DWORD error = 0;
  int64_t position = 0;
  if (!open) {
    error = ERROR_INVALID_HANDLE;
  } else if (dwMoveMethod == FILE_BEGIN) {
    position = distance;
  } else if (dwMoveMethod == FILE_CURRENT) {
    position = static_cast<int64_t>(open->position) + distance;
  } else if (dwMoveMethod == FILE_END) {
    position = static_cast<int64_t>(open->node->bytes.size()) + distance;
  } else {
    error = ERROR_INVALID_PARAMETER;
  }
  if (!error && position < 0) error = kErrorNegativeSeek;
  if (error) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  open->position = static_cast<uint64_t>(position);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(open->position >> 32);
  const DWORD low = static_cast<DWORD>(open->position);
  // A low part that looks like the failure value is told apart by a last error of 0.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(0);
  return low;
}

// Cuts or extends (with zero bytes) the file at the file pointer.
BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  SIM_FAULT_LAST_ERROR("SetEndOfFile", FALSE);
  auto *open = static_cast<OpenFile *>(sim_internal::HandleObject(hFile, sim_internal::Kind::File));
  DWORD error = !open ? ERROR_INVALID_HANDLE : !(open->access & kWrite) ? ERROR_ACCESS_DENIED : 0;
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  open->node->bytes.resize(static_cast<size_t>(open->position), '\0');
  return TRUE;
}

// The simulated disk has no cache: a flush only checks its handle, which must be a file's with
// write access (GENERIC_WRITE), as NtFlushBuffersFile asks.
BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  SIM_FAULT_LAST_ERROR("FlushFileBuffers", FALSE);
  auto *open = static_cast<OpenFile *>(sim_internal::HandleObject(hFile, sim_internal::Kind::File));
  const DWORD error = !open ? ERROR_INVALID_HANDLE : !(open->access & kWrite) ? ERROR_ACCESS_DENIED : 0;
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  sim_internal::Log("FlushFileBuffers");
  return TRUE;
}

// The length without the NUL; when the buffer is too small, the size it needs with the NUL.
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  SIM_FAULT_LAST_ERROR("GetCurrentDirectoryA", 0);
  // A character the code page lacks comes out best-fitted, as Windows converts it.
  const std::string cwd = sim_internal::AnsiFromName(fs().currentDirectory);
  const DWORD length = static_cast<DWORD>(cwd.size());
  if (!lpBuffer || nBufferLength < length + 1) return length + 1;
  memcpy(lpBuffer, cwd.c_str(), length + 1);
  return length;
}

// In WCHARs; as GetCurrentDirectoryA otherwise.
DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
  SIM_FAULT_LAST_ERROR("GetCurrentDirectoryW", 0);
  const std::u16string cwd = sim_internal::WideFromName(fs().currentDirectory);
  const DWORD length = static_cast<DWORD>(cwd.size());
  if (!lpBuffer || nBufferLength < length + 1) return length + 1;
  std::copy(cwd.begin(), cwd.end(), lpBuffer);
  lpBuffer[length] = 0;
  return length;
}

// The full path as Win32 makes it, from the text alone (nothing need exist): "/" is "\", "." and
// ".." go, the last component loses its trailing dots and blanks, a trailing backslash stays; a
// drive alone ("X:") is that drive's current directory with a trailing backslash.
// "X:name" on another drive than the current directory's lies at X's root (the "=X:" variables of
// cmd are not modelled). UNC and device paths ("\\server\share", "\\?\") are not modelled. Returns
// the length without the NUL; when the buffer is too small, the size it needs with the NUL.
DWORD WINAPI GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR *lpFilePart) {
  SIM_FAULT_LAST_ERROR("GetFullPathNameW", 0);
  std::u16string input;
  for (const WCHAR *at = lpFileName; at && *at; at++) input.push_back(static_cast<char16_t>(*at));
  const std::string name = sim::FsName(input);
  ParsedPath parsed;
  DWORD error = 0;
  if (!lpFileName || name.empty() || (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]))) {
    error = kErrorCallNotImplemented;
  } else {
    error = ParsePath(name, &parsed);
  }
  if (error) {
    SetLastError(error);
    return 0;
  }
  // A drive alone names its current directory, which comes with its backslash (as Wine gives it).
  if (name.size() == 2 && name[1] == ':') parsed.trailingSeparator = true;
  if (!parsed.trailingSeparator && !parsed.parts.empty()) {
    std::string &last = parsed.parts.back();
    last.erase(last.find_last_not_of(". ") + 1);
    if (last.empty()) parsed.parts.pop_back();
  }
  std::string full = parsed.driveText + ":\\";
  for (size_t i = 0; i < parsed.parts.size(); i++) full += (i ? "\\" : "") + parsed.parts[i];
  if (parsed.trailingSeparator && !parsed.parts.empty()) full += "\\";
  const std::u16string wide = sim_internal::WideFromName(full);
  const DWORD length = static_cast<DWORD>(wide.size());
  if (!lpBuffer || nBufferLength < length + 1) return length + 1;
  std::copy(wide.begin(), wide.end(), lpBuffer);
  lpBuffer[length] = 0;
  if (lpFilePart) {
    const size_t cut = wide.find_last_of(u'\\');
    *lpFilePart = cut + 1 < wide.size() ? lpBuffer + cut + 1 : nullptr;
  }
  return length;
}

// "c:" gives the drive's device name list, "\Device\HarddiskVolume1\0\0", and the number of
// characters stored including both NULs.
DWORD WINAPI QueryDosDeviceA(LPCSTR lpDeviceName, LPSTR lpTargetPath, DWORD ucchMax) {
  SIM_FAULT_LAST_ERROR("QueryDosDeviceA", 0);
  if (!lpDeviceName) {  // the list of every device name is not modelled
    SetLastError(kErrorCallNotImplemented);
    return 0;
  }
  const std::string name = lpDeviceName;
  const auto drive = (name.size() == 2 && name[1] == ':' && IsDriveLetter(name[0]))
                         ? fs().drives.find(UpperChar(name[0]))
                         : fs().drives.end();
  if (drive == fs().drives.end()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const std::string &device = drive->second.device;
  const DWORD needed = static_cast<DWORD>(device.size()) + 2;
  if (!lpTargetPath || ucchMax < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(lpTargetPath, device.c_str(), device.size());
  lpTargetPath[device.size()] = '\0';
  lpTargetPath[device.size() + 1] = '\0';
  return needed;
}
