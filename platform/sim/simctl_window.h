// Test control of the simulated window area: the main window's controls, the scripted user who
// drives the message loop and the folder dialog, and records of what the program asked of user32,
// comctl32, shell32 and ole32.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win32.h"

namespace sim {

// ---- the main window -------------------------------------------------------------------------
// The last dialog created (also after it was destroyed, so that a test can look at what it showed
// last), or nullptr. The functions below address children of it by id; they read the simulation's
// own records and keep working after the window is gone.
HWND MainWindow();
HWND Control(int id);  // nullptr when the main window has no such child
std::string ControlText(int id);
bool ControlEnabled(int id);
bool ControlChecked(int id);
// Every text set on the control (WM_SETTEXT, SetWindowTextA) in order; the creation text is not one.
std::vector<std::string> TextHistory(int id);
// Every PBM_SETPOS position in order, as sent (before the control holds it inside its range).
std::vector<int> ProgressHistory(int id);
int FocusedControl();  // id of the control with the keyboard focus, 0 when none has it
// True while the window has a shutdown-block reason (ShutdownBlockReasonCreate, not yet destroyed);
// the reason in *reason.
bool ShutdownBlocked(HWND window, std::u16string *reason = nullptr);

struct WindowInfo {
  bool alive = false;
  std::string className;  // "#32770" for dialogs
  std::string text;
  DWORD style = 0;  // WS_VISIBLE and WS_DISABLED follow ShowWindow and EnableWindow
  DWORD exStyle = 0;
  int id = 0;
  HWND parent = nullptr;  // the owner for a dialog
  RECT rect{};            // pixels: in the parent's client area; for a dialog, its client area on screen
  HFONT font = nullptr;   // WM_SETFONT (a dialog: the font made from its template)
  int check = 0;
  int rangeLow = 0, rangeHigh = 0, position = 0;  // progress bars
  HANDLE image = nullptr;                          // STM_SETIMAGE
  // Dialogs only: the template's font and the dialog base units derived from it.
  int pointSize = 0;
  std::string faceName;
  int baseUnitX = 0, baseUnitY = 0;
};
WindowInfo Inspect(HWND window);
std::vector<HWND> Children(HWND parent);  // in creation order, destroyed ones included
// The dialogs not destroyed yet, message boxes aside, in creation order.
std::vector<HWND> LiveDialogs();

// ---- what the program brings ---------------------------------------------------------------
// The machine starts with no program resources and no fonts but the system font; a test (or the
// machine setup, see sim::SetMachineSetup) adds what the program under test uses.
// An RT_BITMAP resource of the program (sim::ProgramInstance()) of that size in pixels.
void AddBitmapResource(int id, int width, int height);
// A font that dialog templates may name (DS_SETFONT), with its dialog base units at 96 DPI (the
// average character width and the height); the face compares without case.
void InstallFont(const std::string &face, int pointSize, int baseUnitX, int baseUnitY);

// ---- the scripted user -----------------------------------------------------------------------
// Actions run one at a time whenever GetMessageA finds the queue empty. A click goes to a control
// of MainWindow() (a disabled or hidden one ignores it); a key goes to the control with the focus.
void UserClick(int id);
void UserKey(int virtualKey);
void UserSysClose();  // WM_SYSCOMMAND SC_CLOSE (Alt+F4), ignored while the window is disabled
void UserDo(std::function<void()> action);
// Answers the innermost open message box (see simctl.h); with no box open it is a window error.
// While a box is open, clicks and close requests reach the main window only when it is enabled;
// keys would go to the box and are not modelled.
void UserAnswer(int answer);
// The answers for the next folder dialogs, in order.
void AnswerFolderDialog(const std::string &path);
void CancelFolderDialog();
int PendingUserActions();  // loop actions and folder answers not used yet
// Problems that must fail a test: GetMessageA with nothing left to do, a folder dialog nobody
// answered, a freed item list freed again, a template or call the simulation does not model, ...
const std::vector<std::string> &WindowErrors();
void ClearWindowErrors();  // once a test has checked the problems it provoked

// ---- records -----------------------------------------------------------------------------------
struct ImageLoad {
  HINSTANCE instance;
  std::string name;  // "#102" also for MAKEINTRESOURCE(102)
  UINT type;
  int cx, cy;
  UINT flags;
  HANDLE result;
};
const std::vector<ImageLoad> &ImageLoads();
struct BitmapSize {
  int width, height;
};
BitmapSize ImageSize(HANDLE image);  // {0, 0} for a handle LoadImageA did not give

struct CommonControlsInit {
  bool ex;         // InitCommonControlsEx, else InitCommonControls
  DWORD size;      // dwSize and dwICC as passed (0 for InitCommonControls)
  DWORD classes;
};
const std::vector<CommonControlsInit> &CommonControlsInits();
int ComInitCount();  // CoInitialize calls not yet balanced by CoUninitialize

struct ExitRequest {
  UINT flags;
  DWORD reason;
  BOOL result;
};
const std::vector<ExitRequest> &ExitRequests();

struct FolderDialogRecord {
  HWND owner;
  const void *root;
  bool displayBufferZeroed;  // the MAX_PATH bytes at pszDisplayName were all 0 at the call
  std::string title;         // bytes as passed
  UINT flags;
  bool callback;  // lpfn was set
  LPARAM lParam;
  bool comInitialized;
  std::string displayName;  // what the dialog wrote back ("" when cancelled)
};
const std::vector<FolderDialogRecord> &FolderDialogs();
int LiveItemLists();  // item lists the folder dialog returned and CoTaskMemFree did not free

}  // namespace sim
