// File operations: existence test, forced delete, delete by pattern, copy, folder creation,
// attribute change, the line-by-line text file, and plain file names.
#include "services/file_helpers.h"

#include <cstring>

#include "services/handles.h"
#include "services/text_ops.h"

namespace {

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

// Removes every plain file that the name matches, in the order the search lists them, up to the
// first that cannot be removed; hidden and system files, volume labels and folders are passed over.
int DeleteFiles(const std::string &name) {
  if (name.empty()) return 0;
  if (!FitsBuffer(name, kDeleteCopyBuffer)) return ErrorNumber(ERROR_FILENAME_EXCED_RANGE);
  std::string pattern = name;
  if (pattern.back() == '\\' || pattern.back() == ':') pattern += "*.*";
  const std::string folder = pattern.substr(0, pattern.find_last_of("\\:") + 1);

  WIN32_FIND_DATAA match;
  SearchOwner search(FindFirstFileA(pattern.c_str(), &match));
  if (!search) return LastErrorNumber();
  int result = 0;
  do {
    if (match.dwFileAttributes & kPassedOver) continue;
    if (!DeleteFileA((folder + match.cFileName).c_str())) {
      result = LastErrorNumber();
      break;
    }
  } while (FindNextFileA(search.Get(), &match));
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

bool MakeWritable(const std::string &path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
  return SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) != FALSE;
}

namespace {

// Keeps the first failure of a text file: its code and the call. Returns the error number.
int TextFileFailed(TextFile &file, DWORD code, const char *call) {
  if (file.error == 0) {
    file.error = code;
    file.failedCall = call;
  }
  return ErrorNumber(code);
}

}  // namespace

// Creates the file or empties an existing one. When the cut to length 0 fails the file stays
// open all the same: the close cuts it behind the last line written.
int TextFileOpen(TextFile &file, const std::string &name) {
  if (file.handle != INVALID_HANDLE_VALUE) return kFileAlreadyOpen;
  file.error = 0;
  file.failedCall = "";
  if (name.empty() || HasWildcards(name)) {
    TextFileFailed(file, ERROR_INVALID_NAME, "CreateFile");
    return kBadFileName;
  }
  if (!FitsBuffer(name, kOpenAttributeFolderBuffer)) {
    return TextFileFailed(file, ERROR_FILENAME_EXCED_RANGE, "CreateFile");
  }
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return TextFileFailed(file, GetLastError(), "CreateFile");
  file.handle = handle;
  if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(handle)) {
    return TextFileFailed(file, GetLastError(), "SetEndOfFile");
  }
  return 0;
}

int TextFileWriteLine(TextFile &file, const std::string &text) {
  if (file.handle == INVALID_HANDLE_VALUE) return kFileNotOpen;
  const std::string line = text + "\r\n";
  DWORD written = 0;
  if (!WriteFile(file.handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    return TextFileFailed(file, GetLastError(), "WriteFile");
  }
  if (written < line.size()) {
    TextFileFailed(file, ERROR_HANDLE_DISK_FULL, "WriteFile");
    return kShortWrite;
  }
  return 0;
}

TextFile::~TextFile() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

int TextFileClose(TextFile &file) {
  if (file.handle == INVALID_HANDLE_VALUE) return 0;
  int result = SetEndOfFile(file.handle) ? 0 : TextFileFailed(file, GetLastError(), "SetEndOfFile");
  if (!CloseHandle(file.handle) && result == 0) result = TextFileFailed(file, GetLastError(), "CloseHandle");
  file.handle = INVALID_HANDLE_VALUE;
  return result;
}

// A path too long for the 261-byte buffer is not tested at all: cut, it would name another file.
int16_t PathExists(const std::string &path) {
  if (!FitsBuffer(path, MAX_PATH + 1)) return 0;
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}

// Clears the attributes first so that a read-only, hidden or system file goes too; when they
// cannot be cleared, nothing is deleted.
int16_t ForceDelete(const std::string &path) {
  if (PathExists(path) != 1) return 53;
  int result = SetAttributes(path, 0);
  if (result == 0) result = DeleteFiles(path);
  return static_cast<int16_t>(result);
}

namespace {

// The device names live in every folder. Windows also takes the superscript digits of the code
// page (\xB9 \xB2 \xB3: ¹ ² ³) as COM and LPT numbers, and a device name stays one before an
// extension and before trailing blanks ("nul .txt").
bool IsDeviceName(const std::string &name) {
  std::string base = name.substr(0, name.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  for (const char *device : {"CON", "PRN", "AUX", "NUL"}) {
    if (SameNameNoCase(base, device)) return true;
  }
  if (base.size() != 4 || (!SameNameNoCase(base.substr(0, 3), "COM") && !SameNameNoCase(base.substr(0, 3), "LPT"))) {
    return false;
  }
  const char digit = base[3];
  return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
}

}  // namespace

bool IsPlainFileName(const std::string &name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name) {
    if (c < 0x20 || strchr("\\/:*?\"<>|", c)) return false;
  }
  // A "~" may make it the short (8.3) alias of another file: CONSOL~1.BAT is ConsoleBackup.bat.
  if (name.find('~') != std::string::npos) return false;
  return !IsDeviceName(name);
}

bool IsPlainFullPath(const std::string &path) {
  const bool drive = path.size() >= 4 && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  if (!drive || path[1] != ':' || path[2] != '\\') return false;
  size_t start = 3;
  while (true) {
    const size_t end = path.find('\\', start);
    if (!IsPlainFileName(path.substr(start, end == std::string::npos ? end : end - start))) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}
