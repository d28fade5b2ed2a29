// The folder picker: what the shell's dialog is given, what comes back for a choice, a drive root,
// a cancel or an item without a path, and the restore button that follows the result.
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/folder_picker.h"
#include "app/main_window.h"
#include "sim_test.h"

namespace {

class FolderPickerTest : public SimTest {
 protected:
  HWND window = nullptr;

  void SetUp() override {
    SimTest::SetUp();
    Prepare("C:\\Users\\admin");
  }
  void TearDown() override {
    EXPECT_EQ(sim::LiveItemLists(), 0) << "every item list is freed";
    SimTest::TearDown();
  }

  // A shown main window with COM initialised, as after start-up, on a machine with backup sets in
  // C:\Sicherung, D:\Sicherung and D:\ and an empty D:\Daten.
  void Prepare(const std::string &currentFolder) {
    ResetForNextRow();
    InitCommonControls();
    CoInitialize(nullptr);
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    for (const char *folder : {"C:\\Sicherung\\", "D:\\Sicherung\\", "D:\\"}) {
      for (const char *hive : {"SOFTWARE", "SYSTEM", "SAM"}) sim::PutFile(std::string(folder) + hive, "hive");
    }
    sim::MakeFolders("D:\\Daten");
    sim::SetCurrentDirectory(currentFolder);
    window = CreateMainWindow(nullptr);
    ShowWindow(window, SW_SHOW);
  }
};

TEST_F(FolderPickerTest, DialogGetsAFreshRecordEachTime) {
  sim::AnswerFolderDialog("D:\\Daten");
  sim::AnswerFolderDialog("D:\\Sicherung");
  BrowseForBackupFolder(window);
  BrowseForBackupFolder(window);
  ASSERT_EQ(sim::FolderDialogs().size(), 2u);
  for (const sim::FolderDialogRecord &record : sim::FolderDialogs()) {
    EXPECT_EQ(record.owner, window) << "the active window";
    EXPECT_EQ(record.root, nullptr);
    EXPECT_TRUE(record.displayBufferZeroed);
    EXPECT_EQ(record.title, "Bitte w\xE4hlen Sie ein Verzeichnis aus.");
    EXPECT_EQ(record.flags, static_cast<UINT>(BIF_RETURNONLYFSDIRS));
    EXPECT_FALSE(record.callback);
    EXPECT_EQ(record.lParam, 0);
    EXPECT_TRUE(record.comInitialized);
  }
  EXPECT_EQ(sim::CallCount("CoTaskMemFree"), 2);
}

TEST_F(FolderPickerTest, ResultAndRestoreButtonFollowTheChoice) {
  struct Row {
    const char *name;
    const char *currentFolder;
    const char *answer;  // nullptr: cancelled
    bool noPath;         // the chosen item has no file-system path
    const char *result;
    bool restore;
  };
  const Row rows[] = {
      {"a backup set", "C:\\Users\\admin", "D:\\Sicherung", false, "D:\\Sicherung", true},
      {"another folder", "C:\\Sicherung", "D:\\Daten", false, "D:\\Daten", false},
      {"a drive root keeps its backslash", "C:\\Users\\admin", "D:\\", false, "D:\\", true},
      {"blanks around the path", "C:\\Users\\admin", "  D:\\Sicherung  ", false, "D:\\Sicherung", true},
      // Cancelled: the current directory, and the button set for it (so that it matches the
      // folder field, which the command handler sets to that directory).
      {"cancel in a backup set", "C:\\Sicherung", nullptr, false, "C:\\Sicherung", true},
      {"cancel elsewhere", "C:\\Users\\admin", nullptr, false, "C:\\Users\\admin", false},
      // Without a path the buffer holds only the item's display name ("Sicherung"), which would
      // name a folder relative to wherever the program runs: handled like a cancel.
      {"an item without a path", "C:\\Users\\admin", "D:\\Sicherung", true, "C:\\Users\\admin", false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Prepare(row.currentFolder);
    if (row.answer) {
      sim::AnswerFolderDialog(row.answer);
    } else {
      sim::CancelFolderDialog();
    }
    if (row.noPath) sim::FailCall("SHGetPathFromIDListA", ERROR_INVALID_PARAMETER);
    EnableWindow(GetDlgItem(window, IDC_RESTORE), row.restore ? FALSE : TRUE);  // the opposite first
    EXPECT_EQ(BrowseForBackupFolder(window), row.result);
    EXPECT_EQ(sim::ControlEnabled(IDC_RESTORE), row.restore);
    EXPECT_EQ(sim::LiveItemLists(), 0);
  }
}

}  // namespace
