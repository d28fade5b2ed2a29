// The folder picker: what the shell's dialog is given, what comes back for a choice, a drive root,
// a cancel or an item without a path, a folder whose name the ANSI code page cannot spell, and the
// restore button that follows the result.
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

  // The folder returned, or "(none)".
  std::string Browse() {
    std::string folder = "(unchanged)";
    return BrowseForBackupFolder(window, &folder) ? folder : "(none)";
  }
};

TEST_F(FolderPickerTest, DialogGetsAFreshRecordEachTime) {
  sim::AnswerFolderDialog("D:\\Daten");
  sim::AnswerFolderDialog("D:\\Sicherung");
  Browse();
  Browse();
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
  const std::string bAck = sim::FsName(u"D:\\b\u0101ck");  // D:\back once best-fitted
  const std::string cAck = sim::FsName(u"C:\\b\u0101ck");
  const std::string refusedTail =
      "\x93 kann nicht verwendet werden, weil sein Name Zeichen enth\xE4lt, die das Programm "
      "nicht verarbeiten kann. Bitte w\xE4hlen Sie einen anderen Ordner.";
  struct Row {
    const char *name;
    std::string currentFolder;
    std::string answer;  // "": cancelled
    bool noPath;         // the chosen item has no file-system path
    std::string result;  // "(none)": no folder returned, the restore button left as it was
    bool restore;        // the button afterwards; with "(none)" the opposite, as it was before
    std::string box;     // the folder the refusal box names, "" for no box
  };
  const Row rows[] = {
      {"a backup set", "C:\\Users\\admin", "D:\\Sicherung", false, "D:\\Sicherung", true, ""},
      {"another folder", "C:\\Sicherung", "D:\\Daten", false, "D:\\Daten", false, ""},
      {"a drive root keeps its backslash", "C:\\Users\\admin", "D:\\", false, "D:\\", true, ""},
      {"blanks around the path", "C:\\Users\\admin", "  D:\\Sicherung  ", false, "D:\\Sicherung", true, ""},
      // Cancelled: nothing changes, whatever the current directory holds (the button is left in
      // both states).
      {"cancel in a backup set", "C:\\Sicherung", "", false, "(none)", true, ""},
      {"cancel elsewhere", "C:\\Users\\admin", "", false, "(none)", false, ""},
      // Without a path the buffer holds only the item's display name ("Sicherung"), which would
      // name a folder relative to wherever the program runs: handled like a cancel.
      {"an item without a path", "C:\\Users\\admin", "D:\\Sicherung", true, "(none)", false, ""},
      // The ANSI path of D:\b\u0101ck is D:\back, another folder that holds a backup set: refused.
      {"a name the code page cannot spell", "C:\\Users\\admin", bAck, false, "(none)", true, "D:\\b?ck"},
      {"cancel in such a current directory", cAck, "", false, "(none)", true, ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Prepare("C:\\Users\\admin");
    sim::MakeFolders(bAck);
    sim::MakeFolders(cAck);
    for (const char *hive : {"SOFTWARE", "SYSTEM", "SAM"}) sim::PutFile(std::string("D:\\back\\") + hive, "hive");
    sim::SetCurrentDirectory(row.currentFolder);
    if (!row.answer.empty()) {
      sim::AnswerFolderDialog(row.answer);
    } else {
      sim::CancelFolderDialog();
    }
    if (!row.box.empty()) sim::AnswerMessageBox(IDOK);
    if (row.noPath) sim::FailCall("SHGetPathFromIDListW", ERROR_INVALID_PARAMETER);
    EnableWindow(GetDlgItem(window, IDC_RESTORE), row.restore ? FALSE : TRUE);  // the opposite first
    EXPECT_EQ(Browse(), row.result);
    EXPECT_EQ(sim::ControlEnabled(IDC_RESTORE), row.result == "(none)" ? !row.restore : row.restore);
    EXPECT_EQ(sim::LiveItemLists(), 0);
    if (row.box.empty()) {
      EXPECT_TRUE(sim::MessageBoxes().empty());
    } else {
      ASSERT_EQ(sim::MessageBoxes().size(), 1u);
      const sim::MessageBoxRecord &box = sim::MessageBoxes()[0];
      EXPECT_EQ(box.text, "Der Ordner \x84" + row.box + refusedTail);
      EXPECT_EQ(box.caption, "Ordner nicht verwendbar");
      EXPECT_EQ(box.style, 0x30u);
      EXPECT_EQ(box.owner, window);
    }
  }
}

}  // namespace
