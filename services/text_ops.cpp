// Shared text and file operations: file delete, copy, folder creation, attribute change, the
// line-by-line text file, current folder, environment lookup, date text and the small text helpers.
#include "services/text_ops.h"

#include <cstring>
#include <vector>

namespace {

// The environment block as it was read at start.
std::vector<std::string> g_environment;
bool g_environmentRead = false;

const DWORD kChangeableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
const DWORD kVolumeLabel = 0x08;  // DOS's volume label bit; the Windows SDK no longer names it
const DWORD kPassedOver =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kVolumeLabel | FILE_ATTRIBUTE_DIRECTORY;

// Path buffers of the file operations, terminator included.
const size_t kDeleteCopyBuffer = 257;
const size_t kOpenAttributeFolderBuffer = 256;

const int kBadFileName = 64;
const int kFileNotOpen = 52;
const int kFileAlreadyOpen = 55;
const int kShortWrite = 61;

bool HasWildcards(const std::string &name) { return name.find_first_of("*?") != std::string::npos; }

int LastErrorNumber() { return ErrorNumber(GetLastError()); }

char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int ErrorNumber(DWORD osCode) {
  struct Row {
    DWORD first, last;
    int number;
  };
  static const Row kTable[] = {
      {2, 2, 53},   {18, 18, 53},  {3, 3, 76},    {5, 5, 70},    {19, 19, 70},  {32, 33, 70},
      {36, 36, 70}, {1, 1, 75},    {16, 16, 75},  {35, 35, 75},  {37, 37, 75},  {4, 4, 67},
      {6, 6, 51},   {11, 13, 51},  {22, 22, 51},  {24, 24, 51},  {8, 8, 7},     {14, 14, 7},
      {15, 15, 68}, {20, 20, 68},  {17, 17, 74},  {21, 21, 71},  {23, 23, 72},  {25, 31, 72},
      {34, 34, 72}, {38, 38, 62},  {39, 39, 61},  {112, 112, 61}, {7, 7, 241},  {9, 10, 241},
  };
  for (const Row &row : kTable) {
    if (osCode >= row.first && osCode <= row.last) return row.number;
  }
  return 75;
}

// A text with a NUL inside would also reach the system cut, at the NUL.
bool FitsBuffer(const std::string &text, size_t bytes) {
  return text.size() < bytes && text.find('\0') == std::string::npos;
}

// Removes every plain file that the name matches, in the order the search lists them, up to the
// first that cannot be removed; hidden and system files, volume labels and folders are passed over.
int DeleteFiles(const std::string &name) {
  if (name.empty()) return 0;
  if (!FitsBuffer(name, kDeleteCopyBuffer)) return ErrorNumber(ERROR_FILENAME_EXCED_RANGE);
  std::string pattern = name;
  if (pattern.back() == '\\' || pattern.back() == ':') pattern += "*.*";
  const std::string folder = pattern.substr(0, pattern.find_last_of("\\:") + 1);

  WIN32_FIND_DATAA match;
  HANDLE search = FindFirstFileA(pattern.c_str(), &match);
  if (search == INVALID_HANDLE_VALUE) return LastErrorNumber();
  int result = 0;
  do {
    if (match.dwFileAttributes & kPassedOver) continue;
    if (!DeleteFileA((folder + match.cFileName).c_str())) {
      result = LastErrorNumber();
      break;
    }
  } while (FindNextFileA(search, &match));
  FindClose(search);
  return result;
}

// On failure the last error holds the operating system's code (206 for a refused long path), for
// callers that report it.
int CopyFileOver(const std::string &source, const std::string &target) {
  if (!FitsBuffer(source, kDeleteCopyBuffer) || !FitsBuffer(target, kDeleteCopyBuffer)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return ErrorNumber(ERROR_FILENAME_EXCED_RANGE);
  }
  return CopyFileA(source.c_str(), target.c_str(), FALSE) ? 0 : LastErrorNumber();
}

int CreateFolder(const std::string &folder) {
  if (!FitsBuffer(folder, kOpenAttributeFolderBuffer)) return ErrorNumber(ERROR_FILENAME_EXCED_RANGE);
  return CreateDirectoryA(folder.c_str(), nullptr) ? 0 : LastErrorNumber();
}

int SetAttributes(const std::string &name, DWORD attributes) {
  if (HasWildcards(name)) return kBadFileName;
  if (!FitsBuffer(name, kOpenAttributeFolderBuffer)) return ErrorNumber(ERROR_FILENAME_EXCED_RANGE);
  return SetFileAttributesA(name.c_str(), attributes & kChangeableAttributes) ? 0 : LastErrorNumber();
}

// Creates the file or empties an existing one. When the cut to length 0 fails the file stays
// open all the same: the close cuts it behind the last line written.
int TextFileOpen(TextFile &file, const std::string &name) {
  if (file.handle != INVALID_HANDLE_VALUE) return kFileAlreadyOpen;
  if (name.empty() || HasWildcards(name)) return kBadFileName;
  if (!FitsBuffer(name, kOpenAttributeFolderBuffer)) return ErrorNumber(ERROR_FILENAME_EXCED_RANGE);
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrorNumber();
  file.handle = handle;
  if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(handle)) {
    return LastErrorNumber();
  }
  return 0;
}

int TextFileWriteLine(TextFile &file, const std::string &text) {
  if (file.handle == INVALID_HANDLE_VALUE) return kFileNotOpen;
  const std::string line = text + "\r\n";
  DWORD written = 0;
  if (!WriteFile(file.handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    return LastErrorNumber();
  }
  return written < line.size() ? kShortWrite : 0;
}

int TextFileClose(TextFile &file) {
  if (file.handle == INVALID_HANDLE_VALUE) return 0;
  int result = SetEndOfFile(file.handle) ? 0 : LastErrorNumber();
  if (!CloseHandle(file.handle) && result == 0) result = LastErrorNumber();
  file.handle = INVALID_HANDLE_VALUE;
  return result;
}

std::string CurrentFolder() {
  char buffer[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return "";
  return std::string(buffer, length);
}

void ReadEnvironmentBlock() {
  g_environment.clear();
  g_environmentRead = true;
  LPSTR block = GetEnvironmentStringsA();
  if (!block) return;
  for (const char *entry = block; *entry; entry += strlen(entry) + 1) g_environment.push_back(entry);
  FreeEnvironmentStringsA(block);
}

// The name matches an entry's name part with a-z folded to upper case; the name part ends at "=",
// a blank or the end of the entry, and the value is what follows that one character.
std::string EnvironmentValue(const std::string &name) {
  if (!g_environmentRead) ReadEnvironmentBlock();
  if (!FitsBuffer(name, kDeleteCopyBuffer)) return "";
  for (const std::string &entry : g_environment) {
    if (entry.size() < name.size()) continue;
    bool same = true;
    for (size_t i = 0; same && i < name.size(); i++) same = FoldUpper(entry[i]) == FoldUpper(name[i]);
    if (!same) continue;
    if (entry.size() == name.size()) return "";
    if (entry[name.size()] == '=' || entry[name.size()] == ' ') return entry.substr(name.size() + 1);
  }
  return "";
}

// Decimal digits of a number, with leading zeros up to the given width (no printf: the program's
// one formatted text does not need its engine).
static std::string Digits(unsigned number, size_t width) {
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + number % 10));
    number /= 10;
  } while (number != 0);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string DateText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Digits(now.wMonth, 2) + "-" + Digits(now.wDay, 2) + "-" + Digits(now.wYear, 4);
}

// A-Z, and the capitals Ç Ä Å É Ö Ü Ñ of code page 437; the Windows-1252 capitals stay.
std::string LowerCase(const std::string &text) {
  std::string out = text;
  for (char &c : out) {
    switch (static_cast<unsigned char>(c)) {
      case 0x80: c = '\x87'; break;
      case 0x8E: c = '\x84'; break;
      case 0x8F: c = '\x86'; break;
      case 0x90: c = '\x82'; break;
      case 0x99: c = '\x94'; break;
      case 0x9A: c = '\x81'; break;
      case 0xA5: c = '\xA4'; break;
      default:
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

int SearchText(int start, const std::string &text, const std::string &find) {
  if (find.empty()) return start;
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return 0;
  const size_t at = text.find(find, static_cast<size_t>(start - 1));
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string ReplaceText(const std::string &find, const std::string &replacement,
                        const std::string &text) {
  if (find.empty()) return text;
  std::string out;
  size_t from = 0;
  for (size_t at = text.find(find); at != std::string::npos; at = text.find(find, from)) {
    out.append(text, from, at - from);
    out += replacement;
    from = at + find.size();
  }
  out.append(text, from, std::string::npos);
  return out;
}

std::string NumberText(long number) {
  return (number >= 0 ? " " : "") + std::to_string(number);
}
