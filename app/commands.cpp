// The main window's callback: turns the clicks on its buttons and its date check box into actions.
#include <memory>
#include <string>

#include "app/control_ids.h"
#include "app/date_folder.h"
#include "app/folder_picker.h"
#include "app/window_controls.h"
#include "app/window_state.h"
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

using DateFolderMemory = MainWindowState::DateFolderMemory;

// The window's object: nullptr before WM_INITDIALOG and from WM_NCDESTROY on.
MainWindowState *StateOf(HWND window) {
  return reinterpret_cast<MainWindowState *>(GetWindowLongPtrA(window, DWLP_USER));
}

bool DateBoxChecked(HWND window) {
  return SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetFolderField(HWND window, const std::string &text) {
  SetWindowTextA(GetDlgItem(window, IDC_FOLDER), text.c_str());
}

// Puts folder with today's date folder into the field, remembering what it stands for.
void SetFolderWithDate(HWND window, MainWindowState &state, const std::string &folder) {
  state.dateFolder = DateFolderMemory{true, folder, WithDateFolder(folder)};
  SetFolderField(window, state.dateFolder.after);
}

// The text from before the date folder was added, while the field still holds what was added;
// otherwise (a field changed since) the text stays as it is: a date in it may be the user's own.
std::string WithoutDateFolder(const MainWindowState &state, const std::string &folder) {
  if (state.dateFolder.valid && folder == state.dateFolder.after) return state.dateFolder.before;
  return folder;
}

// A cancelled or refused choice leaves the field and the restore button as they were.
void Browse(HWND window, MainWindowState &state) {
  bool withDate = DateBoxChecked(window);  // read before the picker is shown
  std::string folder;
  if (!BrowseForBackupFolder(window, &folder)) return;
  if (withDate) {
    SetFolderWithDate(window, state, folder);
  } else {
    SetFolderField(window, folder);
  }
}

// An empty field stays empty: a date folder alone would lie at the root of the current drive.
void DateBoxChanged(HWND window, MainWindowState &state) {
  std::string folder = ReadFolderField(window);
  if (!folder.empty()) {
    if (DateBoxChecked(window)) {
      SetFolderWithDate(window, state, folder);
    } else {
      folder = WithoutDateFolder(state, folder);
      state.dateFolder = DateFolderMemory{};
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
RunResult RunHoldingSession(HWND window, MainWindowState &state, Run run) {
  state.busy.runUnderWay = true;
  BlockShutdown(window, true);
  MainWindowView view(window);
  const RunResult result = run(view);
  BlockShutdown(window, false);
  state.busy.runUnderWay = false;
  ApplyRestoreAvailability(window, ReadFolderField(window));
  return result;
}

// An empty field names no folder (the runs would use the root of the current drive): no run.
bool FolderChosen(HWND window) {
  if (!ReadFolderField(window).empty()) return true;
  MessageBoxA(window, kNoFolderText, kNoFolderCaption, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void Backup(HWND window, MainWindowState &state) {
  if (!FolderChosen(window)) return;
  const RunResult result = RunHoldingSession(window, state, RunBackup);
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
void Restore(HWND window, MainWindowState &state) {
  if (!FolderChosen(window)) return;
  if (MessageBoxA(window, kRestoreQuestion, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  const RunResult result = RunHoldingSession(window, state, RunRestore);
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
void RunCommand(HWND window, MainWindowState &state, void (*command)(HWND, MainWindowState &)) {
  state.busy = MainWindowState::Busy{};
  state.busy.underWay = true;
  state.busy.dateCheck = SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_GETCHECK, 0, 0);
  command(window, state);
  const bool close = state.busy.closeRequested;
  state.busy = MainWindowState::Busy{};
  if (state.windowGone) {
    delete &state;  // the window went during the command and left its object to it
    return;
  }
  if (close && IsWindow(window)) Quit(window);
}

// A command under way takes no other: the check box (which toggled itself) is put back.
void HandleCommandWhileBusy(HWND window, const MainWindowState &state, int id) {
  if (id == IDC_DATEFOLDER) {
    SendMessageA(GetDlgItem(window, IDC_DATEFOLDER), BM_SETCHECK, static_cast<WPARAM>(state.busy.dateCheck), 0);
  }
}

void HandleCommand(HWND window, MainWindowState &state, int id, WORD code) {
  bool clicked = code == BN_CLICKED || code == kFromAccelerator;
  if (state.busy.underWay) {
    HandleCommandWhileBusy(window, state, id);
    return;
  }
  switch (id) {
    case IDC_BROWSE:
      if (clicked) RunCommand(window, state, Browse);
      break;
    case IDC_BACKUP:
      if (clicked) RunCommand(window, state, Backup);
      break;
    case IDC_RESTORE:
      if (clicked) RunCommand(window, state, Restore);
      break;
    case IDC_QUIT:
      if (clicked) Quit(window);
      break;
    case IDC_DATEFOLDER:
      DateBoxChanged(window, state);
      break;
    default:  // the progress bar, status line, folder field, IDOK (Enter) and IDCANCEL (Escape)
      break;
  }
}

// The window keeps the object that its creator hands over; the creator frees it otherwise.
void TakeState(HWND window, LPARAM handedOver) {
  auto *handed = reinterpret_cast<std::unique_ptr<MainWindowState> *>(handedOver);
  if (!handed || !*handed) return;
  SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(handed->get()));
  if (StateOf(window) == handed->get()) handed->release();
}

// From WM_NCDESTROY on, no message reaches the object; a command still under way frees it at its end.
void DropState(HWND window, MainWindowState *state) {
  SetWindowLongPtrA(window, DWLP_USER, 0);
  if (state->busy.underWay) {
    state->windowGone = true;
  } else {
    delete state;
  }
}

}  // namespace

// Returns 0 for every message, so the default dialog processing follows, except for the session's
// end during a run. Messages before WM_INITDIALOG (WM_SETFONT) and after WM_NCDESTROY find no
// object and get the default processing alone.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    TakeState(window, lParam);
    return 0;
  }
  MainWindowState *state = StateOf(window);
  if (!state) return 0;
  switch (message) {
    case WM_COMMAND:
      HandleCommand(window, *state, LOWORD(wParam), HIWORD(wParam));
      break;
    case WM_QUERYENDSESSION:
      // During a run the session must not end: a dialog procedure answers through DWLP_MSGRESULT.
      if (state->busy.runUnderWay) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // A system close request ends the window like "Quit"; left to the default processing it
      // would only become IDCANCEL, which does nothing. While a command works, it waits for its end.
      if (state->busy.underWay) {
        state->busy.closeRequested = true;
      } else {
        Quit(window);
      }
      break;
    case WM_NCDESTROY:
      DropState(window, state);
      break;
    default:
      break;
  }
  return 0;
}
