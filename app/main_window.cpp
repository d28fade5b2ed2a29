// The main window: a dialog from an in-memory template, its controls from a table, its initial
// state and its modal message loop.
#include "app/main_window.h"

#include <algorithm>
#include <vector>

#include "app/commands.h"
#include "app/control_ids.h"
#include "services/ansi_path.h"
#include "services/text_ops.h"
#include "workflows/backup_set.h"

namespace {

HINSTANCE g_instance = nullptr;

const char kCaption[] = "Brovink: Registry Sicherung";
const char kFontFace[] = "MS Sans Serif";
const WORD kFontPoints = 8;
const DWORD kWindowStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
const short kWindowX = 52, kWindowY = 64, kWindowWidth = 366, kWindowHeight = 122;
const char kBannerResource[] = "#102";
const char kRefusedCaption[] = "Ordner nicht verwendbar";
const char kRefusedBefore[] = "Der Ordner „";
const char kRefusedAfter[] =
    "“ kann nicht verwendet werden, weil sein Name Zeichen enthält, die das Programm nicht verarbeiten kann. "
    "Bitte wählen Sie einen anderen Ordner.";

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

HINSTANCE Instance() { return g_instance ? g_instance : GetModuleHandleA(nullptr); }

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

void SetMainInstance(HINSTANCE instance) { g_instance = instance; }

HWND CreateMainWindow(HWND owner) {
  HINSTANCE instance = Instance();
  std::vector<DWORD> dialogTemplate = BuildTemplate();
  HWND window = CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                                           MainDialogProc, 0);
  if (!window) return nullptr;
  // A current directory that the ANSI code page cannot spell leaves the field empty; the user is
  // told once the window shows.
  std::string folder;
  if (!ExactCurrentFolder(&folder)) folder.clear();
  CreateControls(window, instance, folder);
  ApplyRestoreAvailability(window, folder);
  SetProgress(window, IDC_PROGRESS, 0);
  return window;
}

int ShowMainWindow(HWND owner) {
  HWND window = CreateMainWindow(owner);
  if (!window) return 0;
  ShowWindow(window, SW_SHOW);
  std::string refused;
  if (!ExactCurrentFolder(&refused) && !refused.empty()) TellFolderRefused(window, refused);
  RunModal(window);
  return 0;  // the window ends only through Quit or a close request, both with 0
}

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
