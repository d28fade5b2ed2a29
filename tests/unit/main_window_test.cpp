// The main window: its template and controls, the banner, the restore button at start, the
// progress bar and the tab order through the real modal loop.
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "sim_test.h"

namespace {

const DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

class MainWindowTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    InitCommonControls();
  }
};

TEST_F(MainWindowTest, DialogIsTheFixedHiddenWindowOfTheTemplate) {
  HWND window = CreateMainWindow(nullptr);
  ASSERT_NE(window, nullptr);
  sim::WindowInfo info = sim::Inspect(window);
  EXPECT_EQ(info.text, "Brovink: Registry Sicherung");
  EXPECT_EQ(info.style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE |
                                           DS_3DLOOK));  // hidden: no WS_VISIBLE; no system menu
  EXPECT_EQ(info.exStyle, 0u);
  EXPECT_EQ(info.parent, nullptr);
  EXPECT_EQ(info.faceName, "MS Sans Serif");
  EXPECT_EQ(info.pointSize, 8);
  // 52,64 and 366 x 122 dialog units with the font's base units 6 x 13.
  EXPECT_EQ(info.rect.left, 78);
  EXPECT_EQ(info.rect.top, 104);
  EXPECT_EQ(info.rect.right - info.rect.left, 549);
  EXPECT_EQ(info.rect.bottom - info.rect.top, 198);
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

// Pixel rectangles are the dialog-unit rectangles through MapDialogRect (x * 6 / 4, y * 13 / 8,
// halves rounded up), computed by hand.
TEST_F(MainWindowTest, ControlsFollowTheTableInCreationOrder) {
  struct Row {
    int id;
    const char *className;
    const char *text;
    RECT rect;
    DWORD style;
  };
  const Row rows[] = {
      {IDC_BANNER, "STATIC", "", {0, 0, 549, 65}, WS_CHILD | WS_VISIBLE | SS_BITMAP},
      {IDC_STATUS, "STATIC", "", {8, 73, 533, 89}, WS_CHILD | WS_VISIBLE | SS_LEFT},
      {IDC_PROGRESS, "msctls_progress32", "", {8, 89, 540, 106}, WS_CHILD | WS_VISIBLE},
      {IDC_FOLDERLABEL, "STATIC", "Backup-/Wiederherstellungsordner:", {8, 122, 533, 138}, WS_CHILD | WS_VISIBLE},
      {IDC_FOLDER, "EDIT", "C:\\Users\\admin", {8, 141, 473, 158}, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY},
      {IDC_BROWSE, "BUTTON", ">>", {480, 141, 540, 158}, kButton},
      {IDC_BACKUP, "BUTTON", "Sichern", {128, 166, 240, 190}, kButton},
      // Disabled by the availability test: the current directory holds no backup set.
      {IDC_RESTORE, "BUTTON", "Wiederherstellen", {8, 166, 120, 190}, kButton | WS_DISABLED},
      {IDC_DATEFOLDER, "BUTTON", "Ordner mit aktuellem Datum anlegen", {248, 166, 465, 190},
       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
      {IDC_QUIT, "BUTTON", "Quit", {480, 166, 540, 190}, kButton},
  };
  HWND window = CreateMainWindow(nullptr);
  ASSERT_NE(window, nullptr);
  HFONT font = sim::Inspect(window).font;
  ASSERT_NE(font, nullptr);
  std::vector<HWND> children = sim::Children(window);
  ASSERT_EQ(children.size(), sizeof rows / sizeof rows[0]);
  for (size_t i = 0; i < children.size(); i++) {
    const Row &row = rows[i];
    SCOPED_TRACE(row.id);
    sim::WindowInfo control = sim::Inspect(children[i]);
    EXPECT_EQ(control.id, row.id);
    EXPECT_EQ(control.className, row.className);
    EXPECT_EQ(control.text, row.text);
    EXPECT_EQ(control.rect.left, row.rect.left);
    EXPECT_EQ(control.rect.top, row.rect.top);
    EXPECT_EQ(control.rect.right, row.rect.right);
    EXPECT_EQ(control.rect.bottom, row.rect.bottom);
    EXPECT_EQ(control.style, row.style);
    EXPECT_EQ(control.exStyle, 0u);
    EXPECT_EQ(control.font, font);
    EXPECT_EQ(control.check, BST_UNCHECKED);
  }
  EXPECT_EQ(sim::ProgressHistory(IDC_PROGRESS), std::vector<int>{0});
}

TEST_F(MainWindowTest, BannerShowsTheBitmapStretchedToItsClientSize) {
  HWND window = CreateMainWindow(nullptr);
  ASSERT_EQ(sim::ImageLoads().size(), 1u);
  const sim::ImageLoad &load = sim::ImageLoads()[0];
  EXPECT_EQ(load.instance, sim::ProgramInstance());
  EXPECT_EQ(load.name, "#102");
  EXPECT_EQ(load.type, static_cast<UINT>(IMAGE_BITMAP));
  EXPECT_EQ(load.cx, 549);
  EXPECT_EQ(load.cy, 65);
  EXPECT_EQ(load.flags, static_cast<UINT>(LR_LOADMAP3DCOLORS));
  sim::WindowInfo banner = sim::Inspect(GetDlgItem(window, IDC_BANNER));
  EXPECT_EQ(banner.image, load.result);
  // The static takes its bitmap's size, which is its own: the strip keeps its place.
  EXPECT_EQ(banner.rect.right, 549);
  EXPECT_EQ(banner.rect.bottom, 65);
}

TEST_F(MainWindowTest, MissingBitmapOrProgressClassLeavesTheRestOfTheWindow) {
  sim::Reset();  // no common controls this time
  ReadEnvironmentBlock();
  sim::FailCall("LoadImageA", ERROR_RESOURCE_NAME_NOT_FOUND);
  HWND window = CreateMainWindow(nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(sim::Inspect(GetDlgItem(window, IDC_BANNER)).image, nullptr);
  EXPECT_EQ(sim::Control(IDC_PROGRESS), nullptr);
  EXPECT_EQ(sim::Children(window).size(), 9u);
  SetProgress(window, IDC_PROGRESS, 40);  // has no effect and no failure
  EXPECT_EQ(sim::ControlText(IDC_FOLDER), "C:\\Users\\admin");
  EXPECT_TRUE(sim::ControlEnabled(IDC_QUIT));
}

TEST_F(MainWindowTest, RestoreButtonAtStartFollowsTheCurrentFolder) {
  struct Row {
    const char *name;
    const char *folder;
    std::vector<std::string> files, folders;
    bool enabled;
  };
  const Row rows[] = {
      {"backup set as files", "C:\\Sicherung", {"SOFTWARE", "SYSTEM", "SAM"}, {}, true},
      {"backup set as folders", "C:\\Sicherung", {}, {"SOFTWARE", "SYSTEM", "SAM"}, true},
      {"SECURITY is not needed", "C:\\Sicherung", {"SOFTWARE", "SYSTEM", "SAM", "SECURITY"}, {}, true},
      {"SAM missing", "C:\\Sicherung", {"SOFTWARE", "SYSTEM", "SECURITY"}, {}, false},
      {"SOFTWARE missing", "C:\\Sicherung", {"SYSTEM", "SAM"}, {}, false},
      {"drive root with a set", "D:\\", {"SOFTWARE", "SYSTEM", "SAM"}, {}, true},
      {"drive root without SYSTEM", "D:\\", {"SOFTWARE", "SAM"}, {}, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    InitCommonControls();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    std::string folder = row.folder;
    std::string base = folder.back() == '\\' ? folder : folder + "\\";
    sim::MakeFolders(folder);
    for (const auto &file : row.files) sim::PutFile(base + file, "hive");
    for (const auto &sub : row.folders) sim::MakeFolders(base + sub);
    sim::SetCurrentDirectory(folder);
    CreateMainWindow(nullptr);
    EXPECT_EQ(sim::ControlText(IDC_FOLDER), folder) << "a root keeps its backslash";
    EXPECT_EQ(sim::ControlEnabled(IDC_RESTORE), row.enabled);
  }
}

TEST_F(MainWindowTest, SetProgressSetsTheRangeAgainAndThenThePosition) {
  struct Row {
    const char *name;
    int position;
    int shown;
  };
  const Row rows[] = {
      {"empty", 0, 0}, {"half", 50, 50}, {"full", 100, 100}, {"beyond the range", 130, 100}, {"negative", -5, 0},
  };
  HWND window = CreateMainWindow(nullptr);
  HWND bar = GetDlgItem(window, IDC_PROGRESS);
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(10, 20));  // spoiled in between
    SetProgress(window, IDC_PROGRESS, row.position);
    sim::WindowInfo info = sim::Inspect(bar);
    EXPECT_EQ(info.rangeLow, 0);
    EXPECT_EQ(info.rangeHigh, 100);
    EXPECT_EQ(info.position, row.shown);
    EXPECT_EQ(sim::ProgressHistory(IDC_PROGRESS).back(), row.position) << "sent as computed";
  }
}

TEST_F(MainWindowTest, TabMovesThroughTheButtonsInCreationOrder) {
  sim::MakeFolders("C:\\Sicherung");
  for (const char *hive : {"SOFTWARE", "SYSTEM", "SAM"}) sim::PutFile(std::string("C:\\Sicherung\\") + hive, "hive");
  sim::SetCurrentDirectory("C:\\Sicherung");
  std::vector<int> focus;
  auto note = [&focus]() { focus.push_back(sim::FocusedControl()); };
  sim::UserDo(note);
  for (int i = 0; i < 5; i++) {
    sim::UserKey(VK_TAB);
    sim::UserDo(note);
  }
  sim::UserClick(IDC_QUIT);
  EXPECT_EQ(ShowMainWindow(nullptr), 0);
  const std::vector<int> expected = {IDC_BROWSE, IDC_BACKUP,     IDC_RESTORE,
                                     IDC_DATEFOLDER, IDC_QUIT, IDC_BROWSE};
  EXPECT_EQ(focus, expected);
}

}  // namespace
