// Retention of dated backup sets: which sub-folders are sets, and the removal of the oldest.
#include "workflows/retention.h"

#include <algorithm>
#include <utility>

#include "platform.h"
#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/hive_file_check.h"
#include "services/text_ops.h"
#include "workflows/backup_set.h"

namespace {

struct Entry {
  std::string name;
  DWORD attributes;
};

// folder + "\" + name; a folder that already ends in a backslash (a drive root) gets none.
std::string Join(const std::string &folder, const std::string &name) {
  return (!folder.empty() && folder.back() == '\\') ? folder + name : folder + "\\" + name;
}

// The entries of a folder without "." and ".."; false when it cannot be listed, or when two
// entries are one name to the file system (the ANSI search hands out a name the code page cannot
// spell best-fitted, so it may stand for another entry).
bool ListFolder(const std::string &folder, std::vector<Entry> *entries) {
  entries->clear();
  const std::string mask = Join(folder, "*");
  if (!FitsBuffer(mask, MAX_PATH)) return false;
  WIN32_FIND_DATAA data;
  SearchOwner search(FindFirstFileA(mask.c_str(), &data));
  if (!search) return false;
  bool unique = true;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    for (const Entry &earlier : *entries) unique = unique && !SameNameNoCase(earlier.name, name);
    entries->push_back(Entry{name, data.dwFileAttributes});
  } while (FindNextFileA(search.Get(), &data));
  return unique && GetLastError() == ERROR_NO_MORE_FILES;
}

// The file a listed name opens is the listed file: a plain regular file under exactly that name.
bool IsRegularFile(const std::string &path) {
  if (!FitsBuffer(path, MAX_PATH)) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// A plain regular file under exactly its listed name.
bool IsPlainRegularFile(const std::string &folder, const Entry &entry) {
  if (entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  return IsPlainFileName(entry.name) && IsRegularFile(Join(folder, entry.name));
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int Digits(const std::string &text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; i++) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Deletes the set's files by their names, then the folder; stops at the first failure, which
// leaves the folder in place.
bool RemoveSet(const std::string &folder, const std::vector<Entry> &entries) {
  for (const Entry &entry : entries) {
    if (!DeleteFileA(Join(folder, entry.name).c_str())) return false;
  }
  return RemoveDirectoryA(folder.c_str()) != FALSE;
}

// The listed entries of folder are the files of one set and nothing else, by the set's rule.
bool IsOneSet(const std::string &folder, const std::vector<Entry> &entries) {
  std::vector<std::string> names;
  for (const Entry &entry : entries) {
    if (!IsPlainRegularFile(folder, entry)) return false;
    names.push_back(entry.name);
  }
  return IsOneSetListing(names, [&](const std::string &name) {
    return CheckHiveFile(Join(folder, name)).state == HiveFileState::Good;
  });
}

}  // namespace

int DateFolderKey(const std::string &name) {
  if (name.size() != 10 || name[2] != '-' || name[5] != '-') return 0;
  const int month = Digits(name, 0, 2), day = Digits(name, 3, 2), year = Digits(name, 6, 4);
  if (month < 1 || month > 12 || day < 1 || year < 1) return 0;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int days = kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  if (day > days) return 0;
  return year * 10000 + month * 100 + day;
}

bool HoldsOnlyOneSet(const std::string &folder) {
  std::vector<Entry> entries;
  return ListFolder(folder, &entries) && IsOneSet(folder, entries);
}

std::vector<std::string> RemoveOldSets(const std::string &folder, int keep, const std::string &current) {
  std::vector<std::string> removed;
  std::vector<Entry> entries;
  if (keep < 1 || !ListFolder(folder, &entries)) return removed;
  std::vector<std::pair<int, std::string>> sets;  // date key and folder name
  for (const Entry &entry : entries) {
    const int key = DateFolderKey(entry.name);
    if (key == 0 || !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // a junction leads elsewhere
    if (entry.name == current) continue;
    if (HoldsOnlyOneSet(Join(folder, entry.name))) sets.emplace_back(key, entry.name);
  }
  std::sort(sets.begin(), sets.end());
  // The current set is the first of those kept: the others beyond keep - 1, oldest first.
  const size_t removable = sets.size() > static_cast<size_t>(keep - 1) ? sets.size() - static_cast<size_t>(keep - 1) : 0;
  for (size_t i = 0; i < removable; i++) {
    const std::string path = Join(folder, sets[i].second);
    std::vector<Entry> files;
    // Listed again right before the removal: only what was checked is deleted.
    if (!ListFolder(path, &files) || !IsOneSet(path, files)) continue;
    if (RemoveSet(path, files)) removed.push_back(path);
  }
  return removed;
}
