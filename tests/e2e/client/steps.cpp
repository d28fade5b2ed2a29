// The script steps: each checks or does one thing the way a user or the system would see it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "client.h"
#include "services/event_log.h"

namespace {

const DWORD kDefaultTimeoutMs = 30000;

int Number(const std::string &word) {
  char *rest = nullptr;
  long value = std::strtol(word.c_str(), &rest, 0);
  if (word.empty() || *rest) Fail("not a number: \"" + word + "\"");
  return static_cast<int>(value);
}

void NeedWords(const std::vector<std::string> &words, size_t least, size_t most,
               const char *usage) {
  if (words.size() < least || words.size() > most) Fail(std::string("usage: ") + usage);
}

DWORD TimeoutOr(const std::vector<std::string> &words, size_t index) {
  return words.size() > index ? static_cast<DWORD>(Number(words[index])) : kDefaultTimeoutMs;
}

void WriteBytes(const std::string &file, const std::string &bytes) {
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) Fail("cannot create " + file);
  DWORD written = 0;
  BOOL ok = WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(handle);
  if (!ok || written != bytes.size()) Fail("cannot write " + file);
}

int ButtonId(const std::string &name) {
  struct Button {
    const char *name;
    int id;
  };
  static const Button kButtons[] = {{"ok", IDOK},   {"cancel", IDCANCEL}, {"abort", IDABORT},
                                    {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                                    {"no", IDNO}};
  for (const Button &button : kButtons)
    if (name == button.name) return button.id;
  Fail("unknown button \"" + name + "\" (ok, cancel, abort, retry, ignore, yes, no)");
}

// Splits "HKLM\SYSTEM\..." into its root and the rest.
HKEY ParseRoot(const std::string &path, std::string *subKey) {
  struct Root {
    const char *name;
    HKEY key;
  };
  static const Root kRoots[] = {{"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                                {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                                {"HKU", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS}};
  size_t slash = path.find('\\');
  std::string root = path.substr(0, slash);
  *subKey = slash == std::string::npos ? "" : path.substr(slash + 1);
  for (const Root &known : kRoots)
    if (root == known.name) return known.key;
  Fail("unknown registry root in \"" + path + "\"");
}

HWND WaitForDialog(const Target &target, DWORD timeoutMs, const char *what,
                   bool (*matches)(HWND, const std::string &), const std::string &key) {
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND dialog : OtherDialogs(target))
      if (matches(dialog, key)) return dialog;
    if (WaitForSingleObject(target.process, 0) == WAIT_OBJECT_0)
      Fail(std::string("the program ended while waiting for ") + what);
    if (GetTickCount() - start > timeoutMs) {
      std::vector<HWND> others = OtherDialogs(target);
      Fail(std::string("no ") + what + " within " + std::to_string(timeoutMs) + " ms" +
           (others.empty() ? "" : "; open instead: " + DescribeDialog(others.front())));
    }
    Sleep(100);
  }
}

bool HasCaption(HWND dialog, const std::string &caption) {
  char text[256] = "";
  GetWindowTextA(dialog, text, sizeof text);
  return caption == text;
}

BOOL CALLBACK FindChildText(HWND child, LPARAM param) {
  std::pair<const std::string *, bool> *search =
      reinterpret_cast<std::pair<const std::string *, bool> *>(param);
  if (ClassOf(child) == "Static" && TextOf(child) == *search->first) search->second = true;
  return !search->second;
}

bool ShowsText(HWND dialog, const std::string &text) {
  std::pair<const std::string *, bool> search(&text, false);
  EnumChildWindows(dialog, FindChildText, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void WaitUntilGone(HWND dialog, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    if (GetTickCount() - start > timeoutMs) Fail("the box did not close after the answer");
    Sleep(50);
  }
}

// window [TIMEOUT_MS]: waits for the main window and takes hold of its process.
void StepWindow(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 1, 2, "window [TIMEOUT_MS]");
  WaitForMainWindow(target, TimeoutOr(words, 1));
}

// expect ID key=value...: one control (0: the main window) as the user sees it.
void StepExpect(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 3, 99, "expect ID key=value...");
  HWND window = ControlOf(target, Number(words[1]));
  DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  std::string className = ClassOf(window);
  for (size_t i = 2; i < words.size(); ++i) {
    size_t equals = words[i].find('=');
    if (equals == std::string::npos) Fail("expected key=value, got \"" + words[i] + "\"");
    std::string key = words[i].substr(0, equals), value = words[i].substr(equals + 1);
    if (key == "class") {
      // Window class names are not case-sensitive: "BUTTON" is registered as "Button".
      if (lstrcmpiA(className.c_str(), value.c_str()) != 0)
        Fail("class is \"" + className + "\", expected \"" + value + "\"");
    } else if (key == "text") {
      std::string actual = TextOf(window), expected = ToAnsi(value);
      if (actual != expected)
        Fail("text is \"" + ShowAnsi(actual) + "\", expected \"" + ShowAnsi(expected) + "\"");
    } else if (key == "style") {
      DWORD wanted = ParseStyle(value);
      if ((style & wanted) != wanted) {
        char message[128];
        std::snprintf(message, sizeof message, "style 0x%08lX lacks 0x%08lX", style,
                      wanted & ~style);
        Fail(message);
      }
    } else if (key == "nostyle") {
      DWORD unwanted = ParseStyle(value);
      if (style & unwanted) {
        char message[128];
        std::snprintf(message, sizeof message, "style 0x%08lX has 0x%08lX", style,
                      style & unwanted);
        Fail(message);
      }
    } else if (key == "kind") {
      // The type in the low bits: BS_* for buttons, SS_* for statics.
      DWORD mask = lstrcmpiA(className.c_str(), "Static") == 0 ? SS_TYPEMASK : BS_TYPEMASK;
      DWORD wanted = ParseStyle(value);
      if ((style & mask) != wanted)
        Fail("kind is " + std::to_string(style & mask) + ", expected " + std::to_string(wanted));
    } else if (key == "enabled") {
      bool enabled = IsWindowEnabled(window) != FALSE;
      if (enabled != (Number(value) != 0))
        Fail(std::string("the control is ") + (enabled ? "enabled" : "disabled"));
    } else if (key == "checked") {
      LRESULT state = SendTo(window, BM_GETCHECK, 0, 0);
      if (state != Number(value)) Fail("check state is " + std::to_string(state));
    } else if (key == "bitmap") {
      bool has = SendTo(window, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
      if (has != (Number(value) != 0)) Fail(has ? "shows a bitmap" : "shows no bitmap");
    } else if (key == "pos") {
      LRESULT position = SendTo(window, PBM_GETPOS, 0, 0);
      if (position != Number(value)) Fail("position is " + std::to_string(position));
    } else {
      Fail("unknown key \"" + key + "\"");
    }
  }
}

// order ID...: the main window's children, first to last (creation order, z-order).
void StepOrder(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 99, "order ID...");
  std::string actual, expected;
  for (HWND child = GetWindow(ControlOf(target, 0), GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT))
    actual += std::to_string(GetDlgCtrlID(child)) + " ";
  for (size_t i = 1; i < words.size(); ++i) expected += words[i] + " ";
  if (actual != expected) Fail("children are " + actual + "expected " + expected);
}

// tabs ID...: Tab moves from the first id through the others and back to the first.
void StepTabs(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 99, "tabs ID...");
  HWND main = ControlOf(target, 0);
  HWND at = ControlOf(target, Number(words[1]));
  std::string actual = words[1] + " ", expected;
  for (size_t i = 1; i < words.size(); ++i) expected += words[i] + " ";
  expected += words[1] + " ";
  for (size_t i = 1; i < words.size(); ++i) {
    at = GetNextDlgTabItem(main, at, FALSE);
    actual += std::to_string(at ? GetDlgCtrlID(at) : -1) + " ";
  }
  if (actual != expected) Fail("Tab goes " + actual + "expected " + expected);
}

// click ID: a click on an enabled control, as the mouse would give it.
void StepClick(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "click ID");
  HWND control = ControlOf(target, Number(words[1]));
  if (!IsWindowEnabled(control)) Fail("control " + words[1] + " is disabled and cannot be clicked");
  Click(target, control);
}

// wait ID TEXT [TIMEOUT_MS]: until the control shows TEXT; a box on the way fails.
void StepWait(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 3, 4, "wait ID TEXT [TIMEOUT_MS]");
  HWND control = ControlOf(target, Number(words[1]));
  std::string expected = ToAnsi(words[2]), actual;
  DWORD timeout = TimeoutOr(words, 3), start = GetTickCount();
  for (;;) {
    FailOnUnexpectedDialog(target);
    actual = TextOf(control);
    if (actual == expected) return;
    if (GetTickCount() - start > timeout)
      Fail("text stayed \"" + ShowAnsi(actual) + "\", expected \"" + ShowAnsi(expected) + "\"");
    Sleep(100);
  }
}

// box CAPTION TEXT BUTTONS ANSWER [TIMEOUT_MS]: a message box of the program with exactly the
// buttons BUTTONS, the default one marked (such as yes*,no), answered with ANSWER. In TEXT each
// {CRLF} stands for a line break (CR LF), which a script line cannot hold.
void StepBox(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 5, 6, "box CAPTION TEXT BUTTONS ANSWER [TIMEOUT_MS]");
  std::string caption = ToAnsi(words[1]), text = ToAnsi(words[2]);
  for (size_t at = text.find("{CRLF}"); at != std::string::npos; at = text.find("{CRLF}", at + 2)) {
    text.replace(at, 6, "\r\n");
  }
  HWND box = WaitForDialog(target, TimeoutOr(words, 5), "message box", HasCaption, caption);
  HWND message = GetDlgItem(box, 0xFFFF);
  std::string actual = message ? TextOf(message) : std::string();
  if (actual != text)
    Fail("the box says \"" + ShowAnsi(actual) + "\", expected \"" + ShowAnsi(text) + "\"");
  // The buttons in a fixed order, the default one marked with a "*": the one with the focus, which
  // Enter presses.
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
  int defaultButton =
      info.hwndFocus && GetParent(info.hwndFocus) == box ? GetDlgCtrlID(info.hwndFocus) : 0;
  std::string buttons, wanted = words[3] + ",";
  static const char *const kNames[] = {"ok", "cancel", "abort", "retry", "ignore", "yes", "no"};
  for (const char *name : kNames) {
    HWND button = GetDlgItem(box, ButtonId(name));
    if (button && IsWindowVisible(button))
      buttons += std::string(name) + (ButtonId(name) == defaultButton ? "*," : ",");
  }
  if (buttons != wanted) Fail("the box has the buttons " + buttons + " expected " + wanted);
  HWND answer = GetDlgItem(box, ButtonId(words[4]));
  if (!answer) Fail("the box has no button " + words[4]);
  Click(target, answer);
  WaitUntilGone(box, kDefaultTimeoutMs);
}

// picker TITLE ANSWER: the shell's folder dialog showing TITLE, closed with ok or cancel.
void StepPicker(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 3, 4, "picker TITLE ok|cancel [TIMEOUT_MS]");
  HWND dialog =
      WaitForDialog(target, TimeoutOr(words, 3), "folder dialog", ShowsText, ToAnsi(words[1]));
  HWND answer = GetDlgItem(dialog, ButtonId(words[2]));
  if (!answer) Fail("the folder dialog has no button " + words[2]);
  Click(target, answer);
  WaitUntilGone(dialog, kDefaultTimeoutMs);
}

// nobox: no box of the program is open.
void StepNoBox(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 1, 1, "nobox");
  FailOnUnexpectedDialog(target);
}

// exit CODE [TIMEOUT_MS]: the program ends, with CODE.
void StepExit(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 3, "exit CODE [TIMEOUT_MS]");
  if (!target.process) Fail("no program yet (use the step \"window\" first)");
  DWORD timeout = TimeoutOr(words, 2), start = GetTickCount();
  while (WaitForSingleObject(target.process, 100) == WAIT_TIMEOUT) {
    // The clicks are sent, so a window ended inside a handler leaves the loop waiting in GetMessage
    // (the empty message of the click may have gone to a box's loop); an empty message wakes it,
    // as any input would.
    PostThreadMessageA(target.threadId, WM_NULL, 0, 0);
    FailOnUnexpectedDialog(target);
    if (GetTickCount() - start > timeout)
      Fail("the program is still running after " + std::to_string(timeout) + " ms");
  }
  DWORD code = 0;
  GetExitCodeProcess(target.process, &code);
  if (code != static_cast<DWORD>(Number(words[1])))
    Fail("exit code " + std::to_string(code) + ", expected " + words[1]);
}

// key ESCAPE|RETURN|TAB: a key pressed in the window, where the keyboard focus is.
void StepKey(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "key ESCAPE|RETURN|TAB");
  struct Key {
    const char *name;
    WPARAM code;
  };
  static const Key kKeys[] = {{"ESCAPE", VK_ESCAPE}, {"RETURN", VK_RETURN}, {"TAB", VK_TAB}};
  WPARAM code = 0;
  for (const Key &key : kKeys)
    if (words[1] == key.name) code = key.code;
  if (!code) Fail("unknown key " + words[1]);
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  HWND main = ControlOf(target, 0);
  GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
  HWND focus = info.hwndFocus ? info.hwndFocus : main;
  // Posted like real keyboard input, and so handled in order with other keys: a step that waits
  // for the effect of a later key knows that the earlier ones have been handled.
  PostMessageA(focus, WM_KEYDOWN, code, 1);
  PostMessageA(focus, WM_KEYUP, code, 0xC0000001);
}

// focus ID [TIMEOUT_MS]: until the keyboard focus is on that control of the main window.
void StepFocus(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 3, "focus ID [TIMEOUT_MS]");
  DWORD thread = GetWindowThreadProcessId(ControlOf(target, 0), nullptr);
  DWORD timeout = TimeoutOr(words, 2), start = GetTickCount();
  for (;;) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(thread, &info);
    int id = info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : -1;
    if (id == Number(words[1])) return;
    if (GetTickCount() - start > timeout) Fail("the focus stayed on " + std::to_string(id));
    Sleep(50);
  }
}

// sysclose: the system's close request (Alt+F4, or the task bar's "Close").
void StepSysClose(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 1, 1, "sysclose");
  if (!PostMessageA(ControlOf(target, 0), WM_SYSCOMMAND, SC_CLOSE, 0))
    Fail("cannot post the close request");
}

// stays MS: the main window is still there after MS milliseconds (a posted request, such as the
// close request, is not acted on meanwhile).
void StepStays(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "stays MS");
  DWORD wait = static_cast<DWORD>(Number(words[1])), start = GetTickCount();
  while (GetTickCount() - start < wait) {
    if (!IsWindow(target.main)) Fail("the main window is gone");
    Sleep(20);
  }
  if (!IsWindow(target.main)) Fail("the main window is gone");
}

// nowindow MS: for MS ms, no visible top-level window of the program's caption and no visible
// dialog or message box (class #32770) of any process appears; for a run without a window.
BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM param) {
  if (IsWindowVisible(window) && ClassOf(window) == "#32770") {
    *reinterpret_cast<HWND *>(param) = window;
    return FALSE;
  }
  return TRUE;
}

void StepNoWindow(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "nowindow MS");
  DWORD wait = static_cast<DWORD>(Number(words[1])), start = GetTickCount();
  do {
    HWND main = FindWindowA(nullptr, "Brovink: Registry Sicherung");
    if (main && IsWindowVisible(main)) Fail("the program's window appeared");
    HWND dialog = nullptr;
    EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) Fail("a dialog or message box appeared: \"" + TextOf(dialog) + "\"");
    Sleep(10);
  } while (GetTickCount() - start < wait);
}

// save ID FILE: the control's text bytes into FILE.
void StepSave(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 3, 3, "save ID FILE");
  WriteBytes(words[2], TextOf(ControlOf(target, Number(words[1]))));
}

// getenv NAME FILE: a variable of the environment that Wine gives its processes.
void StepGetEnv(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 3, 3, "getenv NAME FILE");
  char value[32768];
  DWORD length = GetEnvironmentVariableA(words[1].c_str(), value, sizeof value);
  if (length == 0 || length >= sizeof value) Fail("no environment variable " + words[1]);
  WriteBytes(words[2], std::string(value, length));
}

// regget KEY VALUE FILE: a string value's bytes (without its terminator) into FILE; a REG_DWORD
// value as dword:NUMBER.
void StepRegGet(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 4, 4, "regget KEY VALUE FILE");
  std::string subKey;
  HKEY root = ParseRoot(words[1], &subKey), key = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    Fail("cannot open " + words[1]);
  char data[4096];
  DWORD size = sizeof data - 1, type = 0;
  LONG status = RegQueryValueExA(key, words[2].c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE *>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) Fail("cannot read " + words[1] + " " + words[2]);
  data[size] = '\0';
  if (type == REG_DWORD && size == 4) {
    DWORD number;
    std::memcpy(&number, data, sizeof number);
    WriteBytes(words[3], "dword:" + std::to_string(number));
  } else if (type == REG_EXPAND_SZ) {
    WriteBytes(words[3], std::string("expand:") + data);
  } else {
    WriteBytes(words[3], data);
  }
}

// messages FILE: the message table of the program FILE holds exactly the event ids of the code
// (kEventIds), and each message shows an entry's one string as it stands, as Event Viewer formats
// it (FormatMessage with the string as %1).
void StepMessages(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "messages FILE");
  HMODULE module = LoadLibraryExA(words[1].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) Fail("cannot load " + words[1] + ": " + std::to_string(GetLastError()));
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), reinterpret_cast<LPCSTR>(RT_MESSAGETABLE));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto *table = loaded ? static_cast<const MESSAGE_RESOURCE_DATA *>(LockResource(loaded)) : nullptr;
  if (!table) {
    FreeLibrary(module);
    Fail("no message table in " + words[1]);
  }
  std::vector<DWORD> inTable;
  for (DWORD block = 0; block < table->NumberOfBlocks; block++) {
    for (DWORD id = table->Blocks[block].LowId; id <= table->Blocks[block].HighId; id++) inTable.push_back(id);
  }
  std::vector<DWORD> inCode(std::begin(kEventIds), std::end(kEventIds));
  std::sort(inTable.begin(), inTable.end());
  std::sort(inCode.begin(), inCode.end());
  std::string problems;
  if (inTable != inCode) {
    problems += "the table's ids differ from the code's:";
    for (DWORD id : inTable) problems += " " + std::to_string(id);
    problems += " against";
    for (DWORD id : inCode) problems += " " + std::to_string(id);
  }
  const char text[] = "Fehler in RegSaveKey: Fehlernummer:  5 in Datei D:\\B\\SAM \xE4%2";
  DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(text)};
  for (DWORD id : inCode) {
    char out[512];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, 0,
                                        out, sizeof out, reinterpret_cast<va_list *>(arguments));
    if (length == 0 || std::string(out, length) != text) {
      problems += " message " + std::to_string(id) + " gives \"" + std::string(out, length) + "\" (" +
                  std::to_string(GetLastError()) + ")";
    }
  }
  FreeLibrary(module);
  if (!problems.empty()) Fail(problems);
}

// nokey KEY: the key does not exist.
void StepNoKey(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "nokey KEY");
  std::string subKey;
  HKEY root = ParseRoot(words[1], &subKey), key = nullptr;
  LONG status = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_SUCCESS) {
    RegCloseKey(key);
    Fail("the key " + words[1] + " exists");
  }
  if (status != ERROR_FILE_NOT_FOUND) Fail("cannot look for " + words[1]);
}

// regset KEY VALUE TEXT: a REG_SZ value, the key created when missing.
void StepRegSet(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 4, 4, "regset KEY VALUE TEXT");
  std::string subKey, data = ToAnsi(words[3]);
  HKEY root = ParseRoot(words[1], &subKey), key = nullptr;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    Fail("cannot create " + words[1]);
  LONG status = RegSetValueExA(key, words[2].c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(data.c_str()),
                               static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) Fail("cannot write " + words[1] + " " + words[2]);
}

// device DRIVE FILE: the first device name of a drive (QueryDosDeviceA) into FILE.
void StepDevice(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 3, 3, "device DRIVE FILE");
  char name[1024];
  if (!QueryDosDeviceA(words[1].c_str(), name, sizeof name)) Fail("no device for " + words[1]);
  WriteBytes(words[2], name);
}

// hold FILE [read]: another process keeps FILE open for reading until the client ends, allowing
// every sharing, or with "read" only others' reading (so that nobody can write it).
void StepHold(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 2, 3, "hold FILE [read]");
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  if (words.size() == 3) {
    if (words[2] != "read") Fail("hold FILE [read]");
    share = FILE_SHARE_READ;
  }
  HANDLE file = CreateFileA(words[1].c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot open " + words[1]);
  // The handle stays open on purpose: the process's end closes it.
}

// typein TITLE TEXT: TEXT typed into the edit control of another program's window TITLE (such as
// "Untitled - Notepad"), character by character, as the keyboard would.
void StepTypeIn(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 3, 3, "typein TITLE TEXT");
  HWND window = nullptr;
  for (int tries = 0; tries < 600 && !window; tries++) {
    window = FindWindowA(nullptr, ToAnsi(words[1]).c_str());
    if (!window) Sleep(50);
  }
  if (!window) Fail("no window \"" + words[1] + "\"");
  HWND edit = FindWindowExA(window, nullptr, "Edit", nullptr);
  if (!edit) Fail("the window \"" + words[1] + "\" has no edit control");
  for (char c : ToAnsi(words[2])) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// shown TITLE MS: a window TITLE of any program is there after MS milliseconds.
void StepShown(Target &, const std::vector<std::string> &words) {
  NeedWords(words, 3, 3, "shown TITLE MS");
  Sleep(static_cast<DWORD>(Number(words[2])));
  if (!FindWindowA(nullptr, ToAnsi(words[1]).c_str())) Fail("no window \"" + words[1] + "\"");
}

// queryend ANSWER: the main window is asked, as before a log-off, whether the session may end
// (WM_QUERYENDSESSION, sent as the system sends it); ANSWER is 1 (yes) or 0 (no).
void StepQueryEnd(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "queryend 0|1");
  if (!target.main) WaitForMainWindow(target, 2000);
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(target.main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                           kDefaultTimeoutMs, &answer)) {
    Fail("the window did not answer WM_QUERYENDSESSION");
  }
  if ((answer ? 1 : 0) != Number(words[1]))
    Fail("WM_QUERYENDSESSION answered " + std::to_string(answer) + ", expected " + words[1]);
}

// rect FILE: where the main window is on the screen, as WIDTHxHEIGHT+X+Y (for cutting screenshots).
void StepRect(Target &target, const std::vector<std::string> &words) {
  NeedWords(words, 2, 2, "rect FILE");
  if (!target.main) WaitForMainWindow(target, 2000);
  RECT rect;
  if (!GetWindowRect(target.main, &rect)) Fail("cannot get the window's rectangle");
  char text[64];
  std::snprintf(text, sizeof text, "%ldx%ld+%ld+%ld", rect.right - rect.left,
                rect.bottom - rect.top, rect.left, rect.top);
  WriteBytes(words[1], text);
}

}  // namespace

void RunStep(Target &target, const std::vector<std::string> &words) {
  struct Step {
    const char *name;
    void (*run)(Target &, const std::vector<std::string> &);
  };
  static const Step kSteps[] = {
      {"window", StepWindow}, {"expect", StepExpect}, {"order", StepOrder},
      {"tabs", StepTabs},     {"click", StepClick},   {"wait", StepWait},
      {"box", StepBox},       {"picker", StepPicker}, {"nobox", StepNoBox},
      {"exit", StepExit},     {"save", StepSave},     {"getenv", StepGetEnv},
      {"regget", StepRegGet}, {"regset", StepRegSet}, {"device", StepDevice},
      {"nokey", StepNoKey},   {"key", StepKey},       {"sysclose", StepSysClose},
      {"focus", StepFocus},   {"stays", StepStays},   {"hold", StepHold},
      {"rect", StepRect},     {"nowindow", StepNoWindow}, {"messages", StepMessages},
      {"queryend", StepQueryEnd}, {"typein", StepTypeIn},     {"shown", StepShown},
  };
  for (const Step &step : kSteps)
    if (words[0] == step.name) return step.run(target, words);
  Fail("unknown step \"" + words[0] + "\"");
}
