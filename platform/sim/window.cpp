// Simulated user32 windows: dialogs built from in-memory templates, the STATIC, BUTTON, EDIT and
// progress controls, messages with the default dialog processing and the dialog keyboard
// interface, the message queue driven by the scripted user, message boxes, and the program's
// bitmap resource.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "internal.h"
#include "simctl.h"
#include "window_internal.h"

namespace {

enum class Kind { Dialog, Static, Button, Edit, Progress };

struct Window {
  HWND handle = nullptr;
  Kind kind = Kind::Static;
  std::string className;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  HWND parent = nullptr;  // owner for dialogs
  bool alive = true;
  RECT rect{};
  HFONT font = nullptr;
  std::vector<HWND> children;
  std::vector<std::string> textHistory;
  // Buttons.
  int check = BST_UNCHECKED;
  bool pressed = false;
  // Progress bars: range 0 to 100 and position 0 when created, as the control starts.
  int low = 0, high = 100, position = 0;
  std::vector<int> positions;
  // Statics.
  HANDLE image = nullptr;
  // Dialogs.
  DLGPROC proc = nullptr;
  int pointSize = 0;
  std::string faceName;
  int baseX = 0, baseY = 0;
  DWORD thread = 0;  // the thread that created it, whose loop its messages need
  // Message boxes: the buttons, and the one that ended the box (0 while it is open).
  bool messageBox = false;
  std::vector<int> boxButtons;
  int defaultButton = 0;
  int boxResult = 0;
  LONG_PTR msgResult = 0;  // DWLP_MSGRESULT: what a dialog procedure that handled a message answers
  LONG_PTR user = 0;       // DWLP_USER: the dialog procedure's own, 0 in a new dialog
  // ShutdownBlockReasonCreate: the reason shown while the window blocks the end of the session.
  bool blocksShutdown = false;
  std::u16string shutdownReason;
};

// A message sent to a window of another thread: the sender waits until the window's thread,
// looking for messages, has run it.
struct CrossThreadSend {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD thread;
  LRESULT result = 0;
  bool done = false;
};

struct UserAction {
  enum Type { Click, Key, SysClose, Do, Answer } type;
  int value;
  std::function<void()> action;
};

struct Bitmap {
  int width, height;
};

struct FontUnits {
  int x, y;  // dialog base units
};

struct WindowState {
  std::map<HWND, Window> windows;  // never erased before Reset, so pointers stay valid
  uintptr_t nextHandle = 0x20000;
  uintptr_t nextObject = 0x70000;
  HWND lastDialog = nullptr;
  HWND active = nullptr;
  HWND focus = nullptr;
  std::deque<MSG> queue;
  std::deque<UserAction> actions;
  std::vector<std::string> errors;
  std::map<HANDLE, Bitmap> bitmaps;
  std::map<int, Bitmap> bitmapResources;  // the program's RT_BITMAP resources by id
  std::map<std::pair<std::string, int>, FontUnits> fonts;  // by lower-case face and point size
  std::vector<sim::ImageLoad> imageLoads;
  int openBoxes = 0;  // message boxes whose modal loop runs
  std::deque<std::shared_ptr<CrossThreadSend>> crossThreadSends;
  std::vector<int> boxAnswers;  // queued with sim::AnswerMessageBox
  std::vector<sim::MessageBoxRecord> boxes;
  int unansweredBoxes = 0;
};

WindowState &state() {
  static WindowState s;
  return s;
}

void ResetWindows() { state() = WindowState{}; }
const sim_internal::ResetHook windowReset(ResetWindows);

constexpr DWORD kProcessId = 0x2A0;  // the test process, as GetWindowThreadProcessId names it
constexpr DWORD kStaticTypeMask = 0x1F;
constexpr DWORD kStaticRealSizeControl = 0x40;
constexpr DWORD kStaticCenterImage = 0x200;
constexpr DWORD kButtonTypeMask = 0x0F;
constexpr WPARAM kNoFocusYet = 0;

Window *Find(HWND handle) {
  auto it = state().windows.find(handle);
  return it == state().windows.end() ? nullptr : &it->second;
}

Window *Live(HWND handle) {
  Window *w = Find(handle);
  return w && w->alive ? w : nullptr;
}

bool IsDescendant(HWND child, HWND ancestor) {
  for (Window *w = Live(child); w && w->kind != Kind::Dialog; w = Live(w->parent)) {
    if (w->parent == ancestor) return true;
  }
  return false;
}

// Windows' MulDiv: the exact product divided with rounding half away from zero.
int MulDiv(int number, int numerator, int denominator) {
  long long product = static_cast<long long>(number) * numerator;
  long long half = denominator / 2;
  return static_cast<int>((product >= 0 ? product + half : product - half) / denominator);
}

std::string Lower(const std::string &text) {
  std::string out = text;
  for (char &ch : out) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return out;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void DestroyTree(HWND hwnd);

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  state().queue.push_back(msg);
}

HWND FindChild(HWND parent, int id) {
  Window *p = Live(parent);
  if (!p) return nullptr;
  for (HWND child : p->children) {
    Window *c = Live(child);
    if (c && c->id == id) return child;
  }
  return nullptr;
}

void SetFocusTo(HWND hwnd) {
  if (state().focus == hwnd) return;
  state().focus = hwnd;
  if (hwnd) Send(hwnd, WM_SETFOCUS, 0, 0);
}

bool CanTakeFocus(const Window &w) {
  return w.alive && (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED);
}

// GetNextDlgTabItem: the next (or previous) visible, enabled WS_TABSTOP control after `from` in
// creation order, wrapping around.
HWND NextTabItem(Window &dialog, HWND from, bool previous) {
  std::vector<HWND> order;
  for (HWND child : dialog.children) {
    Window *c = Live(child);
    if (c && CanTakeFocus(*c) && (c->style & WS_TABSTOP)) order.push_back(child);
  }
  if (order.empty()) return nullptr;
  size_t count = order.size();
  for (size_t i = 0; i < count; i++) {
    if (order[i] != from) continue;
    return previous ? order[(i + count - 1) % count] : order[(i + 1) % count];
  }
  return previous ? order.back() : order.front();
}

bool IsPushButton(const Window &w) {
  DWORD type = w.style & kButtonTypeMask;
  return w.kind == Kind::Button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// The dialog manager marks a push button that gains the focus through the keyboard as the default
// button (BS_DEFPUSHBUTTON) and takes the mark from the one that had it.
void SetDefaultButton(Window &dialog, HWND newDefault) {
  Window *target = Live(newDefault);
  for (HWND child : dialog.children) {
    Window *c = Live(child);
    if (!c || !IsPushButton(*c)) continue;
    DWORD type = (target && IsPushButton(*target) && child == newDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    c->style = (c->style & ~kButtonTypeMask) | type;
  }
}

// ---- window procedures ------------------------------------------------------------------------
LRESULT DefWindow(Window &w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      w.text = lParam ? reinterpret_cast<const char *>(lParam) : "";
      w.textHistory.push_back(w.text);
      return TRUE;
    }
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      size_t count = std::min(w.text.size(), static_cast<size_t>(wParam) - 1);
      char *buffer = reinterpret_cast<char *>(lParam);
      memcpy(buffer, w.text.data(), count);
      buffer[count] = '\0';
      return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w.text.size());
    case WM_SETFONT:
      w.font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w.font);
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) return Send(w.handle, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      DestroyTree(w.handle);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // DefWindowProc lets the session end
    default:
      return 0;
  }
}

// A button of a message box ends it with its id. Escape and the close command (IDCANCEL) end it
// only through a Cancel button, or as OK in a box with the OK button alone.
void EndMessageBox(Window &box, int id) {
  const std::vector<int> &buttons = box.boxButtons;
  if (id == IDCANCEL && buttons.size() == 1 && buttons[0] == IDOK) id = IDOK;
  if (std::find(buttons.begin(), buttons.end(), id) != buttons.end() && box.boxResult == 0) box.boxResult = id;
}

// DefDlgProc for the messages the dialog procedure left alone.
LRESULT DefDialog(Window &dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(dialog.font);
    case WM_SETFONT:
    case WM_INITDIALOG:
      return 0;
    case WM_CLOSE:
      // Posted, not sent, as DefDlgProc does.
      Post(dialog.handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
           reinterpret_cast<LPARAM>(FindChild(dialog.handle, IDCANCEL)));
      return 0;
    case WM_SETFOCUS: {
      // No control had the focus: the first tab stop gets it.
      HWND first = NextTabItem(dialog, nullptr, false);
      if (first) SetFocusTo(first);
      return 0;
    }
    case WM_NEXTDLGCTL: {
      HWND target = lParam ? reinterpret_cast<HWND>(wParam) : NextTabItem(dialog, state().focus, wParam != 0);
      if (target) SetFocusTo(target);
      SetDefaultButton(dialog, target);
      return 0;
    }
    case WM_COMMAND:
      if (dialog.messageBox) EndMessageBox(dialog, LOWORD(wParam));
      return 0;
    case DM_GETDEFID:
      if (dialog.messageBox) return MAKELONG(dialog.defaultButton, DC_HASDEFID);
      return MAKELONG(IDOK, DC_HASDEFID);  // no button was made the default with DM_SETDEFID
    default:
      return DefWindow(dialog, message, wParam, lParam);
  }
}

LRESULT DialogProc(Window &dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND handle = dialog.handle;
  dialog.msgResult = 0;  // DefDlgProc clears DWLP_MSGRESULT before it calls the procedure
  INT_PTR result = dialog.proc ? dialog.proc(handle, message, wParam, lParam) : 0;
  if (message == WM_INITDIALOG) return result;
  Window *still = Live(handle);
  // A procedure that handled the message gets no default processing; the answer is what it left
  // in DWLP_MSGRESULT.
  if (result) return still ? still->msgResult : 0;
  return still ? DefDialog(*still, message, wParam, lParam) : 0;
}

void NotifyParent(Window &control, WORD code) {
  Send(control.parent, WM_COMMAND, MAKEWPARAM(control.id, code), reinterpret_cast<LPARAM>(control.handle));
}

void ButtonClicked(Window &button) {
  if ((button.style & kButtonTypeMask) == BS_AUTOCHECKBOX) {
    button.check = button.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  }
  NotifyParent(button, BN_CLICKED);
}

LRESULT ButtonProc(Window &button, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD type = button.style & kButtonTypeMask;
  bool checkBox = type == BS_AUTOCHECKBOX;
  switch (message) {
    case BM_GETCHECK:
      return checkBox ? button.check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (checkBox) button.check = static_cast<int>(wParam) == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
      return 0;
    case BM_SETSTYLE:
      button.style = (button.style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF);
      return 0;
    case BM_CLICK:
      if (button.style & WS_DISABLED) return 0;  // a disabled button ignores the click
      Send(button.handle, WM_LBUTTONDOWN, 0, 0);
      Send(button.handle, WM_LBUTTONUP, 0, 0);
      return 0;
    case WM_LBUTTONDOWN:
      if (button.style & WS_DISABLED) return 0;
      SetFocusTo(button.handle);
      button.pressed = true;
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && !(button.style & WS_DISABLED)) button.pressed = true;
      return 0;
    case WM_LBUTTONUP:
    case WM_KEYUP: {
      if (message == WM_KEYUP && wParam != VK_SPACE) return 0;
      if (!button.pressed) return 0;
      button.pressed = false;
      ButtonClicked(button);
      return 0;
    }
    case WM_GETDLGCODE:
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      return DLGC_BUTTON;
    default:
      return DefWindow(button, message, wParam, lParam);
  }
}

LRESULT StaticProc(Window &control, UINT message, WPARAM wParam, LPARAM lParam) {
  bool bitmapStatic = (control.style & kStaticTypeMask) == SS_BITMAP;
  switch (message) {
    case STM_SETIMAGE: {
      if (!bitmapStatic || wParam != IMAGE_BITMAP) return 0;
      HANDLE old = control.image;
      control.image = reinterpret_cast<HANDLE>(lParam);
      // An SS_BITMAP static takes the size of its new bitmap, keeping its top-left corner.
      auto it = state().bitmaps.find(control.image);
      if (it != state().bitmaps.end() && !(control.style & (kStaticRealSizeControl | kStaticCenterImage))) {
        control.rect.right = control.rect.left + it->second.width;
        control.rect.bottom = control.rect.top + it->second.height;
      }
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
      return wParam == IMAGE_BITMAP ? reinterpret_cast<LRESULT>(control.image) : 0;
    default:
      return DefWindow(control, message, wParam, lParam);
  }
}

LRESULT EditProc(Window &edit, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      if (!(edit.style & WS_DISABLED)) SetFocusTo(edit.handle);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    default:
      return DefWindow(edit, message, wParam, lParam);
  }
}

LRESULT ProgressProc(Window &bar, UINT message, WPARAM wParam, LPARAM lParam) {
  auto hold = [&bar]() { bar.position = std::max(bar.low, std::min(bar.high, bar.position)); };
  switch (message) {
    case PBM_SETRANGE: {
      LRESULT old = MAKELONG(bar.low, bar.high);
      bar.low = LOWORD(lParam);
      bar.high = HIWORD(lParam);
      hold();
      return old;
    }
    case PBM_SETPOS: {
      int old = bar.position;
      bar.positions.push_back(static_cast<int>(wParam));
      bar.position = static_cast<int>(wParam);
      hold();
      return old;
    }
    case PBM_GETPOS:
      return bar.position;
    case PBM_GETRANGE:
      if (lParam) {
        int *range = reinterpret_cast<int *>(lParam);  // PBRANGE: iLow, iHigh
        range[0] = bar.low;
        range[1] = bar.high;
      }
      return wParam ? bar.low : bar.high;
    default:
      return DefWindow(bar, message, wParam, lParam);
  }
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *w = Live(hwnd);
  if (!w) return 0;
  switch (w->kind) {
    case Kind::Dialog:
      return DialogProc(*w, message, wParam, lParam);
    case Kind::Button:
      return ButtonProc(*w, message, wParam, lParam);
    case Kind::Static:
      return StaticProc(*w, message, wParam, lParam);
    case Kind::Edit:
      return EditProc(*w, message, wParam, lParam);
    case Kind::Progress:
      return ProgressProc(*w, message, wParam, lParam);
  }
  return 0;
}

// ---- showing, focus and the scripted user -----------------------------------------------------
void Show(Window &w, bool show) {
  bool topLevel = w.kind == Kind::Dialog;
  if (show) {
    w.style |= WS_VISIBLE;
    if (topLevel && state().active != w.handle) {
      // Activation gives the dialog the focus, and the dialog passes it to its first tab stop.
      state().active = w.handle;
      Send(w.handle, WM_ACTIVATE, 1, 0);
      if (!IsDescendant(state().focus, w.handle)) {
        state().focus = nullptr;
        Send(w.handle, WM_SETFOCUS, kNoFocusYet, 0);
      }
    }
  } else {
    w.style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (state().active == w.handle) state().active = nullptr;
    if (state().focus == w.handle || IsDescendant(state().focus, w.handle)) state().focus = nullptr;
  }
}

Window *MainDialog() { return Find(state().lastDialog); }

Window *MainControl(int id) {
  Window *dialog = MainDialog();
  if (!dialog) return nullptr;
  for (HWND child : dialog->children) {
    Window *c = Find(child);
    if (c && c->id == id) return c;
  }
  return nullptr;
}

void UserClickNow(int id) {
  Window *dialog = Live(state().lastDialog);
  Window *control = MainControl(id);
  if (!dialog || !control || !control->alive) {
    sim_internal::WindowError("the user clicked control " + std::to_string(id) + ", which is not there");
    return;
  }
  if (!(dialog->style & WS_VISIBLE)) {
    sim_internal::WindowError("the user clicked control " + std::to_string(id) + " of a hidden window");
    return;
  }
  // A disabled or hidden control (or one in a disabled window) gets no mouse input.
  if (!(control->style & WS_VISIBLE) || (control->style & WS_DISABLED) || (dialog->style & WS_DISABLED)) {
    sim_internal::Log("UserClick " + std::to_string(id) + " ignored");
    return;
  }
  Post(control->handle, WM_LBUTTONDOWN, 1, 0);
  Post(control->handle, WM_LBUTTONUP, 0, 0);
}

void UserKeyNow(int key) {
  // Keys go to the focus; with no focus the active window gets them as system keys.
  HWND focus = Live(state().focus) ? state().focus : nullptr;
  HWND target = focus ? focus : (Live(state().active) ? state().active : nullptr);
  if (!target) {
    sim_internal::WindowError("the user pressed a key with no window active");
    return;
  }
  Post(target, focus ? WM_KEYDOWN : WM_SYSKEYDOWN, static_cast<WPARAM>(key), 1);
  Post(target, focus ? WM_KEYUP : WM_SYSKEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(0xC0000001u));
}

// Runs the next scripted action; an answer is returned in *answer (0 when the action was none).
bool RunNextUserAction(int *answer = nullptr) {
  WindowState &s = state();
  if (s.actions.empty()) return false;
  UserAction next = s.actions.front();
  s.actions.pop_front();
  switch (next.type) {
    case UserAction::Click:
      UserClickNow(next.value);
      break;
    case UserAction::Key:
      if (s.openBoxes > 0) {
        sim_internal::WindowError("keys while a message box is open are not modelled");
      } else {
        UserKeyNow(next.value);
      }
      break;
    case UserAction::SysClose: {
      // Alt+F4 needs the window active, which a disabled window cannot be.
      Window *dialog = Live(s.lastDialog);
      if (!dialog) {
        sim_internal::WindowError("the user asked to close a window that is not there");
      } else if (dialog->style & WS_DISABLED) {
        sim_internal::Log("UserSysClose ignored");
      } else {
        Post(s.lastDialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      break;
    }
    case UserAction::Do:
      next.action();
      break;
    case UserAction::Answer:
      if (answer) {
        *answer = next.value;
      } else {
        sim_internal::WindowError("the user answered a message box that is not open");
      }
      break;
  }
  return true;
}

bool MatchesFilter(const MSG &msg, HWND hwnd, UINT low, UINT high) {
  if (hwnd && msg.hwnd != hwnd && !IsDescendant(msg.hwnd, hwnd)) return false;
  if (low == 0 && high == 0) return true;
  return msg.message >= low && msg.message <= high;
}

// ---- dialog templates -------------------------------------------------------------------------
struct TemplateReader {
  const unsigned char *at;
  WORD Word() {
    WORD w;
    memcpy(&w, at, sizeof w);
    at += sizeof w;
    return w;
  }
  // UTF-16 up to its NUL, as the ANSI code page holds it: Latin-1 characters pass, others give "?".
  std::string Text() {
    std::string out;
    for (WORD ch = Word(); ch != 0; ch = Word()) out.push_back(ch < 0x100 && (ch < 0x80 || ch >= 0xA0) ? static_cast<char>(ch) : '?');
    return out;
  }
  // A menu or class field: 0 none, 0xFFFF an ordinal, else a string. True when present.
  bool NameOrOrdinal() {
    WORD first = Word();
    if (first == 0) return false;
    if (first == 0xFFFF) {
      Word();
      return true;
    }
    for (WORD ch = Word(); ch != 0; ch = Word()) {
    }
    return true;
  }
};

// Dialog base units of the template's font at 96 DPI (the average character width and the height
// of the font): the system font's, or those of a font the test installed (sim::InstallFont).
bool BaseUnits(bool setFont, int pointSize, const std::string &face, int *x, int *y) {
  if (!setFont) {  // the system font
    *x = 8;
    *y = 16;
    return true;
  }
  auto it = state().fonts.find({Lower(face), pointSize});
  if (it == state().fonts.end()) return false;
  *x = it->second.x;
  *y = it->second.y;
  return true;
}

HANDLE NewObject() {
  state().nextObject += 0x10;
  return reinterpret_cast<HANDLE>(state().nextObject);
}

// LoadImageA's resource lookup in the program's bitmaps (sim::AddBitmapResource).
HANDLE LoadProgramBitmap(HINSTANCE instance, LPCSTR name, int cx, int cy, DWORD *error) {
  if (instance != sim::ProgramInstance()) {
    *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return nullptr;
  }
  int id = -1;
  if (reinterpret_cast<uintptr_t>(name) <= 0xFFFF) {
    id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  } else if (name[0] == '#') {
    id = atoi(name + 1);
  }
  auto resource = state().bitmapResources.find(id);
  if (resource == state().bitmapResources.end()) {
    *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    return nullptr;
  }
  HANDLE bitmap = NewObject();
  const Bitmap size = resource->second;
  state().bitmaps[bitmap] = Bitmap{cx > 0 ? cx : size.width, cy > 0 ? cy : size.height};
  return bitmap;
}

std::string ResourceName(LPCSTR name) {
  if (reinterpret_cast<uintptr_t>(name) <= 0xFFFF) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
  return name;
}

HWND NewWindow(Window w) {
  WindowState &s = state();
  s.nextHandle += 4;
  HWND handle = reinterpret_cast<HWND>(s.nextHandle);
  w.handle = handle;
  w.thread = sim_internal::CurrentThreadId();
  s.windows[handle] = std::move(w);
  return handle;
}

// WM_DESTROY goes to the window first and then down to its children.
void SendDestroy(HWND hwnd) {
  Window *w = Live(hwnd);
  if (!w) return;
  WindowState &s = state();
  if (s.focus == hwnd) s.focus = nullptr;
  if (s.active == hwnd) s.active = nullptr;
  Send(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children = Find(hwnd)->children;
  for (HWND child : children) SendDestroy(child);
}

// WM_NCDESTROY, each window's last message, goes to the children before their parent; the window
// is still valid while it handles it.
void FreeTree(HWND hwnd) {
  Window *w = Live(hwnd);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) FreeTree(child);
  Send(hwnd, WM_NCDESTROY, 0, 0);
  w = Find(hwnd);
  WindowState &s = state();
  w->alive = false;
  w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  std::deque<MSG> kept;
  for (const MSG &msg : s.queue) {
    if (msg.hwnd != hwnd) kept.push_back(msg);
  }
  s.queue = kept;
}

void DestroyTree(HWND hwnd) {
  if (!Live(hwnd)) return;
  SendDestroy(hwnd);
  FreeTree(hwnd);
}

// ---- messages between threads -----------------------------------------------------------------
constexpr auto kCrossThreadPatience = std::chrono::seconds(30);

bool HasSendsFor(DWORD thread) {
  for (const auto &send : state().crossThreadSends) {
    if (send->thread == thread) return true;
  }
  return false;
}

// Runs the messages other threads sent to this thread's windows, as a thread does whenever it looks
// for messages; true when it ran any.
bool RunSentMessages() {
  const DWORD me = sim_internal::CurrentThreadId();
  bool ran = false;
  for (;;) {
    auto &sends = state().crossThreadSends;
    auto it = std::find_if(sends.begin(), sends.end(), [me](const auto &send) { return send->thread == me; });
    if (it == sends.end()) return ran;
    std::shared_ptr<CrossThreadSend> send = *it;
    sends.erase(it);
    send->result = Send(send->hwnd, send->message, send->wParam, send->lParam);
    send->done = true;
    ran = true;
  }
}

// SendMessage to a window of another thread: queued for that thread, and waited for until it ran.
LRESULT SendToThread(DWORD thread, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto send = std::make_shared<CrossThreadSend>(CrossThreadSend{hwnd, message, wParam, lParam, thread});
  state().crossThreadSends.push_back(send);
  const auto deadline = std::chrono::steady_clock::now() + kCrossThreadPatience;
  if (!sim_internal::Lock().WaitUntil([&] { return send->done; }, deadline)) {
    auto &sends = state().crossThreadSends;
    sends.erase(std::remove(sends.begin(), sends.end(), send), sends.end());
    sim_internal::WindowError("a message sent to another thread's window was not handled within 30 s");
    return 0;
  }
  return send->result;
}

}  // namespace

// ---- shared with shell.cpp ---------------------------------------------------------------------
namespace sim_internal {
void WindowError(const std::string &problem) { state().errors.push_back(problem); }


}  // namespace sim_internal

// ---- control -----------------------------------------------------------------------------------
namespace sim {

HWND MainWindow() { return state().lastDialog; }

HWND Control(int id) {
  Window *c = MainControl(id);
  return c ? c->handle : nullptr;
}

std::string ControlText(int id) {
  Window *c = MainControl(id);
  return c ? c->text : "";
}

bool ControlEnabled(int id) {
  Window *c = MainControl(id);
  return c && !(c->style & WS_DISABLED);
}

bool ControlChecked(int id) {
  Window *c = MainControl(id);
  return c && c->check == BST_CHECKED;
}

std::vector<std::string> TextHistory(int id) {
  Window *c = MainControl(id);
  return c ? c->textHistory : std::vector<std::string>{};
}

std::vector<int> ProgressHistory(int id) {
  Window *c = MainControl(id);
  return c ? c->positions : std::vector<int>{};
}

int FocusedControl() {
  Window *w = Live(state().focus);
  return w && w->kind != Kind::Dialog && w->parent == state().lastDialog ? w->id : 0;
}

WindowInfo Inspect(HWND window) {
  WindowInfo info;
  Window *w = Find(window);
  if (!w) return info;
  info.alive = w->alive;
  info.className = w->className;
  info.text = w->text;
  info.style = w->style;
  info.exStyle = w->exStyle;
  info.id = w->id;
  info.parent = w->parent;
  info.rect = w->rect;
  info.font = w->font;
  info.check = w->check;
  info.rangeLow = w->low;
  info.rangeHigh = w->high;
  info.position = w->position;
  info.image = w->image;
  info.pointSize = w->pointSize;
  info.faceName = w->faceName;
  info.baseUnitX = w->baseX;
  info.baseUnitY = w->baseY;
  return info;
}

std::vector<HWND> Children(HWND parent) {
  Window *w = Find(parent);
  return w ? w->children : std::vector<HWND>{};
}

std::vector<HWND> LiveDialogs() {
  std::vector<HWND> dialogs;
  for (const auto &[handle, w] : state().windows) {
    if (w.alive && w.kind == Kind::Dialog && !w.messageBox) dialogs.push_back(handle);
  }
  return dialogs;
}

void UserClick(int id) { state().actions.push_back(UserAction{UserAction::Click, id, nullptr}); }
void UserKey(int virtualKey) { state().actions.push_back(UserAction{UserAction::Key, virtualKey, nullptr}); }
void UserSysClose() { state().actions.push_back(UserAction{UserAction::SysClose, 0, nullptr}); }
void UserDo(std::function<void()> action) {
  state().actions.push_back(UserAction{UserAction::Do, 0, std::move(action)});
}
void UserAnswer(int answer) { state().actions.push_back(UserAction{UserAction::Answer, answer, nullptr}); }

int PendingUserActions() { return static_cast<int>(state().actions.size()) + sim_internal::PendingFolderAnswers(); }

const std::vector<std::string> &WindowErrors() { return state().errors; }

bool ShutdownBlocked(HWND window, std::u16string *reason) {
  Window *w = Live(window);
  if (!w || !w->blocksShutdown) return false;
  if (reason) *reason = w->shutdownReason;
  return true;
}
void ClearWindowErrors() { state().errors.clear(); }

const std::vector<ImageLoad> &ImageLoads() { return state().imageLoads; }

BitmapSize ImageSize(HANDLE image) {
  auto it = state().bitmaps.find(image);
  if (it == state().bitmaps.end()) return BitmapSize{0, 0};
  return BitmapSize{it->second.width, it->second.height};
}

void AddBitmapResource(int id, int width, int height) { state().bitmapResources[id] = Bitmap{width, height}; }

void InstallFont(const std::string &face, int pointSize, int baseUnitX, int baseUnitY) {
  state().fonts[{Lower(face), pointSize}] = FontUnits{baseUnitX, baseUnitY};
}

void AnswerMessageBox(int answer, int times) {
  for (int i = 0; i < times; i++) state().boxAnswers.push_back(answer);
}

const std::vector<MessageBoxRecord> &MessageBoxes() { return state().boxes; }
int UnansweredMessageBoxes() { return state().unansweredBoxes; }
int PendingMessageBoxAnswers() { return static_cast<int>(state().boxAnswers.size()); }

}  // namespace sim

// ---- user32 ------------------------------------------------------------------------------------
HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  (void)hInstance;
  SIM_FAULT_LAST_ERROR("CreateDialogIndirectParamA", nullptr);
  if (!lpTemplate) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (hWndParent && !Live(hWndParent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  TemplateReader reader{reinterpret_cast<const unsigned char *>(lpTemplate)};
  WORD first = reader.Word();
  WORD second = reader.Word();
  if (first == 1 && second == 0xFFFF) {
    sim_internal::WindowError("DLGTEMPLATEEX is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  reader.at = reinterpret_cast<const unsigned char *>(lpTemplate) + sizeof(DLGTEMPLATE);
  bool menu = reader.NameOrOrdinal();
  bool windowClass = reader.NameOrOrdinal();
  std::string caption = reader.Text();
  bool setFont = (lpTemplate->style & DS_SETFONT) != 0;
  int pointSize = 0;
  std::string face;
  if (setFont) {
    pointSize = reader.Word();
    face = reader.Text();
  }
  int baseX = 0, baseY = 0;
  if (menu || windowClass || lpTemplate->cdit != 0 || !BaseUnits(setFont, pointSize, face, &baseX, &baseY)) {
    sim_internal::WindowError("dialog template with a menu, a class, items or font \"" + face + "\" " +
                      std::to_string(pointSize) + " is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  Window dialog;
  dialog.kind = Kind::Dialog;
  dialog.className = "#32770";
  dialog.text = caption;
  dialog.style = lpTemplate->style & ~static_cast<DWORD>(WS_VISIBLE);
  dialog.exStyle = lpTemplate->dwExtendedStyle;
  dialog.parent = hWndParent;
  dialog.proc = lpDialogFunc;
  dialog.pointSize = pointSize;
  dialog.faceName = face;
  dialog.baseX = baseX;
  dialog.baseY = baseY;
  // Without DS_CENTER the position counts from the owner's client area, or the screen.
  int left = MulDiv(lpTemplate->x, baseX, 4);
  int top = MulDiv(lpTemplate->y, baseY, 8);
  if (Window *owner = Live(hWndParent)) {
    left += owner->rect.left;
    top += owner->rect.top;
  }
  dialog.rect = RECT{left, top, left + MulDiv(lpTemplate->cx, baseX, 4), top + MulDiv(lpTemplate->cy, baseY, 8)};
  if (setFont) dialog.font = static_cast<HFONT>(NewObject());
  HWND handle = NewWindow(dialog);
  state().lastDialog = handle;
  sim_internal::Log("CreateDialogIndirectParamA");

  if (setFont) Send(handle, WM_SETFONT, reinterpret_cast<WPARAM>(Find(handle)->font), 0);
  if (!Live(handle)) return nullptr;
  INT_PTR focusDefault = Send(handle, WM_INITDIALOG, kNoFocusYet, dwInitParam);
  Window *w = Live(handle);
  if (!w) return nullptr;
  if (focusDefault) {
    HWND first = NextTabItem(*w, nullptr, false);
    if (first) SetFocusTo(first);
  }
  if (lpTemplate->style & WS_VISIBLE) Show(*w, true);
  return handle;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  (void)lpParam;
  SIM_FAULT_LAST_ERROR("CreateWindowExA", nullptr);
  std::string className = lpClassName && reinterpret_cast<uintptr_t>(lpClassName) > 0xFFFF ? Lower(lpClassName) : "";
  Kind kind;
  if (className == "static") {
    kind = Kind::Static;
  } else if (className == "button") {
    kind = Kind::Button;
  } else if (className == "edit") {
    kind = Kind::Edit;
  } else if (className == "msctls_progress32" && sim_internal::ProgressClassRegistered()) {
    kind = Kind::Progress;
  } else {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (!(dwStyle & WS_CHILD)) {
    sim_internal::WindowError("top-level windows of class " + className + " are not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!hWndParent) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  Window *parent = Live(hWndParent);
  if (!parent) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }

  Window control;
  control.kind = kind;
  control.className = lpClassName;
  control.text = lpWindowName ? lpWindowName : "";
  control.style = dwStyle;
  control.exStyle = dwExStyle;
  control.id = static_cast<int>(reinterpret_cast<intptr_t>(hMenu));
  control.parent = hWndParent;
  control.rect = RECT{X, Y, X + nWidth, Y + nHeight};
  HWND handle = NewWindow(control);
  Find(hWndParent)->children.push_back(handle);

  // An SS_BITMAP static's text names a bitmap resource that it loads at once, at its own size.
  Window *created = Find(handle);
  if (kind == Kind::Static && (dwStyle & kStaticTypeMask) == SS_BITMAP && !created->text.empty()) {
    DWORD ignored;
    HANDLE bitmap = LoadProgramBitmap(hInstance, created->text.c_str(), 0, 0, &ignored);
    if (bitmap) Send(handle, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  }
  return handle;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  SIM_FAULT_LAST_ERROR("MapDialogRect", FALSE);
  Window *dialog = Live(hDlg);
  if (!dialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (dialog->kind != Kind::Dialog || !lpRect) return FALSE;
  lpRect->left = MulDiv(lpRect->left, dialog->baseX, 4);
  lpRect->right = MulDiv(lpRect->right, dialog->baseX, 4);
  lpRect->top = MulDiv(lpRect->top, dialog->baseY, 8);
  lpRect->bottom = MulDiv(lpRect->bottom, dialog->baseY, 8);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  SIM_FAULT_LAST_ERROR("GetClientRect", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!lpRect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A dialog's rectangle is its client area already; a control's border takes a pixel each side.
  int border = w->kind != Kind::Dialog && (w->style & WS_BORDER) ? 1 : 0;
  if (w->exStyle & WS_EX_CLIENTEDGE) border += 2;
  *lpRect = RECT{0, 0, std::max(0, static_cast<int>(w->rect.right - w->rect.left) - 2 * border),
                 std::max(0, static_cast<int>(w->rect.bottom - w->rect.top) - 2 * border)};
  return TRUE;
}

HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
  SIM_FAULT_LAST_ERROR("LoadImageA", nullptr);
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HANDLE image = nullptr;
  if (type != IMAGE_BITMAP || (fuLoad & LR_LOADFROMFILE)) {
    sim_internal::WindowError("LoadImageA of anything but a bitmap resource is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
  } else {
    DWORD error = 0;
    image = LoadProgramBitmap(hInst, name, cx, cy, &error);
    if (!image) SetLastError(error);
  }
  state().imageLoads.push_back(sim::ImageLoad{hInst, ResourceName(name), type, cx, cy, fuLoad, image});
  return image;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  SIM_FAULT_LAST_ERROR("SendMessageA", 0);
  if (!Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const DWORD target = Find(hWnd)->thread;
  if (target != sim_internal::CurrentThreadId()) return SendToThread(target, hWnd, Msg, wParam, lParam);
  return Send(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  SIM_FAULT_LAST_ERROR("PostMessageA", FALSE);
  if (hWnd && !Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Post(hWnd, Msg, wParam, lParam);
  return TRUE;
}

// Takes the first queued message that passes the filter; with none queued, the scripted user takes
// the next action. When the script is used up, that is an error of the test: GetMessageA returns
// 0 (as for WM_QUIT) so that the loop ends instead of waiting for ever.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  SIM_FAULT_LAST_ERROR("GetMessageA", -1);
  if (!lpMsg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (hWnd && !Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  WindowState &s = state();
  for (;;) {
    RunSentMessages();  // messages other threads sent are handled inside GetMessage, never returned
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
      if (!MatchesFilter(*it, hWnd, wMsgFilterMin, wMsgFilterMax)) continue;
      *lpMsg = *it;
      s.queue.erase(it);
      return lpMsg->message != WM_QUIT;
    }
    if (!RunNextUserAction()) {
      sim_internal::WindowError("GetMessageA waited with nothing left for the user to do");
      *lpMsg = MSG{};
      lpMsg->message = WM_QUIT;
      return 0;
    }
    // An action that queued nothing (a test callback, an ignored click) still wakes the loop, as
    // any input would, so that it can see that its window is gone.
    if (s.queue.empty()) {
      *lpMsg = MSG{};
      lpMsg->message = WM_NULL;
      return TRUE;
    }
  }
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  SIM_FAULT_RESULT("IsDialogMessageA", FALSE);
  Window *dialog = Live(hDlg);
  if (!dialog || !lpMsg) return FALSE;
  if (lpMsg->hwnd != hDlg && !IsDescendant(lpMsg->hwnd, hDlg)) return FALSE;
  if (lpMsg->message == WM_KEYDOWN) {
    LRESULT wants = Send(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
    switch (lpMsg->wParam) {
      case VK_TAB:
        if (wants & (DLGC_WANTTAB | DLGC_WANTMESSAGE)) break;
        Send(hDlg, WM_NEXTDLGCTL, 0, 0);
        return TRUE;
      case VK_RETURN: {
        if (wants & DLGC_WANTMESSAGE) break;
        Window *focus = Live(state().focus);
        if (focus && IsDescendant(focus->handle, hDlg) && (Send(focus->handle, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
          Send(hDlg, WM_COMMAND, MAKEWPARAM(focus->id, BN_CLICKED), reinterpret_cast<LPARAM>(focus->handle));
          return TRUE;
        }
        LRESULT defId = Send(hDlg, DM_GETDEFID, 0, 0);
        if (HIWORD(defId) == DC_HASDEFID) {
          HWND button = FindChild(hDlg, LOWORD(defId));
          Window *b = Live(button);
          if (!b || !(b->style & WS_DISABLED)) {
            Send(hDlg, WM_COMMAND, MAKEWPARAM(LOWORD(defId), BN_CLICKED), reinterpret_cast<LPARAM>(button));
          }
        } else {
          Send(hDlg, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(FindChild(hDlg, IDOK)));
        }
        return TRUE;
      }
      case VK_ESCAPE:
        if (wants & DLGC_WANTMESSAGE) break;
        Send(hDlg, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(FindChild(hDlg, IDCANCEL)));
        return TRUE;
      default:
        break;
    }
  }
  // Everything else for the dialog is translated and dispatched here, as IsDialogMessage does.
  TranslateMessage(lpMsg);
  DispatchMessageA(lpMsg);
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  SIM_FAULT_RESULT("TranslateMessage", FALSE);
  if (!lpMsg) return FALSE;
  UINT message = lpMsg->message;
  if (message != WM_KEYDOWN && message != WM_KEYUP && message != WM_SYSKEYDOWN && message != WM_SYSKEYUP) return FALSE;
  WPARAM key = lpMsg->wParam;
  bool character = key == VK_RETURN || key == VK_ESCAPE || key == VK_TAB || key == VK_SPACE ||
                   (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
  if (message == WM_KEYDOWN && character) {
    WPARAM ch = (key >= 'A' && key <= 'Z') ? key - 'A' + 'a' : key;
    Post(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  SIM_FAULT_LAST_ERROR("DispatchMessageA", 0);
  if (!lpMsg || !Live(lpMsg->hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return Send(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  SIM_FAULT_LAST_ERROR("DestroyWindow", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  sim_internal::Log("DestroyWindow " + std::to_string(w->id));
  DestroyTree(hWnd);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  SIM_COUNT_CALL("IsWindow");
  return Live(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  SIM_FAULT_LAST_ERROR("ShowWindow", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL) {
    sim_internal::WindowError("ShowWindow " + std::to_string(nCmdShow) + " is not modelled");
    return wasVisible;
  }
  sim_internal::Log("ShowWindow " + std::to_string(w->id) + " " + std::to_string(nCmdShow));
  Show(*w, nCmdShow != SW_HIDE);
  return wasVisible;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  SIM_FAULT_LAST_ERROR("GetDlgItem", nullptr);
  if (!Live(hDlg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HWND child = FindChild(hDlg, nIDDlgItem);
  if (!child) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return child;
}

// Returns whether the window was disabled before. Disabling takes the focus from it.
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  SIM_FAULT_LAST_ERROR("EnableWindow", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  sim_internal::Log("EnableWindow " + std::to_string(w->id) + (bEnable ? " 1" : " 0"));
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (bEnable) {
    w->style &= ~static_cast<DWORD>(WS_DISABLED);
  } else {
    w->style |= WS_DISABLED;
    if (state().focus == hWnd || IsDescendant(state().focus, hWnd)) state().focus = nullptr;
  }
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  SIM_FAULT_LAST_ERROR("IsWindowEnabled", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return (w->style & WS_DISABLED) ? FALSE : TRUE;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  SIM_FAULT_LAST_ERROR("SetWindowTextA", FALSE);
  if (!Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return static_cast<BOOL>(Send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  SIM_FAULT_LAST_ERROR("GetWindowTextA", 0);
  if (!Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!lpString || nMaxCount <= 0) return 0;
  return static_cast<int>(Send(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  SIM_FAULT_LAST_ERROR("GetWindowTextLengthA", 0);
  if (!Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(Send(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

// The window's style, extended style or control id; other indexes are not modelled.
LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  SIM_FAULT_LAST_ERROR("GetWindowLongA", 0);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (nIndex) {
    case GWL_STYLE:
      return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exStyle);
    case GWL_ID:
      return w->id;
    default:
      sim_internal::WindowError("GetWindowLongA index " + std::to_string(nIndex) + " is not modelled");
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

namespace {

// A dialog's DWLP_MSGRESULT or DWLP_USER; other indexes and other windows are not modelled. A
// dialog's window has both slots whatever its procedure, so only the handle can be wrong.
LONG_PTR *DialogSlot(const char *api, HWND hWnd, int nIndex) {
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (w->kind == Kind::Dialog && nIndex == DWLP_MSGRESULT) return &w->msgResult;
  if (w->kind == Kind::Dialog && nIndex == static_cast<int>(DWLP_USER)) return &w->user;
  sim_internal::WindowError(std::string(api) + " index " + std::to_string(nIndex) + " is not modelled");
  SetLastError(ERROR_INVALID_INDEX);
  return nullptr;
}

}  // namespace

// The slot's value; a success leaves the last error as it was (0 may be the value).
LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  SIM_FAULT_LAST_ERROR("GetWindowLongPtrA", 0);
  LONG_PTR *slot = DialogSlot("GetWindowLongPtrA", hWnd, nIndex);
  return slot ? *slot : 0;
}

// Returns the value it replaces; a success leaves the last error as it was (0 may be that value).
LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  SIM_FAULT_LAST_ERROR("SetWindowLongPtrA", 0);
  LONG_PTR *slot = DialogSlot("SetWindowLongPtrA", hWnd, nIndex);
  if (!slot) return 0;
  const LONG_PTR old = *slot;
  *slot = dwNewLong;
  return old;
}

BOOL WINAPI ShutdownBlockReasonCreate(HWND hWnd, LPCWSTR pwszReason) {
  SIM_FAULT_LAST_ERROR("ShutdownBlockReasonCreate", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!pwszReason) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim_internal::Log("ShutdownBlockReasonCreate");
  w->blocksShutdown = true;
  w->shutdownReason.clear();
  for (const WCHAR *at = pwszReason; *at; at++) w->shutdownReason.push_back(static_cast<char16_t>(*at));
  return TRUE;
}

BOOL WINAPI ShutdownBlockReasonDestroy(HWND hWnd) {
  SIM_FAULT_LAST_ERROR("ShutdownBlockReasonDestroy", FALSE);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  sim_internal::Log("ShutdownBlockReasonDestroy");
  w->blocksShutdown = false;
  w->shutdownReason.clear();
  return TRUE;
}

HWND WINAPI GetActiveWindow(void) {
  SIM_COUNT_CALL("GetActiveWindow");
  return Live(state().active) ? state().active : nullptr;
}

// Top-level windows (dialogs), the most recent first; names compare exactly, classes without case.
HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  SIM_FAULT_LAST_ERROR("FindWindowA", nullptr);
  const bool classByName = lpClassName && reinterpret_cast<uintptr_t>(lpClassName) > 0xFFFF;
  if (lpClassName && !classByName) {  // class atoms are not modelled
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto &windows = state().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const Window &w = it->second;
    if (!w.alive || w.kind != Kind::Dialog) continue;
    if (classByName && Lower(w.className) != Lower(lpClassName)) continue;
    if (lpWindowName && w.text != lpWindowName) continue;
    return w.handle;
  }
  return nullptr;
}

// Visible when it and every parent up to its top-level window have WS_VISIBLE.
BOOL WINAPI IsWindowVisible(HWND hWnd) {
  SIM_COUNT_CALL("IsWindowVisible");
  for (Window *w = Live(hWnd); w; w = w->kind == Kind::Dialog ? nullptr : Live(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (w->kind == Kind::Dialog) return TRUE;
  }
  return FALSE;
}

// A child's parent; for a top-level window its owner.
HWND WINAPI GetParent(HWND hWnd) {
  SIM_FAULT_LAST_ERROR("GetParent", nullptr);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return w->parent;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  SIM_FAULT_LAST_ERROR("GetDlgCtrlID", 0);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->kind == Kind::Dialog ? 0 : w->id;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  SIM_FAULT_LAST_ERROR("GetWindowThreadProcessId", 0);
  Window *w = Live(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (lpdwProcessId) *lpdwProcessId = kProcessId;
  return w->thread;
}

// The active and the focus window of a thread (0: the foreground thread); the other members are
// not modelled and stay 0.
BOOL WINAPI GetGUIThreadInfo(DWORD idThread, PGUITHREADINFO pgui) {
  SIM_FAULT_LAST_ERROR("GetGUIThreadInfo", FALSE);
  if (!pgui || pgui->cbSize != sizeof(GUITHREADINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = pgui->cbSize;
  memset(pgui, 0, sizeof *pgui);
  pgui->cbSize = size;
  Window *active = Live(state().active);
  if (active && (idThread == 0 || active->thread == idThread)) {
    pgui->hwndActive = active->handle;
    if (Window *focus = Live(state().focus)) pgui->hwndFocus = focus->handle;
  }
  return TRUE;
}

// ---- user32: message boxes ---------------------------------------------------------------------
namespace {

using sim_internal::WindowError;

// The buttons of a box type, left to right.
std::vector<int> BoxButtons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return {IDOK};
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDRETRY, IDCANCEL};
    default:
      return {};
  }
}


const char *ButtonText(int id) {
  switch (id) {
    case IDOK:
      return "OK";
    case IDCANCEL:
      return "Cancel";
    case IDABORT:
      return "&Abort";
    case IDRETRY:
      return "&Retry";
    case IDIGNORE:
      return "&Ignore";
    case IDYES:
      return "&Yes";
    default:
      return "&No";
  }
}

// The box's dialog: class "#32770", the caption, the text in a static with id 0xFFFF and the type's
// buttons, the default one (MB_DEFBUTTON1 to 3, the first when there is no such button) a
// BS_DEFPUSHBUTTON. It is shown at once.
HWND NewMessageBox(HWND owner, const std::string &text, const std::string &caption, UINT type,
                   const std::vector<int> &buttons) {
  Window box;
  box.kind = Kind::Dialog;
  box.className = "#32770";
  box.text = caption;
  box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
  box.parent = owner;
  box.messageBox = true;
  box.boxButtons = buttons;
  const size_t defaultIndex = (type & MB_DEFMASK) >> 8;
  box.defaultButton = buttons[defaultIndex < buttons.size() ? defaultIndex : 0];
  HWND handle = NewWindow(box);
  Window label;
  label.kind = Kind::Static;
  label.className = "Static";
  label.text = text;
  label.style = WS_CHILD | WS_VISIBLE | SS_LEFT;
  label.id = 0xFFFF;
  label.parent = handle;
  std::vector<HWND> children = {NewWindow(label)};
  for (int id : buttons) {
    Window button;
    button.kind = Kind::Button;
    button.className = "Button";
    button.text = ButtonText(id);
    button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (id == Find(handle)->defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    button.id = id;
    button.parent = handle;
    children.push_back(NewWindow(button));
  }
  Find(handle)->children = children;
  return handle;
}

// The box's own loop, as the dialog manager runs it: every message of the thread is dispatched
// (the box has no keyboard interface here, keys are not modelled), and the owner stays disabled
// until the box ends. The box is active and its default button has the focus meanwhile; the owner
// gets both back. With the script used up, the loop waits for other threads that may still act
// (a message they send or post), as the real loop waits for input; with none left the box is
// unanswered.
int MessageBoxLoop(HWND owner, HWND box) {
  WindowState &s = state();
  HWND top = owner;
  while (Window *w = Live(top)) {
    if (w->kind == ::Kind::Dialog || !w->parent) break;
    top = w->parent;
  }
  Window *ownerWindow = owner ? Live(top) : nullptr;
  bool disabled = ownerWindow && !(ownerWindow->style & WS_DISABLED);
  if (disabled) ownerWindow->style |= WS_DISABLED;
  HWND savedActive = s.active, savedFocus = s.focus;
  s.active = box;
  s.focus = nullptr;
  SetFocusTo(FindChild(box, Find(box)->defaultButton));
  s.openBoxes++;
  const DWORD me = sim_internal::CurrentThreadId();
  int answer = 0;
  while (answer == 0) {
    Window *b = Live(box);
    if (b && b->boxResult) {
      answer = b->boxResult;
      break;
    }
    if (RunSentMessages()) continue;
    if (!s.queue.empty()) {
      MSG msg = s.queue.front();
      s.queue.pop_front();
      if (msg.message == WM_QUIT) {
        sim_internal::WindowError("WM_QUIT while a message box is open is not modelled");
        break;
      }
      Send(msg.hwnd, msg.message, msg.wParam, msg.lParam);
      continue;
    }
    if (RunNextUserAction(&answer)) continue;
    if (!sim_internal::AnotherThreadMayAct()) break;
    const auto deadline = std::chrono::steady_clock::now() + kCrossThreadPatience;
    const bool woken = sim_internal::Lock().WaitUntil(
        [&] { return HasSendsFor(me) || !s.queue.empty() || !sim_internal::AnotherThreadMayAct(); }, deadline);
    if (!woken) {
      sim_internal::WindowError("a message box waited 30 s for another thread to answer it");
      break;
    }
  }
  s.openBoxes--;
  DestroyTree(box);
  if (Window *w = disabled ? Live(top) : nullptr) w->style &= ~static_cast<DWORD>(WS_DISABLED);
  if (Live(savedActive)) s.active = savedActive;
  s.focus = nullptr;
  if (Window *f = Live(savedFocus)) {
    if (CanTakeFocus(*f)) s.focus = savedFocus;
  }
  return answer;
}
}  // namespace

// The box takes the scripted user's next queued answer, or else shows its dialog and runs its
// modal loop until the user (or another thread) answers it. A box nobody answered is counted and returns its last button, so that
// the test can report it rather than hang.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  WindowState &c = state();
  SIM_FAULT_LAST_ERROR("MessageBoxA", 0);
  if (hWnd && !Live(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  std::vector<int> buttons = BoxButtons(uType);
  if (buttons.empty()) {
    WindowError("message box type " + std::to_string(uType & MB_TYPEMASK) + " is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  sim_internal::Log(std::string("MessageBoxA ") + (lpCaption ? lpCaption : ""));
  size_t index = c.boxes.size();
  c.boxes.push_back(sim::MessageBoxRecord{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType, 0});
  int answer = 0;
  if (!c.boxAnswers.empty()) {
    answer = c.boxAnswers.front();
    c.boxAnswers.erase(c.boxAnswers.begin());
  } else {
    HWND box = NewMessageBox(hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType, buttons);
    answer = MessageBoxLoop(hWnd, box);
    if (answer == 0) {
      c.unansweredBoxes++;
      answer = buttons.back();
    }
  }
  if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
    WindowError("the user answered " + std::to_string(answer) + " to a box of type " +
                      std::to_string(uType & MB_TYPEMASK) + ", which has no such button");
    answer = buttons.back();
  }
  c.boxes[index].answer = answer;
  return answer;
}
