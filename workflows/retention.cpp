// Retention of dated backup sets: which sub-folders are sets, and their removal, whole or by later
// runs.
#include "workflows/retention.h"

#include <algorithm>
#include <utility>

#include "services/file_helpers.h"
#include "services/folder_lock.h"
#include "services/handles.h"
#include "services/text_ops.h"
#include "workflows/backup_set.h"
#include "workflows/hive_list.h"

const char *const kRemovalSuffix = ".wird-entfernt";

namespace {

using Entry = SetFolderEntry;

// folder + "\" + name; a folder that already ends in a backslash (a drive root) gets none.
std::string Join(const std::string &folder, const std::string &name) {
  return (!folder.empty() && folder.back() == '\\') ? folder + name : folder + "\\" + name;
}

// The entries of a folder without "." and ".."; false when it cannot be listed, or when two
// entries are one name to the file system (the ANSI search hands out a name the code page cannot
// spell best-fitted, so it may stand for another entry). The lock file this run holds there is
// left out (ownLock).
bool ListFolder(const std::string &folder, std::vector<Entry> *entries, bool ownLock = false) {
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
    if (ownLock && name == kFolderLockName) continue;
    for (const Entry &earlier : *entries) unique = unique && !SameNameNoCase(earlier.name, name);
    entries->push_back(Entry{name, data.dwFileAttributes});
  } while (FindNextFileA(search.Get(), &data));
  return unique && GetLastError() == ERROR_NO_MORE_FILES;
}

bool SameNames(const std::vector<Entry> &a, const std::vector<Entry> &b) {
  if (a.size() != b.size()) return false;
  for (const Entry &entry : a) {
    if (std::none_of(b.begin(), b.end(), [&](const Entry &other) { return other.name == entry.name; })) return false;
  }
  return true;
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

bool IsRemovalName(const std::string &name) {
  const std::string suffix = kRemovalSuffix;
  return name.size() == 10 + suffix.size() && DateFolderKey(name.substr(0, 10)) != 0 &&
         name.compare(10, std::string::npos, suffix) == 0;
}

// Removes the listed files of a renamed folder by name (DeleteFileA removes a link itself, never
// what it points to) and then the folder, recorded as shown; what stays is recorded. The lock is
// released before the folder goes, since its file lies in it.
void EmptyAndRemove(const std::string &folder, const std::vector<Entry> &entries, FolderLock &lock,
                    const std::string &shown, RetentionResult *result) {
  bool whole = true;
  for (const Entry &entry : entries) {
    const std::string path = Join(folder, entry.name);
    if (!DeleteFileA(path.c_str())) {
      result->leftovers.push_back(RetentionLeftover{folder, path, GetLastError()});
      whole = false;
    }
  }
  lock.Release();
  if (!whole) return;
  if (RemoveDirectoryA(folder.c_str())) {
    result->removed.push_back(shown);
  } else {
    result->leftovers.push_back(RetentionLeftover{folder, folder, GetLastError()});
  }
}

// A removal an earlier run left: only files of a set (by the same check as the set's) are removed,
// and only when the folder holds nothing else; otherwise it stays as it is, and is reported.
void FinishRemoval(const std::string &folder, RetentionResult *result) {
  FolderLock lock;
  std::vector<Entry> entries;
  if (lock.Take(folder) != FolderLockState::Taken || !lock.Created() || !ListFolder(folder, &entries, true)) {
    result->leftovers.push_back(RetentionLeftover{folder, folder, ERROR_SHARING_VIOLATION});
    return;
  }
  for (const Entry &entry : entries) {
    if (!IsRemovableSetFile(folder, entry)) {
      result->leftovers.push_back(RetentionLeftover{folder, Join(folder, entry.name), ERROR_DIR_NOT_EMPTY});
      return;
    }
  }
  EmptyAndRemove(folder, entries, lock, folder, result);
}

// Removes one set: taken and checked under the folder's lock, renamed (a folder another run takes
// meanwhile cannot be renamed, or is found in the renamed folder and put back), checked again,
// then emptied.
void RemoveSet(const std::string &folder, RetentionResult *result) {
  FolderLock lock;
  std::vector<Entry> checked;
  if (lock.Take(folder) != FolderLockState::Taken || !lock.Created() || !ListFolder(folder, &checked, true) ||
      !IsRemovableSet(folder, checked)) {
    return;
  }
  lock.Release();
  // Every path the removal uses must fit the ANSI calls under the longer name too.
  const std::string renamed = folder + kRemovalSuffix;
  bool fits = FitsBuffer(renamed, MAX_PATH - 12) && FitsBuffer(Join(renamed, kFolderLockName), MAX_PATH);
  for (const Entry &entry : checked) fits = fits && FitsBuffer(Join(renamed, entry.name), MAX_PATH);
  if (!fits) return;
  if (!MoveFileExA(folder.c_str(), renamed.c_str(), 0)) {
    result->kept.push_back(RetentionLeftover{folder, folder, GetLastError()});
    return;
  }
  std::vector<Entry> entries;
  if (lock.Take(renamed) != FolderLockState::Taken || !lock.Created() || !ListFolder(renamed, &entries, true) ||
      !SameNames(entries, checked) || !IsRemovableSet(renamed, entries)) {
    lock.Release();
    MoveFileExA(renamed.c_str(), folder.c_str(), 0);
    return;
  }
  EmptyAndRemove(renamed, entries, lock, folder, result);
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
  return ListFolder(folder, &entries) && IsRemovableSet(folder, entries);
}

RetentionResult RemoveOldSets(const std::string &folder, int keep, const std::string &current) {
  RetentionResult result;
  std::vector<Entry> entries;
  if (keep < 1 || !ListFolder(folder, &entries)) return result;
  std::vector<std::pair<int, std::string>> sets;  // date key and folder name
  for (const Entry &entry : entries) {
    if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // a junction leads elsewhere
    if (IsRemovalName(entry.name)) {
      FinishRemoval(Join(folder, entry.name), &result);
      continue;
    }
    const int key = DateFolderKey(entry.name);
    if (key == 0 || entry.name == current) continue;
    if (HoldsOnlyOneSet(Join(folder, entry.name))) sets.emplace_back(key, entry.name);
  }
  std::sort(sets.begin(), sets.end());
  // The current set is the first of those kept: the others beyond keep - 1, oldest first.
  const size_t removable = sets.size() > static_cast<size_t>(keep - 1) ? sets.size() - static_cast<size_t>(keep - 1) : 0;
  for (size_t i = 0; i < removable; i++) RemoveSet(Join(folder, sets[i].second), &result);
  return result;
}
