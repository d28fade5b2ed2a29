// Choosing the backup folder in the shell's folder dialog, and setting the restore button for it.
#include "app/folder_picker.h"

#include <cstring>

#include "app/main_window.h"
#include "services/text_ops.h"

namespace {

const char kTitle[] = "Bitte wählen Sie ein Verzeichnis aus.";

std::string TrimBlanks(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

// The chosen folder, or the current directory when the user cancelled or chose an item that has
// no file-system path (the buffer would then hold its display name, which is no path). The restore
// button is set for the folder returned.
std::string BrowseForBackupFolder(HWND mainWindow) {
  char path[MAX_PATH];
  memset(path, 0, sizeof path);
  BROWSEINFOA info{};
  info.hwndOwner = GetActiveWindow();
  info.pidlRoot = nullptr;
  info.pszDisplayName = path;
  info.lpszTitle = kTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = nullptr;
  info.lParam = 0;
  info.iImage = 0;

  std::string folder;
  bool chosen = false;
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  if (list) {
    chosen = SHGetPathFromIDListA(list, path) != FALSE;
    CoTaskMemFree(list);
  }
  folder = chosen ? TrimBlanks(std::string(path, strnlen(path, sizeof path))) : CurrentFolder();
  ApplyRestoreAvailability(mainWindow, folder);
  return folder;
}
