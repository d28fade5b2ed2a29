// The main window's callback: turns the clicks on its buttons and its date check box into actions.
#include "app/commands.h"

#include <string>

#include "app/control_ids.h"
#include "app/date_folder.h"
#include "app/folder_picker.h"
#include "app/main_window.h"
#include "services/privileges.h"
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
// Shown by Windows beside the program when the user logs off or shuts down during a run.
const char16_t kShutdownBlockReason[] = u"Registry-Sicherung l\u00e4uft";
// A restart for a planned change of the system's configuration, the restored registry.
const DWORD kRestartReason =
    SHTDN_REASON_MAJOR_OPERATINGSYSTEM | SHTDN_REASON_MINOR_RECONFIG | SHTDN_REASON_FLAG_PLANNED;

// While a command works (a run, its boxes, the picker), the window still dispatches messages inside
// the modal loops of the boxes, and the date check box and a close request can reach the handler.
// They must neither start anything nor change the folder field: the check box is put back, and a
// close request is carried out once the command has ended.
struct Busy {
  bool underWay = false;
  LRESULT dateCheck = BST_UNCHECKED;  // the check box when the command began
  bool closeRequested = false;
  bool runUnderWay = false;  // a backup or restore run, with its boxes: the session must not end
};
Busy g_busy;

// What checking the date box put into the folder field and what the field held before, so that
// unchecking gives back exactly the earlier text (never cutting a date of the user's own folder).
struct DateFolderMemory {
  bool valid = false;
  std::string before;
  std::string after;
};
DateFolderMemory g_dateFolder;

bool DateBoxChecked(HWND window) {
  return SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetFolderField(HWND window, const std::string &text) {
  SetWindowTextA(GetDlgItem(window, IDC_FOLDER), text.c_str());
}

// Puts folder with today's date folder into the field, remembering what it stands for.
void SetFolderWithDate(HWND window, const std::string &folder) {
  g_dateFolder = DateFolderMemory{true, folder, WithDateFolder(folder)};
  SetFolderField(window, g_dateFolder.after);
}

// The text from before the date folder was added, while the field still holds what was added;
// otherwise (a field changed since) the text stays as it is: a date in it may be the user's own.
std::string WithoutDateFolder(const std::string &folder) {
  if (g_dateFolder.valid && folder == g_dateFolder.after) return g_dateFolder.before;
  return folder;
}

// A cancelled or refused choice leaves the field and the restore button as they were.
void Browse(HWND window) {
  bool withDate = DateBoxChecked(window);  // read before the picker is shown
  std::string folder;
  if (!BrowseForBackupFolder(window, &folder)) return;
  if (withDate) {
    SetFolderWithDate(window, folder);
  } else {
    SetFolderField(window, folder);
  }
}

// An empty field stays empty: a date folder alone would lie at the root of the current drive.
void DateBoxChanged(HWND window) {
  std::string folder = ReadFolderField(window);
  if (!folder.empty()) {
    if (DateBoxChecked(window)) {
      SetFolderWithDate(window, folder);
    } else {
      folder = WithoutDateFolder(folder);
      g_dateFolder = DateFolderMemory{};
      SetFolderField(window, folder);
    }
  }
  ApplyRestoreAvailability(window, ReadFolderField(window));
}

typedef BOOL(WINAPI *ShutdownBlockCreateProc)(HWND, LPCWSTR);
typedef BOOL(WINAPI *ShutdownBlockDestroyProc)(HWND);

// The shutdown-block reason calls came with Windows Vista: looked up, so that the program still
// starts on the systems before it (which then show no reason, but still ask the window).
FARPROC User32Export(const char *name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 ? GetProcAddress(user32, name) : nullptr;
}

void BlockShutdown(HWND window, bool block) {
  // Through void(*)() so that GCC's -Wcast-function-type accepts the cast from FARPROC.
  if (block) {
    if (FARPROC proc = User32Export("ShutdownBlockReasonCreate")) {
      reinterpret_cast<ShutdownBlockCreateProc>(reinterpret_cast<void (*)()>(proc))(
          window, reinterpret_cast<LPCWSTR>(kShutdownBlockReason));
    }
  } else if (FARPROC proc = User32Export("ShutdownBlockReasonDestroy")) {
    reinterpret_cast<ShutdownBlockDestroyProc>(reinterpret_cast<void (*)()>(proc))(window);
  }
}

// Runs a backup or restore run with the session held open: Windows asks the window before a
// log-off or shutdown (WM_QUERYENDSESSION, answered no meanwhile) and shows the reason. Afterwards
// the restore button follows the folder again, whatever the run wrote or removed.
template <typename Run>
RunResult RunHoldingSession(HWND window, Run run) {
  g_busy.runUnderWay = true;
  BlockShutdown(window, true);
  MainWindowView view(window);
  const RunResult result = run(view);
  BlockShutdown(window, false);
  g_busy.runUnderWay = false;
  ApplyRestoreAvailability(window, ReadFolderField(window));
  return result;
}

// An empty field names no folder (the runs would use the root of the current drive): no run.
bool FolderChosen(HWND window) {
  if (!ReadFolderField(window).empty()) return true;
  MessageBoxA(window, kNoFolderText, kNoFolderCaption, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void Backup(HWND window) {
  if (!FolderChosen(window)) return;
  const RunResult result = RunHoldingSession(window, RunBackup);
  if (result.folderInUse) return;  // another run's folder: nothing was done
  // "Sicherung fertig" only for a complete set: every hive, the script and the fingerprint written.
  if (result.failedHives == 0 && result.failedFiles == 0 && !result.folderRefused) {
    MainWindowView(window).SetStatus(kBackupDone);
  }
}

// The two questions are owned by the main window, so that it takes no clicks while they are open.
// "fertig" and the restart only after a restore that registered every hive of the set: a refused
// or incomplete one has said so in its boxes. The restart lets running programs ask to save
// (EWX_FORCE would end them without), forcing only those that hang; No is the default answer.
void Restore(HWND window) {
  if (!FolderChosen(window)) return;
  if (MessageBoxA(window, kRestoreQuestion, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  const RunResult result = RunHoldingSession(window, RunRestore);
  if (result.setRefused || result.failedHives != 0) return;
  MainWindowView(window).SetStatus(kRestoreDone);
  if (MessageBoxA(window, kRestartQuestion, kRestartCaption,
                  MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  EnablePrivilege("SeShutdownPrivilege");
  ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, kRestartReason);
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

// Returns 0 for every message, so the default dialog processing follows, except for the session's
// end during a run.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_COMMAND:
      HandleCommand(window, LOWORD(wParam), HIWORD(wParam));
      break;
    case WM_INITDIALOG:
      g_dateFolder = DateFolderMemory{};  // a new window remembers no earlier one's date folder
      break;
    case WM_QUERYENDSESSION:
      // During a run the session must not end: a dialog procedure answers through DWLP_MSGRESULT.
      if (g_busy.runUnderWay) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
        return TRUE;
      }
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
