// Finding and reading the program's windows from another process.
#include <cstdio>
#include <cstring>

#include "client.h"

namespace {

const char kCaption[] = "Brovink: Registry Sicherung";
const DWORD kSendTimeoutMs = 20000;
const DWORD kBusyTimeoutMs = 120000;

struct DialogSearch {
  const Target *target;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  DialogSearch *search = reinterpret_cast<DialogSearch *>(param);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == search->target->processId && window != search->target->main &&
      IsWindowVisible(window) && ClassOf(window) == "#32770")
    search->found.push_back(window);
  return TRUE;
}

}  // namespace

HWND WaitForMainWindow(Target &target, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(nullptr, kCaption);
    if (window && IsWindowVisible(window)) {
      target.main = window;
      target.threadId = GetWindowThreadProcessId(window, &target.processId);
      if (!target.process)
        target.process =
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, target.processId);
      if (!target.process) Fail("cannot open the program's process");
      return window;
    }
    if (GetTickCount() - start > timeoutMs)
      Fail(std::string("no visible window \"") + kCaption + "\" within " +
           std::to_string(timeoutMs) + " ms");
    Sleep(100);
  }
}

HWND ControlOf(const Target &target, int id) {
  if (!target.main) Fail("no main window yet (use the step \"window\" first)");
  if (id == 0) return target.main;
  HWND control = GetDlgItem(target.main, id);
  if (!control) Fail("the main window has no control with id " + std::to_string(id));
  return control;
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  // GetWindowText does not ask a window of another process for its text, so the message is sent;
  // while the program works inside a run it reads no messages, hence the generous timeout.
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result))
    Fail("the program did not answer message " + std::to_string(message) + " within " +
         std::to_string(kSendTimeoutMs) + " ms");
  return static_cast<LRESULT>(result);
}

std::string TextOf(HWND window) {
  LRESULT length = SendTo(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  LRESULT copied =
      SendTo(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::vector<HWND> OtherDialogs(const Target &target) {
  DialogSearch search{&target, {}};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string DescribeDialog(HWND dialog) {
  char caption[256] = "";
  GetWindowTextA(dialog, caption, sizeof caption);
  std::string text;
  HWND message = GetDlgItem(dialog, 0xFFFF);
  if (message) text = TextOf(message);
  return "box \"" + ShowAnsi(caption) + "\" saying \"" + ShowAnsi(text) + "\"";
}

void FailOnUnexpectedDialog(const Target &target) {
  std::vector<HWND> dialogs = OtherDialogs(target);
  if (!dialogs.empty()) Fail("unexpected " + DescribeDialog(dialogs.front()));
}

void Click(const Target &target, HWND control) {
  // Sent without waiting, so that it is handled before anything the client asks afterwards, and so
  // that a modal box it opens leaves the client free to answer.
  if (!SendNotifyMessageA(control, BM_CLICK, 0, 0)) Fail("cannot send the click");
  // A real click comes as posted input, which ends the GetMessage call of the program's loop once
  // it has been handled; a sent click is handled inside GetMessage, which then goes on waiting.
  // The empty thread message stands in for that input, so that the loop sees its window gone.
  PostThreadMessageA(target.threadId, WM_NULL, 0, 0);
  // Then waits until the program has handled the click: the empty message is answered once the
  // handler has returned or a modal box has started its own message loop.
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(target.main, WM_NULL, 0, 0, SMTO_NORMAL, kBusyTimeoutMs, &result) &&
      IsWindow(target.main))
    Fail("the program was busy for more than " + std::to_string(kBusyTimeoutMs) + " ms");
}

DWORD ParseStyle(const std::string &text) {
  struct Name {
    const char *name;
    DWORD value;
  };
  static const Name kNames[] = {
      {"WS_POPUP", WS_POPUP},         {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},     {"WS_DISABLED", WS_DISABLED},
      {"WS_CAPTION", WS_CAPTION},     {"WS_BORDER", WS_BORDER},
      {"WS_DLGFRAME", WS_DLGFRAME},   {"WS_SYSMENU", WS_SYSMENU},
      {"WS_THICKFRAME", WS_THICKFRAME}, {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
      {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX}, {"WS_TABSTOP", WS_TABSTOP},
      {"WS_VSCROLL", WS_VSCROLL},     {"WS_HSCROLL", WS_HSCROLL},
      {"DS_MODALFRAME", DS_MODALFRAME}, {"DS_SETFONT", DS_SETFONT},
      {"DS_NOFAILCREATE", DS_NOFAILCREATE}, {"DS_3DLOOK", DS_3DLOOK},
      {"DS_CENTER", DS_CENTER},       {"BS_PUSHBUTTON", BS_PUSHBUTTON},
      {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON}, {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
      {"SS_LEFT", SS_LEFT},           {"SS_BITMAP", SS_BITMAP},
      {"ES_READONLY", ES_READONLY},   {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
      {"ES_LEFT", ES_LEFT},           {"PBS_SMOOTH", PBS_SMOOTH},
  };
  DWORD style = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('|', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    bool known = false;
    for (const Name &name : kNames)
      if (word == name.name) {
        style |= name.value;
        known = true;
      }
    if (!known) {
      char *rest = nullptr;
      unsigned long number = std::strtoul(word.c_str(), &rest, 0);
      if (word.empty() || *rest) Fail("unknown style word \"" + word + "\"");
      style |= number;
    }
    start = end + 1;
  }
  return style;
}
