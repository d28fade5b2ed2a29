// What the window's parts do on the main window's controls.
#include "app/window_controls.h"

#include <vector>

#include "app/control_ids.h"
#include "workflows/backup_set.h"

namespace {

const char kRefusedCaption[] = "Ordner nicht verwendbar";
const char kRefusedBefore[] = "Der Ordner „";
const char kRefusedAfter[] =
    "“ kann nicht verwendet werden, weil sein Name Zeichen enthält, die das Programm nicht verarbeiten kann. "
    "Bitte wählen Sie einen anderen Ordner.";

}  // namespace

void SetProgress(HWND mainWindow, int controlId, int position) {
  HWND bar = GetDlgItem(mainWindow, controlId);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TellFolderRefused(HWND mainWindow, const std::string &folder) {
  std::string text = kRefusedBefore + folder + kRefusedAfter;
  MessageBoxA(mainWindow, text.c_str(), kRefusedCaption, MB_OK | MB_ICONEXCLAMATION);
}

// An empty folder text names no folder: joined with the names it would point at the root of the
// current drive.
void ApplyRestoreAvailability(HWND mainWindow, const std::string &folder) {
  EnableWindow(GetDlgItem(mainWindow, IDC_RESTORE), OffersRestore(folder) ? TRUE : FALSE);
}

std::string ReadFolderField(HWND mainWindow) {
  HWND field = GetDlgItem(mainWindow, IDC_FOLDER);
  int length = GetWindowTextLengthA(field);
  if (length <= 0) return "";
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(field, buffer.data(), length + 1);
  return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void MainWindowView::SetStatus(const std::string &text) {
  SetWindowTextA(GetDlgItem(window_, IDC_STATUS), text.c_str());
}

void MainWindowView::SetProgress(int position) { ::SetProgress(window_, IDC_PROGRESS, position); }

void MainWindowView::EnableRunButtons(bool enable) {
  static const int kButtons[] = {IDC_BACKUP, IDC_RESTORE, IDC_QUIT, IDC_BROWSE};
  for (int id : kButtons) EnableWindow(GetDlgItem(window_, id), enable ? TRUE : FALSE);
}

std::string MainWindowView::FolderText() { return ReadFolderField(window_); }
