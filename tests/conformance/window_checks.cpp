// The dialog from an in-memory template and its controls: texts, styles, enable states, BM_CLICK,
// the check box and the progress bar; message boxes answered from a second thread; a dialog's
// DWLP_USER slot and its last messages.
#include <cstring>
#include <string>
#include <vector>

#include "check.h"

namespace conf {
namespace {

struct DialogLog {
  int initCount = 0;
  LPARAM initParam = 0;
  std::vector<std::pair<WPARAM, LPARAM>> commands;
};
DialogLog dialogLog;

INT_PTR CALLBACK RecordingProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    dialogLog.initCount++;
    dialogLog.initParam = lParam;
    return TRUE;
  }
  if (message == WM_COMMAND) {
    dialogLog.commands.push_back({wParam, lParam});
    return TRUE;
  }
  return FALSE;
}

void AppendWide(std::vector<WORD> &words, const char *text) {
  for (const char *at = text; *at; at++) words.push_back(static_cast<unsigned char>(*at));
  words.push_back(0);
}

// A DLGTEMPLATE without items, no menu, the dialog class, a caption and an 8-point font.
std::vector<DWORD> Template(DWORD style) {
  DLGTEMPLATE header{};
  header.style = style;
  header.cx = 200;
  header.cy = 100;
  const WORD *raw = reinterpret_cast<const WORD *>(&header);
  std::vector<WORD> words(raw, raw + sizeof header / sizeof(WORD));
  words.push_back(0);
  words.push_back(0);
  AppendWide(words, "Brovink conformance");
  words.push_back(8);
  AppendWide(words, "MS Shell Dlg");
  std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
  memcpy(aligned.data(), words.data(), words.size() * sizeof(WORD));
  return aligned;
}

std::string Text(HWND window) {
  char text[256];
  memset(text, 'x', sizeof text);
  int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

HWND Child(HWND dialog, const char *className, const char *text, DWORD style, int id) {
  return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 10, 10 + id * 2, 80, 20, dialog,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

// What a second thread saw of a message box it found and answered.
struct BoxWatch {
  HWND owner = nullptr;
  const char *caption = "";
  int answer = 0;       // the button to press
  bool byClick = true;  // BM_CLICK sent to the button; else WM_COMMAND posted to the box
  HWND box = nullptr;
  DWORD boxThread = 0;
  bool ownerDisabled = false;
  std::vector<int> buttons;  // visible buttons, by id
  int focused = 0;           // the control with the focus: the default button
  bool answered = false;
};

// Waits for the box to be shown, as a user would, then reads it and presses one of its buttons.
DWORD WINAPI AnswerBox(LPVOID parameter) {
  BoxWatch &watch = *static_cast<BoxWatch *>(parameter);
  HWND box = nullptr;
  for (int tries = 0; tries < 2000 && !(box && IsWindowVisible(box)); tries++) {
    box = FindWindowA("#32770", watch.caption);
    if (!(box && IsWindowVisible(box))) Sleep(5);
  }
  if (!box) return 1;
  watch.box = box;
  watch.boxThread = GetWindowThreadProcessId(box, nullptr);
  watch.ownerDisabled = watch.owner && !IsWindowEnabled(watch.owner);
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    HWND button = GetDlgItem(box, id);
    if (button && IsWindowVisible(button)) watch.buttons.push_back(id);
  }
  GUITHREADINFO info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(watch.boxThread, &info) && info.hwndFocus && GetParent(info.hwndFocus) == box) {
    watch.focused = GetDlgCtrlID(info.hwndFocus);
  }
  HWND button = GetDlgItem(box, watch.answer);
  if (watch.byClick) {
    SendMessageA(button, BM_CLICK, 0, 0);  // returns once the box's thread has handled it
    watch.answered = true;
  } else {
    watch.answered =
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(watch.answer, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
  }
  return 0;
}

// MessageBoxA while a second thread finds the box and answers it; the answer is MessageBoxA's.
int BoxAnsweredBy(BoxWatch &watch, const char *text, UINT type) {
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, AnswerBox, &watch, 0, &threadId);
  ok(thread != nullptr && threadId != 0, "CreateThread: error %lu", (unsigned long)GetLastError());
  if (!thread) return 0;
  int answer = MessageBoxA(watch.owner, text, watch.caption, type);
  ok(WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0, "the answering thread ends");
  CloseHandle(thread);
  ok(watch.box != nullptr && watch.answered, "\"%s\": another thread finds the box and answers it", watch.caption);
  ok(watch.boxThread == GetCurrentThreadId(), "the box belongs to the thread that called MessageBoxA");
  ok(!IsWindow(watch.box), "the box is gone once MessageBoxA returned");
  return answer;
}

void CheckMessageBoxes(HWND owner) {
  ok(IsWindowEnabled(owner), "the owner is enabled before its box");
  BoxWatch owned;
  owned.owner = owner;
  owned.caption = "Brovink conformance question";
  owned.answer = IDNO;
  int answer = BoxAnsweredBy(owned, "Wiederherstellen?", MB_YESNO | MB_ICONQUESTION);
  ok(answer == IDNO, "MessageBoxA returns the button clicked: %d", answer);
  ok(owned.buttons == std::vector<int>({IDYES, IDNO}), "an MB_YESNO box offers Yes and No alone (%u buttons)",
     (unsigned)owned.buttons.size());
  ok(owned.focused == IDYES, "the first button is the default one: %d", owned.focused);
  ok(owned.ownerDisabled, "the owner is disabled while its box is open");
  ok(IsWindowEnabled(owner), "the owner is enabled again after its box");

  BoxWatch unowned;
  unowned.caption = "Brovink conformance second";
  unowned.answer = IDYES;
  unowned.byClick = false;
  answer = BoxAnsweredBy(unowned, "Neu starten?", MB_YESNO | MB_DEFBUTTON2);
  ok(answer == IDYES, "a posted WM_COMMAND answers the box: %d", answer);
  ok(unowned.focused == IDNO, "MB_DEFBUTTON2 makes No the default: %d", unowned.focused);
}

// A dialog procedure that refuses the end of the session, as a dialog must: through
// DWLP_MSGRESULT, returning TRUE.
INT_PTR CALLBACK RefusingProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_QUERYENDSESSION) return message == WM_INITDIALOG;
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, FALSE);
  return TRUE;
}

void CheckSessionEnd(HWND agreeing, const std::vector<DWORD> &dialogTemplate) {
  ok(SendMessageA(agreeing, WM_QUERYENDSESSION, 0, 0) == TRUE,
     "a dialog procedure that leaves WM_QUERYENDSESSION alone lets the session end");
  HWND refusing = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), nullptr,
                                             RefusingProc, 0);
  ok(refusing != nullptr, "the refusing dialog: error %lu", (unsigned long)GetLastError());
  if (!refusing) return;
  ok(SendMessageA(refusing, WM_QUERYENDSESSION, 0, 0) == FALSE, "DWLP_MSGRESULT answers WM_QUERYENDSESSION");

  const WCHAR reason[] = {'l', 0xE4, 'u', 'f', 't', 0};
  SetLastError(0xdeadbeef);
  BOOL created = ShutdownBlockReasonCreate(refusing, reason);
  DWORD error = GetLastError();
  if (!skip_on_wine(ShutdownBlockReasonStub)) {
    ok(created, "ShutdownBlockReasonCreate on the process's own window: %lu", (unsigned long)error);
    ok(ShutdownBlockReasonDestroy(refusing), "ShutdownBlockReasonDestroy: %lu", (unsigned long)GetLastError());
  }
  DestroyWindow(refusing);
  SetLastError(0xdeadbeef);
  created = ShutdownBlockReasonCreate(refusing, reason);
  error = GetLastError();
  if (!skip_on_wine(ShutdownBlockReasonStub)) {
    ok(!created && error == ERROR_INVALID_WINDOW_HANDLE, "ShutdownBlockReasonCreate on a destroyed window: %d, %lu",
       created, (unsigned long)error);
  }
}

// What a dialog procedure saw of its DWLP_USER slot and of the end of its window.
struct UserSlotLog {
  LONG_PTR atInit = -1;         // DWLP_USER when WM_INITDIALOG came
  LONG_PTR replaced = -1;       // what SetWindowLongPtrA returned at WM_INITDIALOG
  LONG_PTR atDestroy = -1;      // DWLP_USER at WM_DESTROY
  LONG_PTR atNcDestroy = -1;    // DWLP_USER at WM_NCDESTROY
  std::vector<UINT> ends;       // WM_DESTROY and WM_NCDESTROY in the order they came
  int afterNcDestroy = 0;       // messages of any kind after WM_NCDESTROY
};
UserSlotLog userSlot;

INT_PTR CALLBACK UserSlotProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (!userSlot.ends.empty() && userSlot.ends.back() == WM_NCDESTROY) userSlot.afterNcDestroy++;
  switch (message) {
    case WM_INITDIALOG:
      userSlot.atInit = GetWindowLongPtrA(dialog, DWLP_USER);
      userSlot.replaced = SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      return FALSE;
    case WM_DESTROY:
      userSlot.ends.push_back(message);
      userSlot.atDestroy = GetWindowLongPtrA(dialog, DWLP_USER);
      return FALSE;
    case WM_NCDESTROY:
      userSlot.ends.push_back(message);
      userSlot.atNcDestroy = GetWindowLongPtrA(dialog, DWLP_USER);
      return FALSE;
    default:
      return FALSE;
  }
}

// A dialog's DWLP_USER: 0 in a new dialog, kept for its procedure until WM_NCDESTROY, the last
// message its window gets, after WM_DESTROY; gone with the window.
void CheckDialogUserSlot(const std::vector<DWORD> &dialogTemplate) {
  userSlot = UserSlotLog{};
  const LONG_PTR object = 0x5A5A1234;
  HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                           reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), nullptr,
                                           UserSlotProc, object);
  ok(dialog != nullptr, "the dialog with a user slot: error %lu", (unsigned long)GetLastError());
  if (!dialog) return;
  ok(userSlot.atInit == 0 && userSlot.replaced == 0, "DWLP_USER of a new dialog: %ld, replaced %ld",
     (long)userSlot.atInit, (long)userSlot.replaced);
  ok(GetWindowLongPtrA(dialog, DWLP_USER) == object, "DWLP_USER holds the WM_INITDIALOG parameter: %lx",
     (unsigned long)GetWindowLongPtrA(dialog, DWLP_USER));
  ok(SetWindowLongPtrA(dialog, DWLP_USER, object + 1) == object, "SetWindowLongPtrA returns the value it replaces");
  HWND child = Child(dialog, "BUTTON", "Quit", BS_PUSHBUTTON, 20);
  ok(child != nullptr, "a child of the dialog");
  ok(DestroyWindow(dialog), "DestroyWindow: error %lu", (unsigned long)GetLastError());
  ok(userSlot.ends == std::vector<UINT>({WM_DESTROY, WM_NCDESTROY}),
     "WM_DESTROY, then WM_NCDESTROY: %u messages", (unsigned)userSlot.ends.size());
  ok(userSlot.atDestroy == object + 1 && userSlot.atNcDestroy == object + 1,
     "DWLP_USER is still there at WM_DESTROY and WM_NCDESTROY: %lx %lx", (unsigned long)userSlot.atDestroy,
     (unsigned long)userSlot.atNcDestroy);
  ok(userSlot.afterNcDestroy == 0, "no message after WM_NCDESTROY: %d", userSlot.afterNcDestroy);
  ok(!IsWindow(child), "the child went with the dialog");
  SetLastError(0xdeadbeef);
  const LONG_PTR gone = GetWindowLongPtrA(dialog, DWLP_USER);
  ok(gone == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE, "DWLP_USER of a destroyed dialog: %ld, error %lu",
     (long)gone, (unsigned long)GetLastError());
}

}  // namespace

void CheckWindows() {
  InitCommonControls();
  const DWORD style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  std::vector<DWORD> dialogTemplate = Template(style);
  HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                           reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), nullptr,
                                           RecordingProc, 1234);
  ok(dialog != nullptr, "CreateDialogIndirectParamA: error %lu", (unsigned long)GetLastError());
  if (!dialog) return;
  ok(dialogLog.initCount == 1 && dialogLog.initParam == 1234, "WM_INITDIALOG %d times, parameter %ld",
     dialogLog.initCount, (long)dialogLog.initParam);
  ok(Text(dialog) == "Brovink conformance", "caption \"%s\"", Text(dialog).c_str());
  DWORD dialogStyle = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  ok((dialogStyle & WS_CAPTION) == WS_CAPTION && (dialogStyle & WS_SYSMENU) && !(dialogStyle & WS_VISIBLE),
     "dialog style %lx", (unsigned long)dialogStyle);
  ShowWindow(dialog, SW_SHOW);
  ok(GetWindowLongA(dialog, GWL_STYLE) & WS_VISIBLE, "visible after ShowWindow");

  HWND button = Child(dialog, "BUTTON", "Sichern", BS_PUSHBUTTON | WS_TABSTOP, 10);
  HWND check = Child(dialog, "Button", "Ordner", BS_AUTOCHECKBOX | WS_TABSTOP, 11);
  HWND edit = Child(dialog, "EDIT", "C:\\", WS_BORDER | ES_AUTOHSCROLL, 12);
  HWND label = Child(dialog, "STATIC", "l\xE4uft... ", SS_LEFT, 13);
  HWND progress = Child(dialog, PROGRESS_CLASSA, "", PBS_SMOOTH, 14);
  ok(button && check && edit && label && progress, "the controls: %p %p %p %p %p", (void *)button, (void *)check,
     (void *)edit, (void *)label, (void *)progress);
  if (!(button && check && edit && label && progress)) {
    DestroyWindow(dialog);
    return;
  }
  ok(GetDlgItem(dialog, 10) == button && GetDlgItem(dialog, 14) == progress, "GetDlgItem finds the controls");
  SetLastError(0xdeadbeef);
  HWND none = GetDlgItem(dialog, 99);
  ok(!none, "GetDlgItem of an unknown id");
  if (!skip_on_wine(GetDlgItemKeepsError)) {
    ok(GetLastError() == ERROR_CONTROL_ID_NOT_FOUND, "GetDlgItem of an unknown id: error %lu",
       (unsigned long)GetLastError());
  }
  ok(GetWindowLongA(button, GWL_ID) == 10, "GWL_ID %ld", (long)GetWindowLongA(button, GWL_ID));
  DWORD buttonStyle = static_cast<DWORD>(GetWindowLongA(button, GWL_STYLE));
  ok((buttonStyle & (WS_CHILD | WS_VISIBLE | WS_TABSTOP)) == (WS_CHILD | WS_VISIBLE | WS_TABSTOP) &&
         (buttonStyle & 0xF) == BS_PUSHBUTTON,
     "button style %lx", (unsigned long)buttonStyle);
  ok((GetWindowLongA(check, GWL_STYLE) & 0xF) == BS_AUTOCHECKBOX, "check box style");

  // Texts, as Windows-1252 bytes.
  ok(Text(button) == "Sichern" && Text(label) == "l\xE4uft... ", "control texts \"%s\" \"%s\"", Text(button).c_str(),
     Text(label).c_str());
  ok(SetWindowTextA(edit, "D:\\Sicherung\\2026-12-10"), "SetWindowTextA");
  ok(GetWindowTextLengthA(edit) == 23 && Text(edit) == "D:\\Sicherung\\2026-12-10", "edit text \"%s\"",
     Text(edit).c_str());
  char cut[5];
  int copied = GetWindowTextA(edit, cut, sizeof cut);
  ok(copied == 4 && strcmp(cut, "D:\\S") == 0, "GetWindowTextA into 5 bytes: %d \"%s\"", copied, cut);
  LRESULT sent = SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("fertig"));
  ok(sent == TRUE && Text(label) == "fertig", "WM_SETTEXT \"%s\"", Text(label).c_str());

  // Enable states: EnableWindow returns whether the window was disabled before.
  ok(IsWindowEnabled(button), "a new button is enabled");
  ok(!EnableWindow(button, FALSE), "EnableWindow FALSE on an enabled window returns FALSE");
  ok(!IsWindowEnabled(button) && (GetWindowLongA(button, GWL_STYLE) & WS_DISABLED), "disabled");
  ok(EnableWindow(button, FALSE), "EnableWindow FALSE again returns TRUE");
  ok(EnableWindow(button, TRUE), "EnableWindow TRUE on a disabled window returns TRUE");
  ok(IsWindowEnabled(button), "enabled again");

  // BM_CLICK: WM_COMMAND with BN_CLICKED and the control to the dialog.
  dialogLog.commands.clear();
  SendMessageA(button, BM_CLICK, 0, 0);
  ok(dialogLog.commands.size() == 1 && dialogLog.commands[0].first == MAKEWPARAM(10, BN_CLICKED) &&
         dialogLog.commands[0].second == reinterpret_cast<LPARAM>(button),
     "BM_CLICK: %u commands", (unsigned)dialogLog.commands.size());
  ok(SendMessageA(check, BM_GETCHECK, 0, 0) == BST_UNCHECKED, "check box starts unchecked");
  dialogLog.commands.clear();
  SendMessageA(check, BM_CLICK, 0, 0);
  ok(SendMessageA(check, BM_GETCHECK, 0, 0) == BST_CHECKED, "checked after BM_CLICK");
  ok(dialogLog.commands.size() == 1 && dialogLog.commands[0].first == MAKEWPARAM(11, BN_CLICKED),
     "check box click: %u commands", (unsigned)dialogLog.commands.size());
  SendMessageA(check, BM_SETCHECK, BST_UNCHECKED, 0);
  ok(SendMessageA(check, BM_GETCHECK, 0, 0) == BST_UNCHECKED, "BM_SETCHECK unchecks");

  // Progress bar: range 0 to 100 by default; PBM_SETPOS returns the old position and holds the
  // new one inside the range.
  LRESULT oldRange = SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  ok(oldRange == MAKELONG(0, 100), "PBM_SETRANGE returns the old range %lx", (unsigned long)oldRange);
  ok(SendMessageA(progress, PBM_SETPOS, 40, 0) == 0, "PBM_SETPOS returns the old position");
  ok(SendMessageA(progress, PBM_GETPOS, 0, 0) == 40, "PBM_GETPOS");
  ok(SendMessageA(progress, PBM_SETPOS, 150, 0) == 40 && SendMessageA(progress, PBM_GETPOS, 0, 0) == 100,
     "a position above the range is held at 100");

  CheckMessageBoxes(dialog);
  CheckSessionEnd(dialog, dialogTemplate);
  CheckDialogUserSlot(dialogTemplate);

  ok(DestroyWindow(dialog), "DestroyWindow");
  ok(!IsWindow(dialog) && !IsWindow(button), "dialog and controls are gone");
  SetLastError(0xdeadbeef);
  BOOL enabled = EnableWindow(button, TRUE);
  ok(!enabled && GetLastError() == ERROR_INVALID_WINDOW_HANDLE, "EnableWindow on a destroyed control: %lu",
     (unsigned long)GetLastError());
}

}  // namespace conf
