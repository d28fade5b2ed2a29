// The main window's callback: turns the clicks on its buttons and its date check box into actions.
#include "app/commands.h"

#include <string>

#include "app/control_ids.h"
#include "app/date_folder.h"
#include "app/folder_picker.h"
#include "app/main_window.h"
#include "services/privileges.h"
#include "services/file_helpers.h"
#include "services/text_ops.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

namespace {

const char kBackupDone[] = "Sicherung fertig";
const char kRestoreDone[] = "Wiederherstellung fertig";
const char kRestoreQuestion[] = "Möchten Sie die Registry wirklich wiederherstellen?";
const char kRestoreCaption[] = "Registry wiederherstellen";
const char kRestartQuestion[] = "Die Wiederherstellung ist abgeschlossen, soll der Rechner jetzt neu gestartet werden?";
const char kRestartCaption[] = "Fertig";
const char kNoFolderText[] =
    "Es ist kein Backup-/Wiederherstellungsordner gewählt. Bitte wählen Sie mit „>>“ einen Ordner aus.";
const char kNoFolderCaption[] = "Kein Ordner gewählt";
const WORD kFromAccelerator = 1;

// While a command works (a run, its boxes, the picker), the window still dispatches messages inside
// the modal loops of the boxes, and the date check box and a close request can reach the handler.
// They must neither start anything nor change the folder field: the check box is put back, and a
// close request is carried out once the command has ended.
struct Busy {
  bool underWay = false;
  LRESULT dateCheck = BST_UNCHECKED;  // the check box when the command began
  bool closeRequested = false;
};
Busy g_busy;

bool DateBoxChecked(HWND window) {
  return SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetFolderField(HWND window, const std::string &text) {
  SetWindowTextA(GetDlgItem(window, IDC_FOLDER), text.c_str());
}

// Cuts the text before the backslash that precedes the first occurrence of today's date folder;
// a drive left as "C:" gets its backslash back. A text without today's date stays as it is.
std::string WithoutDateFolder(const std::string &folder) {
  int position = SearchText(1, folder, DateText());
  if (position == 0) return folder;
  std::string cut = position > 1 ? folder.substr(0, static_cast<size_t>(position - 2)) : folder;
  if (cut.size() == 2) cut += "\\";
  return cut;
}

// A refused folder leaves the field as it was.
void Browse(HWND window) {
  bool withDate = DateBoxChecked(window);  // read before the picker is shown
  std::string folder;
  if (!BrowseForBackupFolder(window, &folder)) return;
  SetFolderField(window, withDate ? WithDateFolder(folder) : folder);
}

// An empty field stays empty: a date folder alone would lie at the root of the current drive.
void DateBoxChanged(HWND window) {
  std::string folder = ReadFolderField(window);
  if (!folder.empty()) {
    folder = DateBoxChecked(window) ? WithDateFolder(folder) : WithoutDateFolder(folder);
    SetFolderField(window, folder);
  }
  ApplyRestoreAvailability(window, folder);
}

// An empty field names no folder (the runs would use the root of the current drive): no run.
bool FolderChosen(HWND window) {
  if (!ReadFolderField(window).empty()) return true;
  MessageBoxA(window, kNoFolderText, kNoFolderCaption, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void Backup(HWND window) {
  if (!FolderChosen(window)) return;
  MainWindowView view(window);
  if (RunBackup(view).folderInUse) return;  // another run's folder: nothing was done
  view.SetStatus(kBackupDone);
}

// The two questions are owned by the main window, so that it takes no clicks while they are open.
void Restore(HWND window) {
  if (!FolderChosen(window)) return;
  if (MessageBoxA(window, kRestoreQuestion, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  MainWindowView view(window);
  if (RunRestore(view).setRefused) return;  // a damaged set: nothing done, no restart to offer
  view.SetStatus(kRestoreDone);
  if (MessageBoxA(window, kRestartQuestion, kRestartCaption, MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
  EnablePrivilege("SeShutdownPrivilege");
  ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
}

void Quit(HWND window) { DestroyWindow(window); }

// Runs one command with the window marked busy, then carries out a close request that came
// meanwhile.
void RunCommand(HWND window, void (*command)(HWND)) {
  g_busy = Busy{};
  g_busy.underWay = true;
  g_busy.dateCheck = SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_GETCHECK, 0, 0);
  command(window);
  bool close = g_busy.closeRequested;
  g_busy = Busy{};
  if (close && IsWindow(window)) Quit(window);
}

// A command under way takes no other: the check box (which toggled itself) is put back.
void HandleCommandWhileBusy(HWND window, int id) {
  if (id == IDC_DATEFOLDER) {
    SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_SETCHECK, static_cast<WPARAM>(g_busy.dateCheck), 0);
  }
}

void HandleCommand(HWND window, int id, WORD code) {
  bool clicked = code == BN_CLICKED || code == kFromAccelerator;
  if (g_busy.underWay) {
    HandleCommandWhileBusy(window, id);
    return;
  }
  switch (id) {
    case IDC_BROWSE:
      if (clicked) RunCommand(window, Browse);
      break;
    case IDC_BACKUP:
      if (clicked) RunCommand(window, Backup);
      break;
    case IDC_RESTORE:
      if (clicked) RunCommand(window, Restore);
      break;
    case IDC_QUIT:
      if (clicked) Quit(window);
      break;
    case IDC_DATEFOLDER:
      DateBoxChanged(window);
      break;
    default:  // the progress bar, status line, folder field, IDOK (Enter) and IDCANCEL (Escape)
      break;
  }
}

}  // namespace

// Returns 0 for every message, so the default dialog processing always follows.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_COMMAND:
      HandleCommand(window, LOWORD(wParam), HIWORD(wParam));
      break;
    case WM_CLOSE:
      // A system close request ends the window like "Quit"; left to the default processing it
      // would only become IDCANCEL, which does nothing. While a command works, it waits for its end.
      if (g_busy.underWay) {
        g_busy.closeRequested = true;
      } else {
        Quit(window);
      }
      break;
    default:
      break;
  }
  return 0;
}
