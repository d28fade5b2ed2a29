// What the backup and restore runs do with the main window's controls.
#include "workflows/run_window.h"

#include <vector>

#include "app/control_ids.h"

void EnableRunButtons(HWND mainWindow, BOOL enable) {
  static const int kButtons[] = {IDC_BACKUP, IDC_RESTORE, IDC_QUIT, IDC_BROWSE};
  for (int id : kButtons) EnableWindow(GetDlgItem(mainWindow, id), enable);
}

std::string ReadFolderField(HWND mainWindow) {
  HWND field = GetDlgItem(mainWindow, IDC_FOLDER);
  int length = GetWindowTextLengthA(field);
  if (length <= 0) return "";
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(field, buffer.data(), length + 1);
  return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void SetStatus(HWND mainWindow, const std::string &text) {
  SetWindowTextA(GetDlgItem(mainWindow, IDC_STATUS), text.c_str());
}
