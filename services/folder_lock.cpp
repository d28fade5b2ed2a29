// The lock file of a backup folder.
#include "services/folder_lock.h"

#include "services/report.h"
#include "services/text_ops.h"

const char *const kFolderLockName = "~brovink.lock";

namespace {
// Between a failed CREATE_NEW and the open of the file found there, its holder may have closed it.
const int kAttempts = 3;
}  // namespace

FolderLockState FolderLock::Take(const std::string &folder) {
  file_.Close();
  created_ = false;
  const std::string path = folder + "\\" + kFolderLockName;
  if (!FitsBuffer(path, MAX_PATH)) return FolderLockState::Unlockable;
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    *file_.Receive() = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file_) {
      created_ = true;
      return FolderLockState::Taken;
    }
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return FolderLockState::InUse;
    // A folder of the lock's name can be held by no run: passing over it would let two runs meet
    // in the folder, so the folder counts as in use until that folder is gone.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return FolderLockState::InUse;
    }
    if (error != ERROR_FILE_EXISTS) return FolderLockState::Unlockable;
    // Not ours: held for the run without the delete flag, so that it stays as it was.
    *file_.Receive() = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
    if (file_) return FolderLockState::Taken;
    error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return FolderLockState::InUse;
    if (error != ERROR_FILE_NOT_FOUND) return FolderLockState::Unlockable;
  }
  return FolderLockState::InUse;
}

std::string FolderInUseText(const std::string &folder) {
  return "Der Ordner " + folder +
         " wird gerade von einer anderen Sicherung, Wiederherstellung oder Prüfung verwendet. Es wurde nichts "
         "geändert.";
}

void ReportFolderInUse(const std::string &folder) {
  ReportEntry entry;
  entry.kind = ReportKind::FolderInUse;
  entry.caption = "Ordner wird verwendet";
  entry.text = FolderInUseText(folder);
  entry.file = folder;
  Report(entry);
}
