// One run per backup folder: a backup, a restore and a check find the folder held by another run
// and change nothing in it; the lock file a run makes goes with it, one it did not make stays.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "run_fixture.h"
#include "services/hive_save.h"

namespace {

const char kUser[] = "s-1-5-21-1-2-3-1000";
const char kLock[] = "D:\\B\\~brovink.lock";
const char kInUse[] =
    "Der Ordner D:\\B wird gerade von einer anderen Sicherung, Wiederherstellung oder Prüfung verwendet. Es wurde "
    "nichts geändert.";

class FolderLockTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    Prepare();
  }

  static void Prepare() {
    sim::AddDrive('D', "\\Device\\HarddiskVolume2");
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u\\NTUSER.DAT");
    sim::SetStartedFrom(sim::StartedFrom::ParentConsole);
  }

  static int Start(const std::u16string &arguments) {
    sim::SetCommandLine(u"\"C:\\Brovink.exe\" " + arguments);
    return WinMain(sim::ProgramInstance(), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
  }

  static std::string Console() {
    std::string text;
    for (char16_t c : sim::ConsoleText()) text += c < 0x100 ? static_cast<char>(c) : '?';
    return text;
  }

  // An earlier set in D:\B, as a list of "name=bytes".
  static std::vector<std::string> Contents(const std::string &folder) {
    std::vector<std::string> contents;
    for (const std::string &name : sim::ListFolder(folder)) {
      contents.push_back(name + "=" + sim::FileBytes(folder + "\\" + name));
    }
    return contents;
  }
};

// Another run holds D:\B (its lock file, open without sharing): each front end refuses before it
// reads or writes anything there.
TEST_F(FolderLockTest, AFolderAnotherRunHoldsIsLeftAsItWas) {
  struct Row {
    const char *name;
    std::function<void()> run;
    std::string box;      // the box's caption, "" for none
    std::string console;  // the line on the console, "" for none
  };
  const Row rows[] = {
      {"window backup",
       [this] {
         SetFolder("D:\\B");
         EXPECT_TRUE(BackupIn(window).folderInUse);
       },
       "Ordner wird verwendet", ""},
      {"window restore",
       [this] {
         SetFolder("D:\\B");
         const RunResult result = RestoreIn(window);
         EXPECT_TRUE(result.folderInUse && result.setRefused);
         EXPECT_TRUE(sim::Replacements().empty());
       },
       "Ordner wird verwendet", ""},
      {"unattended backup", [] { EXPECT_EQ(Start(u"/backup D:\\B"), 2); }, "",
       std::string("Sicherung abgebrochen: ") + kInUse},
      {"unattended check", [] { EXPECT_EQ(Start(u"/verify D:\\B"), 2); }, "",
       std::string("Prüfung abgebrochen: ") + kInUse},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    Prepare();
    ASSERT_EQ(Start(u"/backup D:\\B"), 0);
    sim::PutFile(kLock, "");
    sim::HoldOpen(kLock, 0);
    const std::vector<std::string> before = Contents("D:\\B");
    const size_t events = sim::EventLogEntries().size();
    const size_t console = Console().size();
    if (!row.box.empty()) sim::AnswerMessageBox(IDOK);

    row.run();

    EXPECT_EQ(Contents("D:\\B"), before);
    if (!row.box.empty()) {
      ASSERT_EQ(sim::MessageBoxes().size(), 1u);
      EXPECT_EQ(sim::MessageBoxes()[0].caption, row.box);
      EXPECT_EQ(sim::MessageBoxes()[0].text, kInUse);
      EXPECT_EQ(sim::MessageBoxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_BACKUP)) && IsWindowEnabled(GetDlgItem(window, IDC_QUIT)));
      EXPECT_TRUE(sim::TextHistory(IDC_STATUS).empty()) << "no \"Sicherung fertig\" for a run that did nothing";
    } else {
      EXPECT_TRUE(sim::MessageBoxes().empty());
      EXPECT_EQ(Console().substr(console), row.console + "\r\n");
      ASSERT_EQ(sim::EventLogEntries().size(), events + 1);
      EXPECT_EQ(sim::EventLogEntries().back().type, EVENTLOG_ERROR_TYPE);
      EXPECT_EQ(sim::EventLogEntries().back().strings, std::vector<std::string>{row.console});
    }
    sim::ReleaseHold(kLock);
  }
}

// The real thing in one process: while the window's backup shows a box for a failed save, an
// unattended backup into the same folder refuses; the window's run then ends with a whole set.
TEST_F(FolderLockTest, AnUnattendedRunDuringTheWindowsRunRefuses) {
  sim::MakeFolders("D:\\B");
  sim::FailCall("RegSaveKeyExA", ERROR_ACCESS_DENIED, 1);
  sim::FailCall("RegSaveKeyA", ERROR_ACCESS_DENIED);
  int unattended = -1;
  sim::UserDo([&] { unattended = Start(u"/backup D:\\B"); });
  sim::UserDo([] { sim::UserAnswer(IDOK); });
  SetFolder("D:\\B");
  BackupIn(window);
  EXPECT_EQ(unattended, 2);
  EXPECT_NE(Console().find(std::string("Sicherung abgebrochen: ") + kInUse), std::string::npos) << Console();
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  5 in Datei D:\\B\\SYSTEM");
  EXPECT_EQ(sim::ListFolder("D:\\B"),
            (std::vector<std::string>{"ConsoleBackup.bat", kUser, "SAM", "SECURITY", "SHA256SUMS", "SOFTWARE"}));
  EXPECT_EQ(sim::HiveFileSnapshot("D:\\B\\SOFTWARE"), sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
}

// A lock file the run did not make (a machine that went down while another run held the folder,
// or a user's file of that name) is held for the run and stays as it was; the run's own goes.
TEST_F(FolderLockTest, ALockFileTheRunDidNotMakeStays) {
  sim::PutFile(kLock, "left behind", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Start(u"/backup D:\\B"), 0);
  EXPECT_EQ(sim::FileBytes(kLock), "left behind");
  EXPECT_EQ(sim::FileAttributes(kLock), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesA(kLock, 0);
  DeleteFileA(kLock);
  EXPECT_EQ(Start(u"/backup D:\\B"), 0);
  EXPECT_EQ(sim::ListFolder("D:\\B"),
            (std::vector<std::string>{"ConsoleBackup.bat", kUser, "SAM", "SECURITY", "SHA256SUMS", "SOFTWARE", "SYSTEM"}));
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

// A folder of the lock file's name cannot be held: the runs refuse the folder rather than run
// unlocked side by side, and leave it as it was.
TEST_F(FolderLockTest, AFolderOfTheLocksNameRefusesTheRun) {
  sim::MakeFolders(kLock);
  EXPECT_EQ(Start(u"/backup D:\\B"), 2);
  EXPECT_NE(Console().find(std::string("Sicherung abgebrochen: ") + kInUse), std::string::npos) << Console();
  EXPECT_EQ(sim::ListFolder("D:\\B"), (std::vector<std::string>{"~brovink.lock"}));
  EXPECT_TRUE(sim::FolderExists(kLock));
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

}  // namespace
