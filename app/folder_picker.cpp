// Choosing the backup folder in the shell's folder dialog, and setting the restore button for it.
#include "app/folder_picker.h"

#include <cstring>

#include "app/window_controls.h"
#include "services/ansi_path.h"

namespace {

const char kTitle[] = "Bitte wählen Sie ein Verzeichnis aus.";

std::string TrimBlanks(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

// The chosen folder. A cancelled dialog, or an item that has no file-system path (the buffer would
// then hold its display name, which is no path), changes nothing, like a cancelled dialog anywhere
// in Windows: no folder is returned and the restore button stays as it was. The path comes from
// the wide call: the ANSI one would best-fit a name that the code page cannot spell, and so name
// another folder. Such a folder is refused with a message, and nothing changes either. Otherwise
// the restore button is set for the folder returned.
bool BrowseForBackupFolder(HWND mainWindow, std::string *folder) {
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

  WCHAR widePath[MAX_PATH] = {0};
  bool chosen = false;
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  if (list) {
    chosen = SHGetPathFromIDListW(list, widePath) != FALSE;
    CoTaskMemFree(list);
  }
  if (!chosen) return false;
  std::string text;
  bool exact = ExactAnsiText(widePath, &text);
  text = TrimBlanks(text);
  if (!exact) {
    if (!text.empty()) TellFolderRefused(mainWindow, text);
    return false;
  }
  *folder = text;
  ApplyRestoreAvailability(mainWindow, *folder);
  return true;
}
