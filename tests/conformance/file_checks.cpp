// Files and folders: creating, copying and deleting with read-only files and sharing, attributes,
// FindFirstFileA's masks in the DOS sense, path length limits, trailing dots and blanks, and
// Windows-1252 letters in names.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"

namespace conf {
namespace {

bool PutFile(const std::string &path, const char *bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL wrote = WriteFile(file, bytes, static_cast<DWORD>(strlen(bytes)), &written, nullptr);
  CloseHandle(file);
  return wrote && written == strlen(bytes);
}

DWORD Attributes(const std::string &path, DWORD *error) {
  SetLastError(0xdeadbeef);
  DWORD attributes = GetFileAttributesA(path.c_str());
  *error = GetLastError();
  return attributes;
}

// The names a search finds, sorted, without "." and ".."; empty when it fails with 2.
std::string Search(const std::string &mask, DWORD *error) {
  WIN32_FIND_DATAA data;
  memset(&data, 0x55, sizeof data);
  SetLastError(0xdeadbeef);
  HANDLE search = FindFirstFileA(mask.c_str(), &data);
  *error = search == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  std::vector<std::string> names;
  if (search == INVALID_HANDLE_VALUE) return "";
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) *error = GetLastError();
  FindClose(search);
  std::sort(names.begin(), names.end());
  std::string list;
  for (const auto &name : names) list += (list.empty() ? "" : " ") + name;
  return list;
}

void CheckFolders(const std::string &root) {
  const std::string folder = root + "\\made";
  ok(CreateDirectoryA(folder.c_str(), nullptr), "CreateDirectoryA");
  SetLastError(0xdeadbeef);
  BOOL made = CreateDirectoryA(folder.c_str(), nullptr);
  ok(!made && GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectoryA of an existing folder: %d, %lu", made,
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  made = CreateDirectoryA((root + "\\missing\\made").c_str(), nullptr);
  ok(!made && GetLastError() == ERROR_PATH_NOT_FOUND, "CreateDirectoryA below a missing folder: %d, %lu", made,
     (unsigned long)GetLastError());
  DWORD error = 0;
  DWORD attributes = Attributes(folder, &error);
  ok(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY), "a folder's attributes %lx",
     (unsigned long)attributes);
}

void CheckAttributesAndCopies(const std::string &root) {
  const std::string source = root + "\\source.txt", target = root + "\\target.txt";
  ok(PutFile(source, "abc") && PutFile(target, "old"), "write two files");
  DWORD error = 0;
  DWORD attributes = Attributes(source, &error);
  ok(attributes == FILE_ATTRIBUTE_ARCHIVE, "a new file's attributes: %lx", (unsigned long)attributes);
  attributes = Attributes(root + "\\missing.txt", &error);
  ok(attributes == INVALID_FILE_ATTRIBUTES && error == ERROR_FILE_NOT_FOUND, "missing file: %lx, %lu",
     (unsigned long)attributes, (unsigned long)error);
  attributes = Attributes(root + "\\missing\\file.txt", &error);
  ok(attributes == INVALID_FILE_ATTRIBUTES && error == ERROR_PATH_NOT_FOUND, "missing folder: %lx, %lu",
     (unsigned long)attributes, (unsigned long)error);

  ok(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY), "SetFileAttributesA read-only");
  attributes = Attributes(target, &error);
  if (!skip_on_wine(ArchiveOnEveryFile)) {
    ok(attributes == FILE_ATTRIBUTE_READONLY, "read-only file's attributes: %lx", (unsigned long)attributes);
  }
  ok(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY), "read-only: %lx",
     (unsigned long)attributes);

  BOOL copied = FALSE;
  if (!skip_on_wine(ReadOnlyWritableAsRoot)) {
    SetLastError(0xdeadbeef);
    copied = CopyFileA(source.c_str(), target.c_str(), FALSE);
    ok(!copied && GetLastError() == ERROR_ACCESS_DENIED, "copy over a read-only file: %d, %lu", copied,
       (unsigned long)GetLastError());
  }
  SetLastError(0xdeadbeef);
  BOOL deleted = DeleteFileA(target.c_str());
  ok(!deleted && GetLastError() == ERROR_ACCESS_DENIED, "delete a read-only file: %d, %lu", deleted,
     (unsigned long)GetLastError());
  ok(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL), "SetFileAttributesA normal");
  attributes = Attributes(target, &error);
  if (!skip_on_wine(ArchiveOnEveryFile)) {
    ok(attributes == FILE_ATTRIBUTE_NORMAL, "attributes after FILE_ATTRIBUTE_NORMAL: %lx", (unsigned long)attributes);
  }

  SetLastError(0xdeadbeef);
  copied = CopyFileA(source.c_str(), target.c_str(), TRUE);
  ok(!copied && GetLastError() == ERROR_FILE_EXISTS, "copy that must not overwrite: %d, %lu", copied,
     (unsigned long)GetLastError());
  ok(CopyFileA(source.c_str(), target.c_str(), FALSE), "copy over a writable file");
  SetLastError(0xdeadbeef);
  copied = CopyFileA((root + "\\missing.txt").c_str(), target.c_str(), FALSE);
  ok(!copied && GetLastError() == ERROR_FILE_NOT_FOUND, "copy of a missing file: %d, %lu", copied,
     (unsigned long)GetLastError());

  // Sharing: a file open without sharing refuses every other open, a copy and a delete.
  HANDLE held = CreateFileA(source.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ok(held != INVALID_HANDLE_VALUE, "open without sharing");
  SetLastError(0xdeadbeef);
  HANDLE second = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ok(second == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION, "second open: %lu",
     (unsigned long)GetLastError());
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
  SetLastError(0xdeadbeef);
  copied = CopyFileA(source.c_str(), (root + "\\copy.txt").c_str(), FALSE);
  ok(!copied && GetLastError() == ERROR_SHARING_VIOLATION, "copy of a held file: %d, %lu", copied,
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  deleted = DeleteFileA(source.c_str());
  ok(!deleted && GetLastError() == ERROR_SHARING_VIOLATION, "delete of a held file: %d, %lu", deleted,
     (unsigned long)GetLastError());
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  ok(DeleteFileA(source.c_str()), "delete once closed");
  SetLastError(0xdeadbeef);
  deleted = DeleteFileA(source.c_str());
  ok(!deleted && GetLastError() == ERROR_FILE_NOT_FOUND, "delete again: %d, %lu", deleted,
     (unsigned long)GetLastError());
}

void CheckMasks(const std::string &root) {
  const std::string folder = root + "\\find";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const char *name : {"ab", "abc", "a.txt", "ab.c", "x.y.z", "b"}) PutFile(folder + "\\" + name, "");
  // FindFirstFileA turns "?" into one character or none before a dot or at the end, "*." and a
  // "*" before a dot into "up to the last dot", ".*" and ".?" into "a dot or the end", and drops
  // the trailing dots of the mask.
  const struct {
    const char *mask, *found;
    bool dos;  // depends on the DOS meaning of "?" and "." (Wine lacks it)
  } kMasks[] = {
      // mask      names found (sorted)          dos
      {"*", "a.txt ab ab.c abc b x.y.z", false},
      {"*.*", "a.txt ab ab.c abc b x.y.z", false},  // also names without a dot
      {"A*", "a.txt ab ab.c abc", false},           // without case
      {"a?", "ab", false},
      {"ab?", "ab abc", true},        // "?" matches nothing at the end
      {"???", "ab abc b", true},      // ... and so do the ones after it
      {"a?.txt", "a.txt", true},      // "?" matches nothing before a dot
      {"ab?.c", "ab.c", true},
      {"*.", "ab abc b", true},       // names without a dot
      {"ab.", "ab", false},           // trailing dot dropped
      {"ab..", "ab", false},          // all of them
      {"abc.*", "abc", false},        // ".*" matches the end
      {"x.*", "x.y.z", false},
      {"*.c", "ab.c", false},
      {"*.z", "x.y.z", false},        // "*" before a dot runs to the last dot
      {"*.y", "", false},
      {"*b*", "ab ab.c abc b", false},
  };
  for (const auto &row : kMasks) {
    if (row.dos && skip_on_wine(DosMaskWildcards)) continue;
    DWORD error = 0;
    std::string found = Search(folder + "\\" + row.mask, &error);
    ok(found == row.found, "mask \"%s\" finds \"%s\", expected \"%s\"", row.mask, found.c_str(), row.found);
    ok(error == (*row.found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND), "mask \"%s\": error %lu", row.mask,
       (unsigned long)error);
  }
  DWORD error = 0;
  Search(root + "\\missing\\*", &error);
  ok(error == ERROR_PATH_NOT_FOUND, "search in a missing folder: %lu", (unsigned long)error);
  // Windows-1252 letters in a mask compare without case too.
  PutFile(folder + "\\\xC4rger", "");
  std::string found = Search(folder + "\\\xE4r*", &error);
  ok(found == "\xC4rger", "mask \"\xE4r*\" finds \"%s\"", found.c_str());
}

void CheckLengths(const std::string &root) {
  // A path of 259 characters is the longest an ANSI call takes; 260 and more give 206.
  const std::string prefix = root + "\\";
  const std::string longest = prefix + std::string(259 - prefix.size(), 'n');
  ok(PutFile(longest, "x"), "a file with a 259-character path");
  DWORD error = 0;
  ok(Attributes(longest, &error) == FILE_ATTRIBUTE_ARCHIVE, "its attributes: error %lu", (unsigned long)error);
  DeleteFileA(longest.c_str());
  const std::string tooLong = prefix + std::string(300 - prefix.size(), 'n');
  DWORD attributes = Attributes(tooLong, &error);
  ok(attributes == INVALID_FILE_ATTRIBUTES && error == ERROR_FILENAME_EXCED_RANGE, "300 characters: %lu",
     (unsigned long)error);
  SetLastError(0xdeadbeef);
  HANDLE file = CreateFileA(tooLong.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ok(file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILENAME_EXCED_RANGE, "create 300 characters: %lu",
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  BOOL made = CreateDirectoryA(tooLong.c_str(), nullptr);
  ok(!made && GetLastError() == ERROR_FILENAME_EXCED_RANGE, "folder of 300 characters: %lu",
     (unsigned long)GetLastError());
}

void CheckNameRules(const std::string &root) {
  const std::string file = root + "\\name.txt";
  PutFile(file, "x");
  DWORD error = 0;
  for (const char *suffix : {".", "..", " ", ". .", " . "}) {
    DWORD attributes = Attributes(file + suffix, &error);
    ok(attributes == FILE_ATTRIBUTE_ARCHIVE, "\"name.txt%s\" is name.txt: %lx, %lu", suffix,
       (unsigned long)attributes, (unsigned long)error);
  }
  PutFile(root + "\\\xC4rger.txt", "x");
  DWORD attributes = Attributes(root + "\\\xE4RGER.TXT", &error);
  ok(attributes == FILE_ATTRIBUTE_ARCHIVE, "\"\xE4RGER.TXT\" is \"\xC4rger.txt\": %lx, %lu",
     (unsigned long)attributes, (unsigned long)error);
}

// A lock file: created new, unshared and deleted on close, so that a second open of it fails and a
// closed (or crashed) holder leaves nothing behind.
void CheckDeleteOnClose(const std::string &root) {
  const std::string lock = root + "\\lock";
  SetLastError(0xdeadbeef);
  HANDLE held = CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ok(held != INVALID_HANDLE_VALUE, "CREATE_NEW with FILE_FLAG_DELETE_ON_CLOSE: %lu", (unsigned long)GetLastError());
  DWORD error = 0;
  ok(Attributes(lock, &error) != INVALID_FILE_ATTRIBUTES, "the lock file is there while held: %lu",
     (unsigned long)error);
  SetLastError(0xdeadbeef);
  HANDLE second = CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ok(second == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS, "a second CREATE_NEW: %lu",
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  second = CreateFileA(lock.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ok(second == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION, "opening the held file: %lu",
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  BOOL deleted = DeleteFileA(lock.c_str());
  ok(!deleted && GetLastError() == ERROR_SHARING_VIOLATION, "deleting the held file: %d, %lu", deleted,
     (unsigned long)GetLastError());
  ok(CloseHandle(held), "CloseHandle");
  ok(Attributes(lock, &error) == INVALID_FILE_ATTRIBUTES && error == ERROR_FILE_NOT_FOUND,
     "the lock file is gone with its handle: %lu", (unsigned long)error);

  // A file that was there before is opened, never created: without the flag it stays.
  PutFile(lock, "mine");
  SetLastError(0xdeadbeef);
  held = CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ok(held == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS, "CREATE_NEW over a file: %lu",
     (unsigned long)GetLastError());
  held = CreateFileA(lock.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ok(held != INVALID_HANDLE_VALUE, "OPEN_EXISTING without sharing");
  SetLastError(0xdeadbeef);
  second = CreateFileA(lock.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ok(second == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION, "and a second open: %lu",
     (unsigned long)GetLastError());
  CloseHandle(held);
  ok(Attributes(lock, &error) != INVALID_FILE_ATTRIBUTES, "a file opened without the flag stays");
  DeleteFileA(lock.c_str());
}

// Renaming a folder: its files go with it; an existing name is refused; NTFS refuses while a file
// below it is open.
void CheckFolderRename(const std::string &root) {
  const std::string from = root + "\\set", to = root + "\\set.gone";
  CreateDirectoryA(from.c_str(), nullptr);
  PutFile(from + "\\SAM", "x");
  ok(MoveFileExA(from.c_str(), to.c_str(), 0), "MoveFileExA of a folder: %lu", (unsigned long)GetLastError());
  DWORD error = 0;
  ok(Attributes(to + "\\SAM", &error) != INVALID_FILE_ATTRIBUTES, "its file moved along: %lu", (unsigned long)error);
  ok(Attributes(from, &error) == INVALID_FILE_ATTRIBUTES && error == ERROR_FILE_NOT_FOUND, "the old name is gone");
  CreateDirectoryA(from.c_str(), nullptr);
  SetLastError(0xdeadbeef);
  BOOL moved = MoveFileExA(from.c_str(), to.c_str(), 0);
  ok(!moved && GetLastError() == ERROR_ALREADY_EXISTS, "onto an existing folder: %d, %lu", moved,
     (unsigned long)GetLastError());
  RemoveDirectoryA(from.c_str());
  HANDLE open = CreateFileA((to + "\\SAM").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!skip_on_wine(RenamesFolderWithOpenFiles)) {
    SetLastError(0xdeadbeef);
    moved = MoveFileExA(to.c_str(), from.c_str(), 0);
    ok(!moved && GetLastError() == ERROR_ACCESS_DENIED, "a folder with an open file: %d, %lu", moved,
       (unsigned long)GetLastError());
  }
  CloseHandle(open);
  const std::string now = Attributes(to, &error) != INVALID_FILE_ATTRIBUTES ? to : from;
  DeleteFileA((now + "\\SAM").c_str());
  RemoveDirectoryA(now.c_str());
}

std::vector<WCHAR> Wide(const std::string &ascii) {
  std::vector<WCHAR> wide(ascii.begin(), ascii.end());
  wide.push_back(0);
  return wide;
}

std::string Narrow(const WCHAR *wide) {
  std::string text;
  for (; *wide; wide++) text += *wide < 0x80 ? static_cast<char>(*wide) : '?';
  return text;
}

// GetFullPathNameW works on the text alone: nothing need exist.
void CheckFullPaths() {
  WCHAR current[MAX_PATH];
  const DWORD currentLength = GetCurrentDirectoryW(MAX_PATH, current);
  const std::string cwd = Narrow(current);
  ok(currentLength > 3 && cwd.size() == currentLength, "GetCurrentDirectoryW: %s", cwd.c_str());
  const std::string drive = cwd.substr(0, 2);
  const std::string parent = cwd.substr(0, cwd.find_last_of('\\') > 2 ? cwd.find_last_of('\\') : 3);
  const struct {
    std::string in, out;
    const char *part;  // the file part, "" for none
  } kRows[] = {
      {"b", cwd + "\\b", "b"},                      // relative to the current directory
      {"b\\c\\", cwd + "\\b\\c\\", ""},             // a trailing backslash stays
      {drive, cwd + "\\", ""},                     // the drive alone: its current directory
      {drive + "b", cwd + "\\b", "b"},              // drive-relative
      {"..", parent, nullptr},
      {"b. .", cwd + "\\b", "b"},                   // trailing dots and blanks go
      {"b/c", cwd + "\\b\\c", "c"},                 // slashes are backslashes
      {"\\x\\.\\y\\..\\z", drive + "\\x\\z", "z"},  // the current drive's root
      {"C:\\a\\b", "C:\\a\\b", "b"},
      {"C:\\", "C:\\", ""},
  };
  for (const auto &row : kRows) {
    WCHAR buffer[MAX_PATH];
    for (WCHAR &c : buffer) c = 0x5555;
    LPWSTR part = reinterpret_cast<LPWSTR>(1);
    SetLastError(0xdeadbeef);
    const std::vector<WCHAR> in = Wide(row.in);
    const DWORD length = GetFullPathNameW(in.data(), MAX_PATH, buffer, &part);
    const std::string full = length ? Narrow(buffer) : "";
    ok(length == row.out.size() && full == row.out, "GetFullPathNameW(%s): %lu \"%s\", expected \"%s\"",
       row.in.c_str(), (unsigned long)length, full.c_str(), row.out.c_str());
    if (row.part) {
      const std::string got = part ? Narrow(part) : "";
      ok(got == row.part && (*row.part || !part), "file part of %s: \"%s\"", row.in.c_str(), got.c_str());
    }
  }
  WCHAR small[4];
  const std::vector<WCHAR> in = Wide("b");
  const DWORD needed = GetFullPathNameW(in.data(), 4, small, nullptr);
  ok(needed == cwd.size() + 3, "a short buffer: the size with the NUL, %lu", (unsigned long)needed);
}

// Moves within a volume, as a restore moves hive files aside and renames staged copies into place:
// into a sub-folder, attributes kept, never over an existing file without MOVEFILE_REPLACE_EXISTING;
// a copy that must not overwrite refuses a folder of the target's name too.
void CheckMoves(const std::string &root) {
  const std::string folder = root + "\\moves", aside = folder + "\\aside";
  ok(CreateDirectoryA(folder.c_str(), nullptr) && CreateDirectoryA(aside.c_str(), nullptr), "folders for moves");
  const std::string log = folder + "\\SYSTEM.LOG1", hive = folder + "\\SYSTEM", staged = folder + "\\SYSTEM.new";
  ok(PutFile(log, "log") && PutFile(hive, "old") && PutFile(staged, "new"), "files for moves");
  ok(SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), "hidden system log");

  SetLastError(0xdeadbeef);
  BOOL moved = MoveFileExA(staged.c_str(), hive.c_str(), 0);
  ok(!moved && GetLastError() == ERROR_ALREADY_EXISTS, "move onto an existing file: %d, %lu", moved,
     (unsigned long)GetLastError());
  ok(MoveFileExA(log.c_str(), (aside + "\\SYSTEM.LOG1").c_str(), 0), "move a hidden system file into a sub-folder: %lu",
     (unsigned long)GetLastError());
  DWORD error = 0;
  ok(Attributes(log, &error) == INVALID_FILE_ATTRIBUTES && error == ERROR_FILE_NOT_FOUND, "moved file gone: %lu",
     (unsigned long)error);
  const DWORD attributes = Attributes(aside + "\\SYSTEM.LOG1", &error);
  ok(attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ==
                                                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
     "attributes kept by the move: %lx", (unsigned long)attributes);
  ok(MoveFileExA(hive.c_str(), (aside + "\\SYSTEM").c_str(), 0) && MoveFileExA(staged.c_str(), hive.c_str(), 0),
     "old file aside, new one into its place");
  ok(Search(folder + "\\*", &error) == "SYSTEM aside" && Search(aside + "\\*", &error) == "SYSTEM SYSTEM.LOG1",
     "the files after the moves");
  SetLastError(0xdeadbeef);
  moved = MoveFileExA(staged.c_str(), (aside + "\\x").c_str(), 0);
  ok(!moved && GetLastError() == ERROR_FILE_NOT_FOUND, "move of a missing file: %d, %lu", moved,
     (unsigned long)GetLastError());
  ok(MoveFileExA((aside + "\\SYSTEM").c_str(), hive.c_str(), MOVEFILE_REPLACE_EXISTING), "move back over the new file");

  ok(CreateDirectoryA(staged.c_str(), nullptr), "a folder of the staged name");
  SetLastError(0xdeadbeef);
  BOOL copied = CopyFileA(hive.c_str(), staged.c_str(), TRUE);
  ok(!copied && GetLastError() == ERROR_FILE_EXISTS,
     "copy that must not overwrite onto a folder: %d, %lu", copied, (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  BOOL deleted = DeleteFileA((folder + "\\never").c_str());
  ok(!deleted && GetLastError() == ERROR_FILE_NOT_FOUND, "delete of a missing file: %d, %lu", deleted,
     (unsigned long)GetLastError());
}

}  // namespace

// SetFilePointer with a high part, as the hive check uses it: beyond the end is allowed, a read
// there gives TRUE and 0 bytes; the last byte reads; FILE_BEGIN goes back.
void CheckSeekAndRead(const std::string &root) {
  const std::string path = root + "\\seek";
  ok(PutFile(path, "0123456789"), "PutFile seek");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ok(file != INVALID_HANDLE_VALUE, "open seek: %lu", static_cast<unsigned long>(GetLastError()));
  if (file == INVALID_HANDLE_VALUE) return;
  struct Row {
    LONG low;
    DWORD expectedRead;  // bytes a read of 4 gives there
  } rows[] = {{9, 1}, {10, 0}, {0x7FFFF000, 0}, {static_cast<LONG>(0x80000FFFu), 0}};
  for (const Row &row : rows) {
    LONG high = 0;
    SetLastError(0xdeadbeef);
    const DWORD position = SetFilePointer(file, row.low, &high, FILE_BEGIN);
    ok(position == static_cast<DWORD>(row.low) && high == 0, "SetFilePointer to %lx: %lx high %ld (%lu)",
       static_cast<unsigned long>(row.low), static_cast<unsigned long>(position), static_cast<long>(high),
       static_cast<unsigned long>(GetLastError()));
    char buffer[4] = {'j', 'j', 'j', 'j'};
    DWORD read = 0xdeadbeef;
    ok(ReadFile(file, buffer, 4, &read, nullptr) && read == row.expectedRead, "read at %lx: %lu bytes",
       static_cast<unsigned long>(row.low), static_cast<unsigned long>(read));
  }
  LONG high = 0;
  ok(SetFilePointer(file, 0, &high, FILE_BEGIN) == 0, "SetFilePointer back to the start");
  CloseHandle(file);
}

// FlushFileBuffers, as the offline restore flushes its staged copies before the first move: a file
// opened for writing flushes; one opened only for reading is refused with 5, no handle with 6.
void CheckFlush(const std::string &root) {
  const std::string path = root + "\\flush";
  ok(PutFile(path, "data"), "PutFile flush");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetLastError(0xdeadbeef);
  ok(file != INVALID_HANDLE_VALUE && FlushFileBuffers(file), "FlushFileBuffers for writing: %lu",
     static_cast<unsigned long>(GetLastError()));
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetLastError(0xdeadbeef);
  BOOL flushed = FlushFileBuffers(file);
  ok(file != INVALID_HANDLE_VALUE && !flushed && GetLastError() == ERROR_ACCESS_DENIED,
     "FlushFileBuffers for reading: %d, %lu", flushed, static_cast<unsigned long>(GetLastError()));
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  SetLastError(0xdeadbeef);
  flushed = FlushFileBuffers(nullptr);
  ok(!flushed && GetLastError() == ERROR_INVALID_HANDLE, "FlushFileBuffers of no handle: %d, %lu", flushed,
     static_cast<unsigned long>(GetLastError()));
  DeleteFileA(path.c_str());
}

void CheckFiles() {
  const std::string root = ScratchFolder("conformance_files");
  CheckFolders(root);
  CheckAttributesAndCopies(root);
  CheckMasks(root);
  CheckLengths(root);
  CheckNameRules(root);
  CheckSeekAndRead(root);
  CheckDeleteOnClose(root);
  CheckFolderRename(root);
  CheckFullPaths();
  CheckMoves(root);
  CheckFlush(root);
}

}  // namespace conf
