// The simulated window system where the application tests do not already show it: template
// parsing, class registration, the default dialog processing, the keyboard interface and the calls
// whose failures the program never meets.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sim_test.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  int checkAtCommand;
};
std::vector<Seen> g_seen;

INT_PTR CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  int check = -1;
  if (message == WM_COMMAND && lParam) check = static_cast<int>(SendMessageA(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0));
  (void)window;
  g_seen.push_back(Seen{message, wParam, lParam, check});
  return 0;
}

void AppendText(std::vector<WORD> &words, const std::u16string &text) {
  for (char16_t ch : text) words.push_back(static_cast<WORD>(ch));
  words.push_back(0);
}

// A DLGTEMPLATE without items; with a face name, DS_SETFONT and the font follow the caption.
std::vector<DWORD> Template(DWORD style, const std::u16string &caption, WORD points, const std::u16string &face) {
  std::vector<WORD> words;
  if (!face.empty()) style |= DS_SETFONT;
  DLGTEMPLATE header{style, 0, 0, 10, 8, 100, 50};
  const WORD *raw = reinterpret_cast<const WORD *>(&header);
  words.assign(raw, raw + sizeof header / sizeof(WORD));
  words.push_back(0);
  words.push_back(0);
  AppendText(words, caption);
  if (!face.empty()) {
    words.push_back(points);
    AppendText(words, face);
  }
  std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
  std::copy(words.begin(), words.end(), reinterpret_cast<WORD *>(aligned.data()));
  return aligned;
}

HWND MakeDialog(DWORD style = WS_POPUP | WS_CAPTION, const std::u16string &face = u"MS Sans Serif", WORD points = 8) {
  std::vector<DWORD> t = Template(style, u"T\u00e4st", points, face);
  return CreateDialogIndirectParamA(sim::ProgramInstance(), reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr,
                                    RecordingProc, 42);
}

HWND MakeButton(HWND dialog, int id, DWORD style) {
  return CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, dialog,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), sim::ProgramInstance(), nullptr);
}

class WindowSimTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    g_seen.clear();
  }
};

TEST_F(WindowSimTest, DialogComesFromItsTemplateHiddenAndInitialised) {
  HWND dialog = MakeDialog();
  ASSERT_NE(dialog, nullptr);
  sim::WindowInfo info = sim::Inspect(dialog);
  EXPECT_EQ(info.text, "T\xE4st");  // UTF-16 caption to Windows-1252
  EXPECT_EQ(info.faceName, "MS Sans Serif");
  EXPECT_EQ(info.pointSize, 8);
  EXPECT_EQ(info.baseUnitX, 6);
  EXPECT_EQ(info.baseUnitY, 13);
  EXPECT_EQ(info.style & WS_VISIBLE, 0u);
  // 10,8 and 100 x 50 dialog units: x*6/4 and y*13/8, rounded as MulDiv rounds.
  EXPECT_EQ(info.rect.left, 15);
  EXPECT_EQ(info.rect.top, 13);
  EXPECT_EQ(info.rect.right - info.rect.left, 150);
  EXPECT_EQ(info.rect.bottom - info.rect.top, 81);
  // The font arrives before WM_INITDIALOG, which carries the init parameter.
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_SETFONT));
  EXPECT_EQ(reinterpret_cast<HFONT>(g_seen[0].wParam), info.font);
  EXPECT_EQ(g_seen[1].message, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(g_seen[1].lParam, 42);

  RECT rect{5, 45, 355, 55};
  ASSERT_TRUE(MapDialogRect(dialog, &rect));
  EXPECT_EQ(rect.left, 8);     // 7.5 rounds up
  EXPECT_EQ(rect.right, 533);  // 532.5
  EXPECT_EQ(rect.top, 73);     // 73.125
  EXPECT_EQ(rect.bottom, 89);  // 89.375
  EXPECT_EQ(ShowWindow(dialog, SW_SHOW), FALSE);
  EXPECT_EQ(GetActiveWindow(), dialog);
}

TEST_F(WindowSimTest, FontsOutsideTheModelFailLoudly) {
  HWND system = MakeDialog(WS_POPUP, u"");
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(sim::Inspect(system).baseUnitX, 8);  // the system font
  EXPECT_EQ(MakeDialog(WS_POPUP, u"Arial", 10), nullptr);
  EXPECT_EQ(sim::WindowErrors().size(), 1u);
  sim::ClearWindowErrors();
}

TEST_F(WindowSimTest, ProgressClassExistsOnlyAfterTheCommonControlsRegisteredIt) {
  struct Row {
    const char *name;
    int init;  // 0 none, 1 InitCommonControls, 2 InitCommonControlsEx
    DWORD size, classes;
    bool created;
  };
  const Row rows[] = {
      {"no initialisation", 0, 0, 0, false},
      {"InitCommonControls", 1, 0, 0, true},
      {"Ex with the Win95 classes", 2, 8, ICC_WIN95_CLASSES, true},
      {"Ex without the progress class", 2, 8, 0x01, false},
      {"Ex with a wrong record size", 2, 12, ICC_PROGRESS_CLASS, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    if (row.init == 1) InitCommonControls();
    if (row.init == 2) {
      INITCOMMONCONTROLSEX init{row.size, row.classes};
      EXPECT_EQ(InitCommonControlsEx(&init), row.size == 8 ? TRUE : FALSE);
    }
    HWND dialog = MakeDialog();
    SetLastError(0xDEAD);
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 9, 9, dialog, nullptr, nullptr, nullptr);
    EXPECT_EQ(bar != nullptr, row.created);
    if (!row.created) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    }
    // The built-in classes always exist, whatever their spelling.
    EXPECT_NE(CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 9, 9, dialog, nullptr, nullptr, nullptr), nullptr);
  }
}

TEST_F(WindowSimTest, ButtonsNotifyTheirParentAndDisabledOnesIgnoreClicks) {
  HWND dialog = MakeDialog();
  HWND push = MakeButton(dialog, 7, BS_PUSHBUTTON);
  HWND box = MakeButton(dialog, 8, BS_AUTOCHECKBOX);
  g_seen.clear();
  SendMessageA(box, BM_CLICK, 0, 0);
  SendMessageA(push, BM_CLICK, 0, 0);
  EnableWindow(push, FALSE);
  SendMessageA(push, BM_CLICK, 0, 0);
  std::vector<Seen> commands;
  for (const Seen &s : g_seen) {
    if (s.message == WM_COMMAND) commands.push_back(s);
  }
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].wParam, MAKEWPARAM(8, BN_CLICKED));
  EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(box));
  EXPECT_EQ(commands[0].checkAtCommand, BST_CHECKED) << "the box toggles before it notifies";
  EXPECT_EQ(commands[1].wParam, MAKEWPARAM(7, BN_CLICKED));
  EXPECT_EQ(sim::CallLog().back(), "EnableWindow 7 0");
}

TEST_F(WindowSimTest, CloseRequestBecomesWmCloseAndAPostedCancel) {
  HWND dialog = MakeDialog();
  g_seen.clear();
  SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[1].message, static_cast<UINT>(WM_CLOSE));
  MSG msg{};
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);  // posted by the default processing
  EXPECT_EQ(msg.hwnd, dialog);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(msg.wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}

TEST_F(WindowSimTest, EnterPressesOnlyAButtonReachedByTab) {
  HWND dialog = MakeDialog();
  MakeButton(dialog, 7, BS_PUSHBUTTON | WS_TABSTOP);
  MakeButton(dialog, 8, BS_PUSHBUTTON | WS_TABSTOP);
  ShowWindow(dialog, SW_SHOW);
  EXPECT_EQ(sim::FocusedControl(), 7);
  auto press = [dialog](int key) {
    MSG msg{dialog, WM_KEYDOWN, static_cast<WPARAM>(key), 1, 0, {0, 0}};
    msg.hwnd = GetDlgItem(dialog, sim::FocusedControl());
    g_seen.clear();
    IsDialogMessageA(dialog, &msg);
  };
  press(VK_RETURN);  // the focus came with activation: the button is not the default
  ASSERT_EQ(g_seen.back().message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(g_seen.back().wParam, MAKEWPARAM(IDOK, BN_CLICKED));
  press(VK_TAB);
  EXPECT_EQ(sim::FocusedControl(), 8);
  press(VK_RETURN);
  EXPECT_EQ(g_seen.back().wParam, MAKEWPARAM(8, BN_CLICKED));
  press(VK_ESCAPE);
  EXPECT_EQ(g_seen.back().wParam, static_cast<WPARAM>(IDCANCEL));
}

TEST_F(WindowSimTest, ProgressBarHoldsItsPositionInsideTheRange) {
  InitCommonControls();
  HWND dialog = MakeDialog();
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 9, 9, dialog, reinterpret_cast<HMENU>(1), nullptr, nullptr);
  EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 150, 0), 0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 50)), MAKELONG(0, 100));
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 50);
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(-3), 0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(sim::Inspect(bar).position, 0);
}

TEST_F(WindowSimTest, TextCallsCutToTheBufferAndRejectDeadWindows) {
  HWND dialog = MakeDialog();
  char buffer[8];
  memset(buffer, 'x', sizeof buffer);
  SetWindowTextA(dialog, "Ordnername");
  EXPECT_EQ(GetWindowTextA(dialog, buffer, 5), 4);
  EXPECT_STREQ(buffer, "Ordn");
  EXPECT_EQ(GetWindowTextLengthA(dialog), 10);
  DestroyWindow(dialog);
  SetLastError(0);
  EXPECT_EQ(SetWindowTextA(dialog, "x"), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(IsWindow(dialog), FALSE);
}

TEST_F(WindowSimTest, LoadImageFindsOnlyTheProgramsBitmap) {
  struct Row {
    const char *name;
    HINSTANCE instance;
    LPCSTR resource;
    DWORD error;
  };
  const Row rows[] = {
      {"by number text", sim::ProgramInstance(), "#102", 0},
      {"by integer", sim::ProgramInstance(), MAKEINTRESOURCEA(102), 0},
      {"another number", sim::ProgramInstance(), "#103", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"another module", nullptr, "#102", ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(0);
    HANDLE image = LoadImageA(row.instance, row.resource, IMAGE_BITMAP, 0, 20, 0);
    EXPECT_EQ(image != nullptr, row.error == 0);
    EXPECT_EQ(GetLastError(), row.error);
    if (image) {
      EXPECT_EQ(sim::ImageSize(image).width, 464);  // 0 keeps the bitmap's own width
      EXPECT_EQ(sim::ImageSize(image).height, 20);
    }
  }
}

// The bare machine knows nothing of the program: no bitmap, no dialog font, no key of its own.
TEST_F(WindowSimTest, ProgramFactsComeOnlyFromTheMachineSetup) {
  sim::SetMachineSetup(nullptr);
  sim::Reset();
  SetLastError(0);
  EXPECT_EQ(LoadImageA(sim::ProgramInstance(), "#102", IMAGE_BITMAP, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_FALSE(sim::RegKeyExists("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole"));

  sim::AddBitmapResource(7, 30, 40);
  HANDLE image = LoadImageA(sim::ProgramInstance(), MAKEINTRESOURCEA(7), IMAGE_BITMAP, 0, 0, 0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(sim::ImageSize(image).width, 30);
  EXPECT_EQ(sim::ImageSize(image).height, 40);

  EXPECT_EQ(MakeDialog(WS_POPUP | WS_CAPTION, u"MS Sans Serif", 8), nullptr);
  sim::ClearWindowErrors();  // the refused template is reported; that is the point here
  sim::InstallFont("ms sans serif", 8, 7, 15);
  HWND dialog = MakeDialog(WS_POPUP | WS_CAPTION, u"MS Sans Serif", 8);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(sim::Inspect(dialog).baseUnitX, 7);
  EXPECT_EQ(sim::Inspect(dialog).baseUnitY, 15);
}

TEST_F(WindowSimTest, LoopWithNothingLeftToDoEndsAndReportsIt) {
  MSG msg{};
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(sim::WindowErrors().size(), 1u);
  sim::ClearWindowErrors();
}

TEST_F(WindowSimTest, ItemListsAreFreedOnceAndRestartNeedsTheShutdownPrivilege) {
  char name[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.pszDisplayName = name;
  sim::AnswerFolderDialog("D:\\Daten");
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  EXPECT_STREQ(name, "Daten");
  CoTaskMemFree(list);
  EXPECT_EQ(sim::LiveItemLists(), 0);
  CoTaskMemFree(list);
  EXPECT_EQ(sim::WindowErrors().size(), 1u);
  sim::ClearWindowErrors();

  SetLastError(0);
  EXPECT_EQ(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
  sim::SetPrivilegeEnabled("SeShutdownPrivilege", true);
  EXPECT_EQ(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0), TRUE);
  ASSERT_EQ(sim::ExitRequests().size(), 2u);
  EXPECT_EQ(sim::ExitRequests()[1].flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
}

}  // namespace

namespace {

// Message boxes: the scripted user acts on the main window inside the box's modal loop; an owned
// box disables its owner meanwhile; only the box's own buttons answer it.
TEST_F(WindowSimTest, MessageBoxRunsItsLoopDisablesItsOwnerAndTakesOnlyItsButtons) {
  HWND dialog = MakeDialog(WS_POPUP | WS_CAPTION | WS_VISIBLE);
  MakeButton(dialog, 8, BS_AUTOCHECKBOX);
  struct Row {
    const char *name;
    HWND owner;
    UINT type;
    int answer;
    int returned;
    bool ownerDisabledInside;
    bool clickReached;
    const char *error;  // the window error it causes, "" for none
  };
  const Row rows[] = {
      {"unowned: the window takes clicks", nullptr, MB_OK, IDOK, IDOK, false, true, ""},
      {"owned: the owner is disabled", dialog, MB_YESNO, IDNO, IDNO, true, false, ""},
      {"owned through a child: its dialog is disabled", GetDlgItem(dialog, 8), MB_YESNO, IDYES, IDYES, true, false, ""},
      {"IDYES is no button of MB_OK", nullptr, MB_OK, IDYES, IDOK, false, true, "the user answered 6 to a box of type 0"},
      {"IDOK is no button of MB_YESNO", nullptr, MB_YESNO, IDOK, IDNO, false, true, "the user answered 1 to a box of type 4"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SendMessageA(GetDlgItem(dialog, 8), BM_SETCHECK, BST_UNCHECKED, 0);
    g_seen.clear();
    bool disabledInside = false;
    sim::UserDo([&]() { disabledInside = (sim::Inspect(dialog).style & WS_DISABLED) != 0; });
    sim::UserClick(8);
    sim::UserAnswer(row.answer);
    EXPECT_EQ(MessageBoxA(row.owner, "text", "caption", row.type), row.returned);
    EXPECT_EQ(disabledInside, row.ownerDisabledInside);
    EXPECT_FALSE(sim::Inspect(dialog).style & WS_DISABLED) << "enabled again afterwards";
    bool clicked = std::any_of(g_seen.begin(), g_seen.end(), [](const Seen &s) { return s.message == WM_COMMAND; });
    EXPECT_EQ(clicked, row.clickReached);
    EXPECT_EQ(sim::MessageBoxes().back().answer, row.returned);
    std::string errors;
    for (const std::string &e : sim::WindowErrors()) errors += e;
    EXPECT_EQ(errors.rfind(row.error, 0), 0u) << errors;
    sim::ClearWindowErrors();
  }
  // A box owned by a disabled window leaves it disabled; a queued answer needs no loop.
  EnableWindow(dialog, FALSE);
  sim::AnswerMessageBox(IDYES);
  EXPECT_EQ(MessageBoxA(dialog, "text", "caption", MB_YESNO), IDYES);
  EXPECT_TRUE(sim::Inspect(dialog).style & WS_DISABLED);
  // Dead owners and unmodelled types fail; an answer with no box open is a problem of the test.
  SetLastError(0);
  EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x1234), "t", "c", MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  sim::UserAnswer(IDOK);
  MSG msg{};
  GetMessageA(&msg, nullptr, 0, 0);
  ASSERT_EQ(sim::WindowErrors().size(), 1u);
  EXPECT_EQ(sim::WindowErrors()[0], "the user answered a message box that is not open");
  sim::ClearWindowErrors();
}

// Names that Windows-1252 cannot spell: exact in the wide calls, best-fitted in the ANSI ones, and
// WideCharToMultiByte's flags and sizes.
TEST_F(WindowSimTest, WideNamesAndTheirAnsiForms) {
  sim::MakeFolders(sim::FsName(u"C:\\b\u0101ck"));
  sim::SetCurrentDirectory(sim::FsName(u"C:\\b\u0101ck"));
  char ansi[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, ansi), 7u);
  EXPECT_STREQ(ansi, "C:\\back");
  WCHAR wide[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryW(3, wide), 8u) << "the size needed, with the NUL";
  ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, wide), 7u);
  EXPECT_EQ(std::u16string(wide, wide + 7), u"C:\\b\u0101ck");
  EXPECT_FALSE(sim::FolderExists("C:\\back")) << "no ANSI path names it";

  struct Row {
    const char *name;
    std::u16string text;
    DWORD flags;
    std::string expected;
    BOOL usedDefault;
  };
  const Row rows[] = {
      {"exact, with the code page's own high bytes", u"\u00e4\u20ac\u0160", 0, "\xE4\x80\x8A", FALSE},
      {"best fit", u"b\u0101ck", 0, "back", FALSE},
      {"no best fit", u"b\u0101ck", WC_NO_BEST_FIT_CHARS, "b?ck", TRUE},
      {"nothing fits", u"\u0416", 0, "?", TRUE},
      {"a surrogate pair is one character", u"a\U0001F600", 0, "a?", TRUE},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<WCHAR> in(row.text.begin(), row.text.end());
    in.push_back(0);
    BOOL used = 7;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, row.flags, in.data(), -1, nullptr, 0, nullptr, nullptr),
              static_cast<int>(row.expected.size() + 1));
    char out[16];
    memset(out, 'x', sizeof out);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, row.flags, in.data(), -1, out, sizeof out, nullptr, &used),
              static_cast<int>(row.expected.size() + 1));
    EXPECT_EQ(std::string(out), row.expected);
    EXPECT_EQ(used, row.usedDefault);
  }
  WCHAR two[] = {'a', 'b', 0};
  char small[2];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, two, -1, small, sizeof small, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0x80, two, -1, small, sizeof small, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

}  // namespace
