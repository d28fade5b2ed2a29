// The main window: a dialog from an in-memory template, its controls from a table, its initial
// state and its modal message loop.
#include "app/main_window.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/control_ids.h"
#include "app/window_state.h"
#include "services/ansi_path.h"

namespace {

const char kCaption[] = "Brovink: Registry Sicherung";
const char kFontFace[] = "MS Sans Serif";
const WORD kFontPoints = 8;
const DWORD kWindowStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
const short kWindowX = 52, kWindowY = 64, kWindowWidth = 366, kWindowHeight = 122;
const char kBannerResource[] = "#102";

struct ControlRow {
  int id;
  const char *className;
  const char *text;  // nullptr: the current folder
  int x, y, cx, cy;  // dialog units
  DWORD style;
};

const DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// Creation order is z-order and tab order: "Wiederherstellen" stands left of "Sichern" but
// comes after it when tabbing.
const ControlRow kControls[] = {
    {IDC_BANNER, "STATIC", "", 0, 0, 366, 40, WS_CHILD | WS_VISIBLE | SS_BITMAP},
    {IDC_STATUS, "STATIC", "", 5, 45, 350, 10, WS_CHILD | WS_VISIBLE | SS_LEFT},
    {IDC_PROGRESS, PROGRESS_CLASSA, "", 5, 55, 355, 10, WS_CHILD | WS_VISIBLE},
    {IDC_FOLDERLABEL, "STATIC", "Backup-/Wiederherstellungsordner:", 5, 75, 350, 10, WS_CHILD | WS_VISIBLE | SS_LEFT},
    {IDC_FOLDER, "EDIT", nullptr, 5, 87, 310, 10, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | ES_LEFT},
    {IDC_BROWSE, "BUTTON", ">>", 320, 87, 40, 10, kButton},
    {IDC_BACKUP, "BUTTON", "Sichern", 85, 102, 75, 15, kButton},
    {IDC_RESTORE, "BUTTON", "Wiederherstellen", 5, 102, 75, 15, kButton},
    {IDC_DATEFOLDER, "BUTTON", "Ordner mit aktuellem Datum anlegen", 165, 102, 145, 15,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
    {IDC_QUIT, "BUTTON", "Quit", 320, 102, 40, 15, kButton},
};

// Template texts are UTF-16; the caption and the face name are ASCII, so each byte widens as is.
void AppendWide(std::vector<WORD> &words, const char *text) {
  for (const char *at = text; *at; at++) words.push_back(static_cast<unsigned char>(*at));
  words.push_back(0);
}

// DLGTEMPLATE without items, followed by no menu, the standard class, the caption, and the font.
// Returned as DWORDs because a template must be DWORD-aligned.
std::vector<DWORD> BuildTemplate() {
  std::vector<WORD> words;
  DLGTEMPLATE header{};
  header.style = kWindowStyle;
  header.dwExtendedStyle = 0;
  header.cdit = 0;
  header.x = kWindowX;
  header.y = kWindowY;
  header.cx = kWindowWidth;
  header.cy = kWindowHeight;
  const WORD *raw = reinterpret_cast<const WORD *>(&header);
  words.assign(raw, raw + sizeof header / sizeof(WORD));
  words.push_back(0);  // no menu
  words.push_back(0);  // the predefined dialog class
  AppendWide(words, kCaption);
  words.push_back(kFontPoints);
  AppendWide(words, kFontFace);
  std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
  std::copy(words.begin(), words.end(), reinterpret_cast<WORD *>(aligned.data()));
  return aligned;
}

// Loads bitmap 102 stretched to the banner's client size and hands it to the banner.
void LoadBanner(HWND banner, HINSTANCE instance) {
  RECT client{};
  GetClientRect(banner, &client);
  HANDLE bitmap = LoadImageA(instance, kBannerResource, IMAGE_BITMAP, client.right, client.bottom, LR_LOADMAP3DCOLORS);
  if (bitmap) SendMessageA(banner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

void CreateControls(HWND window, HINSTANCE instance, const std::string &folder) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  for (const ControlRow &row : kControls) {
    RECT rect{row.x, row.y, row.x + row.cx, row.y + row.cy};
    MapDialogRect(window, &rect);
    const char *text = row.text ? row.text : folder.c_str();
    HWND control = CreateWindowExA(0, row.className, text, row.style, rect.left, rect.top, rect.right - rect.left,
                                   rect.bottom - rect.top, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                   instance, nullptr);
    if (!control) continue;  // e.g. a class the common controls did not register
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.id == IDC_BANNER) LoadBanner(control, instance);
  }
}

// Reads and dispatches messages, each first offered to the dialog keyboard interface, until the
// window is gone.
void RunModal(HWND window) {
  MSG msg{};
  while (IsWindow(window)) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (!IsDialogMessageA(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (IsWindow(window)) DestroyWindow(window);  // the loop ended on WM_QUIT
}

}  // namespace

// The window takes its object over at WM_INITDIALOG (MainDialogProc); when it cannot, the object
// goes with this function.
HWND CreateMainWindow(HWND owner, HINSTANCE instance) {
  auto state = std::make_unique<MainWindowState>(instance ? instance : GetModuleHandleA(nullptr));
  const HINSTANCE from = state->instance;
  std::vector<DWORD> dialogTemplate = BuildTemplate();
  HWND window = CreateDialogIndirectParamA(from, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                                           MainDialogProc, reinterpret_cast<LPARAM>(&state));
  if (!window) return nullptr;
  // A current directory that the ANSI code page cannot spell leaves the field empty; the user is
  // told once the window shows.
  std::string folder;
  if (!ExactCurrentFolder(&folder)) folder.clear();
  CreateControls(window, from, folder);
  ApplyRestoreAvailability(window, folder);
  SetProgress(window, IDC_PROGRESS, 0);
  return window;
}

int ShowMainWindow(HWND owner, HINSTANCE instance) {
  HWND window = CreateMainWindow(owner, instance);
  if (!window) return 0;
  ShowWindow(window, SW_SHOW);
  std::string refused;
  if (!ExactCurrentFolder(&refused) && !refused.empty()) TellFolderRefused(window, refused);
  RunModal(window);
  return 0;  // the window ends only through Quit or a close request, both with 0
}
