// The backup run: hive files that read back as the registry, the recovery-console script byte for
// byte, the policy value, status texts, progress values and the buttons.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "run_fixture.h"
#include "services/report.h"
#include "workflows/backup.h"
#include "workflows/backup_set.h"

namespace {

const char *const kUser = "S-1-5-21-1-2-3-1000";
const char *const kUserFile = "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT";

class BackupTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Brovink\\Test", "Wert", "eins");
    sim::SetRegDword("HKEY_LOCAL_MACHINE\\SAM\\SAM\\Domains", "F", 7);
  }

  void LoadUser(const std::string &name, const std::string &file) {
    sim::LoadUserHive(name, file);
    sim::SetRegString("HKEY_USERS\\" + name + "\\Software\\Test", "Name", name);
  }

  void Run(const std::string &folder) {
    SetFolder(folder);
    MarkHistories();
    BackupIn(window);
  }

  static std::string MachineLine(const std::string &folder, const std::string &hive) {
    return "copy \"" + folder + "\\" + hive + "\" C:\\WINDOWS\\System32\\config\\";
  }

  // The script of a backup into D:\Backup of the machine hives and kUser's hive.
  static std::string ScriptWithUser() {
    return Lines({"Set allowallpaths = true", MachineLine("D:\\Backup", "SOFTWARE"),
                  MachineLine("D:\\Backup", "SYSTEM"), MachineLine("D:\\Backup", "SECURITY"),
                  MachineLine("D:\\Backup", "SAM"),
                  "copy \"D:\\Backup\\s-1-5-21-1-2-3-1000\" \"c:\\Users\\u1\\NTUSER.DAT\""});
  }
};

TEST_F(BackupTest, FreshFolderHoldsACompleteSetThatReadsBackAsTheRegistry) {
  LoadUser(kUser, kUserFile);
  Run("D:\\Backup");

  ASSERT_TRUE(sim::FolderExists("D:\\Backup"));
  const std::vector<std::pair<std::string, std::string>> hives = {
      {"SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE"},
      {"SYSTEM", "HKEY_LOCAL_MACHINE\\SYSTEM"},
      {"SECURITY", "HKEY_LOCAL_MACHINE\\SECURITY"},
      {"SAM", "HKEY_LOCAL_MACHINE\\SAM"},
      {"s-1-5-21-1-2-3-1000", "HKEY_USERS\\S-1-5-21-1-2-3-1000"},
  };
  for (const auto &hive : hives) {
    SCOPED_TRACE(hive.first);
    const std::string file = "D:\\Backup\\" + hive.first;
    ASSERT_TRUE(sim::FileExists(file));
    EXPECT_EQ(sim::HiveFileSnapshot(file), sim::HiveSnapshot(hive.second));
    EXPECT_EQ(sim::SavedDescriptor(file), "D:P(A;;FA;;;SY)(A;;FA;;;BA)");
  }
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat"), ScriptWithUser());

  DWORD type = 0;
  std::string data;
  ASSERT_TRUE(sim::GetRegValue(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole",
      "SetCommand", &type, &data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data, std::string("\x01\x00\x00\x00", 4));

  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 50, 0}));
  EXPECT_EQ(RunStatus(), (std::vector<std::string>{"läuft... SOFTWARE", "läuft... SYSTEM",
                                                   "läuft... SECURITY", "läuft... SAM",
                                                   "läuft... s-1-5-21-1-2-3-1000", ""}));
  ExpectButtonsSwitchedInRunOrder();
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(BackupTest, SecondBackupReplacesFilesAndScriptButKeepsFilesOfUnloadedHives) {
  LoadUser(kUser, kUserFile);
  Run("D:\\Backup");
  sim::PutFile("D:\\Backup\\s-1-5-21-9-9-9-1001", "an unloaded user's hive");
  sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Brovink\\Test", "Wert", "zwei");
  SetFileAttributesA("D:\\Backup\\SOFTWARE", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

  Run("D:\\Backup");

  EXPECT_EQ(sim::HiveFileSnapshot("D:\\Backup\\SOFTWARE"),
            sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
  EXPECT_NE(sim::HiveFileSnapshot("D:\\Backup\\SOFTWARE").find(std::string("z\0w\0e\0i\0", 8)),
            std::string::npos) << "string data is stored in UTF-16";
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\s-1-5-21-9-9-9-1001"), "an unloaded user's hive");
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat"), ScriptWithUser());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

// A backup over an earlier set that fails for one hive leaves that hive's earlier file as it was:
// the new save goes into a temporary file first, which is removed after the failure.
TEST_F(BackupTest, FailedSaveOverAnEarlierSetKeepsTheEarlierFile) {
  struct Row {
    const char *name;
    const char *api;  // fails for SOFTWARE, the first hive
    DWORD code;
  };
  const Row rows[] = {
      {"disk full", "RegSaveKey", ERROR_DISK_FULL},
      {"sharing violation", "RegSaveKey", ERROR_SHARING_VIOLATION},
      {"access denied", "RegSaveKey", ERROR_ACCESS_DENIED},
      {"key cannot be opened", "RegCreateKeyExA", ERROR_ACCESS_DENIED},
      {"the new file cannot take the old one's place", "MoveFileExA", ERROR_ACCESS_DENIED},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    Run("D:\\Backup");
    const std::string earlier = sim::FileBytes("D:\\Backup\\SOFTWARE");
    SetFileAttributesA("D:\\Backup\\SOFTWARE", FILE_ATTRIBUTE_HIDDEN);
    sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Brovink\\Test", "Wert", "zwei");
    sim::SetRegString("HKEY_LOCAL_MACHINE\\SYSTEM\\Brovink", "Wert", "zwei");
    if (std::string(row.api) == "RegSaveKey") {
      sim::FailCall("RegSaveKeyExA", row.code);
      sim::FailCall("RegSaveKeyA", row.code);
    } else {
      sim::FailCall(row.api, row.code);
    }
    sim::AnswerMessageBox(IDOK);

    Run("D:\\Backup");

    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, std::string(row.api) == "RegCreateKeyExA"
                                                  ? "Fehler in RegCreateKeyEx"
                                                  : "Fehler in RegSaveKey");
    EXPECT_EQ(sim::MessageBoxes()[0].text,
              "Fehlernummer: " + NumberText(static_cast<long>(row.code)) +
                  " in Datei D:\\Backup\\SOFTWARE");
    EXPECT_EQ(sim::FileBytes("D:\\Backup\\SOFTWARE"), earlier);
    EXPECT_EQ(sim::ListFolder("D:\\Backup"), (std::vector<std::string>{"ConsoleBackup.bat", "SAM", "SECURITY",
                                                                 "SHA256SUMS", "SOFTWARE", "SYSTEM"}));
    // The fingerprint lists what this run wrote, so the earlier SOFTWARE now fails the set.
    const std::string sums = sim::FileBytes("D:\\Backup\\SHA256SUMS");
    EXPECT_EQ(sums.find("  SOFTWARE\r\n"), std::string::npos) << sums;
    EXPECT_NE(sums.find("  SYSTEM\r\n"), std::string::npos) << sums;
    EXPECT_EQ(SetFileReason(CheckBackupSet("D:\\Backup")[0]),
              "wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)");
    EXPECT_EQ(sim::HiveFileSnapshot("D:\\Backup\\SYSTEM"),
              sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SYSTEM"));
  }
}

// A folder where a hive's file belongs holds no earlier hive: the save into it fails with its own
// code, and the folder stays with what it holds.
TEST_F(BackupTest, FolderInTheFilesPlaceGetsTheSaveBox) {
  sim::PutFile("D:\\Backup\\SOFTWARE\\kept", "of the user");
  sim::AnswerMessageBox(IDOK);
  Run("D:\\Backup");
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegSaveKey");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  183 in Datei D:\\Backup\\SOFTWARE");
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\SOFTWARE\\kept"), "of the user");
  EXPECT_EQ(sim::ListFolder("D:\\Backup"), (std::vector<std::string>{"ConsoleBackup.bat", "SAM", "SECURITY", "SHA256SUMS", "SOFTWARE", "SYSTEM"}));
}

// The folder text is used as it stands, in the save calls and in the script alike.
TEST_F(BackupTest, FolderTextIsUsedUnchanged) {
  struct Row {
    const char *name;
    const char *folder;
    const char *softwareFile;
  } rows[] = {
      {"drive root keeps its backslash", "D:\\", "D:\\\\SOFTWARE"},
      {"blanks", "D:\\Meine Sicherung", "D:\\Meine Sicherung\\SOFTWARE"},
      {"umlaut as one byte", "D:\\Sicherung März", "D:\\Sicherung März\\SOFTWARE"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    sim::ClearCallLog();
    Run(row.folder);
    EXPECT_TRUE(sim::FileExists(row.softwareFile));
    const std::string script = sim::FileBytes(std::string(row.folder) + "\\ConsoleBackup.bat");
    EXPECT_NE(script.find("copy \"" + std::string(row.softwareFile) + "\" C:\\WINDOWS"),
              std::string::npos)
        << script;
  }
  EXPECT_NE(std::string("März").find('\xE4'), std::string::npos);
}

// Every file of the set gets its box: the four hives, then the script and the fingerprint.
TEST_F(BackupTest, FolderTwoLevelsBelowTheNearestExistingOneIsNotCreated) {
  sim::AnswerMessageBox(IDOK, 6);
  Run("D:\\Neu\\Sicherung");

  EXPECT_FALSE(sim::FolderExists("D:\\Neu"));
  ASSERT_EQ(sim::MessageBoxes().size(), 6u);
  const char *files[] = {"SOFTWARE", "SYSTEM", "SECURITY", "SAM", "ConsoleBackup.bat", "SHA256SUMS"};
  for (size_t i = 0; i < 6; i++) {
    SCOPED_TRACE(files[i]);
    EXPECT_EQ(sim::MessageBoxes()[i].caption, i < 4 ? "Fehler in RegSaveKey" : "Fehler in CreateFile");
    EXPECT_EQ(sim::MessageBoxes()[i].text,
              std::string("Fehlernummer:  3 in Datei D:\\Neu\\Sicherung\\") + files[i]);
  }
  ExpectButtonsSwitchedInRunOrder();
}

TEST_F(BackupTest, OneHiveThatCannotBeOpenedGivesOneMessageAndTheRestIsSaved) {
  sim::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED, 1);  // the second hive, SYSTEM
  sim::AnswerMessageBox(IDOK);
  Run("D:\\Backup");

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegCreateKeyEx");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  5 in Datei D:\\Backup\\SYSTEM");
  EXPECT_FALSE(sim::FileExists("D:\\Backup\\SYSTEM"));
  for (const char *hive : {"SOFTWARE", "SECURITY", "SAM"}) {
    EXPECT_TRUE(sim::FileExists(std::string("D:\\Backup\\") + hive)) << hive;
  }
  EXPECT_NE(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat").find(MachineLine("D:\\Backup", "SYSTEM")),
            std::string::npos);
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 0}));
}

// A user hive whose save fails keeps its copy line: the script copies back whatever file the set
// holds for it (from an earlier backup), as it does for a machine hive.
TEST_F(BackupTest, UserHiveWhoseSaveFailsKeepsItsCopyLine) {
  LoadUser(kUser, kUserFile);
  sim::FailCall("RegSaveKeyExA", ERROR_DISK_FULL, 4);  // the user hive, after the four machine hives
  sim::FailCall("RegSaveKeyA", ERROR_DISK_FULL);       // and its second attempt
  sim::AnswerMessageBox(IDOK);
  Run("D:\\Backup");

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegSaveKey");
  EXPECT_FALSE(sim::FileExists("D:\\Backup\\s-1-5-21-1-2-3-1000"));
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat"), ScriptWithUser());
}

TEST_F(BackupTest, NoUserHiveGivesFiveScriptLinesAndMachineProgressOnly) {
  sim::SetEnvironment({"USERPROFILE=C:\\Users\\admin"});  // no systemroot
  ReadEnvironmentBlock();
  Run("D:\\Backup");

  EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat"),
            Lines({"Set allowallpaths = true", "copy \"D:\\Backup\\SOFTWARE\" \\System32\\config\\",
                   "copy \"D:\\Backup\\SYSTEM\" \\System32\\config\\",
                   "copy \"D:\\Backup\\SECURITY\" \\System32\\config\\",
                   "copy \"D:\\Backup\\SAM\" \\System32\\config\\"}));
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 0}));
}

// The drive letters' devices are read once per run and the hive files' descriptor is built once,
// however many hives there are; every user hive still gets its script line.
TEST_F(BackupTest, DriveTableAndDescriptorServeTheWholeRun) {
  for (int i = 0; i < 3; i++) {
    LoadUser("S-1-5-21-1-2-3-100" + std::to_string(i),
             "\\Device\\HarddiskVolume" + std::to_string(i == 2 ? 2 : 1) + "\\u" +
                 std::to_string(i) + "\\NTUSER.DAT");
  }
  Run("D:\\Backup");
  EXPECT_EQ(sim::CallCount("QueryDosDeviceA"), 26);
  EXPECT_EQ(sim::CallCount("ConvertStringSecurityDescriptorToSecurityDescriptorA"), 1);
  const std::string script = sim::FileBytes("D:\\Backup\\ConsoleBackup.bat");
  for (const char *line : {"copy \"D:\\Backup\\s-1-5-21-1-2-3-1000\" \"c:\\u0\\NTUSER.DAT\"",
                           "copy \"D:\\Backup\\s-1-5-21-1-2-3-1001\" \"c:\\u1\\NTUSER.DAT\"",
                           "copy \"D:\\Backup\\s-1-5-21-1-2-3-1002\" \"d:\\u2\\NTUSER.DAT\""}) {
    EXPECT_NE(script.find(std::string(line) + "\r\n"), std::string::npos) << line;
  }
  for (int i = 0; i < 3; i++) {
    const std::string file = "D:\\Backup\\s-1-5-21-1-2-3-100" + std::to_string(i);
    EXPECT_EQ(sim::SavedDescriptor(file), "D:P(A;;FA;;;SY)(A;;FA;;;BA)") << file;
  }
}

// A front end without a window takes the reports instead of the boxes, and the result counts the
// hives that were not saved: a machine hive that cannot be opened and a user hive with a name
// that is no file of its own.
TEST_F(BackupTest, ReportsReachTheInstalledReceiverAndTheResultCountsFailedHives) {
  LoadUser("S-1-5-21-1-2-3-1000", kUserFile);
  LoadUser("nul", kUserFile);
  sim::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED, 1);  // the second hive, SYSTEM
  std::vector<ReportEntry> reports;
  RunResult result;
  {
    ScopedReportReceiver receiver([&reports](const ReportEntry &entry) { reports.push_back(entry); });
    SetFolder("D:\\Backup");
    result = BackupIn(window);
  }
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(result.failedHives, 2);
  EXPECT_FALSE(result.setRefused);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].kind, ReportKind::HiveSave);
  EXPECT_EQ(reports[0].caption, "Fehler in RegCreateKeyEx");
  EXPECT_EQ(reports[0].text, "Fehlernummer:  5 in Datei D:\\Backup\\SYSTEM");
  EXPECT_EQ(reports[0].file, "D:\\Backup\\SYSTEM");
  EXPECT_EQ(reports[0].code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(reports[1].kind, ReportKind::HiveSave);
  EXPECT_EQ(reports[1].caption, "Fehler in RegSaveKey");
  EXPECT_EQ(reports[1].file, "D:\\Backup\\nul");
  EXPECT_EQ(reports[1].code, ERROR_ALREADY_EXISTS);

  // Once the receiver is gone, the boxes are back.
  sim::AnswerMessageBox(IDOK);
  Run("D:\\Backup");
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  183 in Datei D:\\Backup\\nul");
}

// The run removes only files it made: a user's file of any name survives, whatever its
// attributes, also one of the names the run would take for its temporary files.
TEST_F(BackupTest, AUsersFilesSurviveEveryName) {
  struct Row {
    const char *name;
    std::vector<std::string> files;  // the user's, in D:\Backup
    std::string folder;              // a user's folder in D:\Backup, "" for none
    int boxes;                       // hives reported as not saved
  };
  std::vector<std::string> every;  // every temporary name this process could use
  for (unsigned n = 0; n < 0x1000; n++) {
    char name[32];
    snprintf(name, sizeof name, "~%lx.%x", static_cast<unsigned long>(GetCurrentProcessId()), n);
    every.push_back(name);
  }
  const Row rows[] = {
      {"a read-only $$$ and others", {"$$$", "notes.txt", "~1.0", "~brovink.lock.txt"}, "", 0},
      {"a folder named $$$ is no obstacle", {}, "$$$", 0},
      {"every name the run could take: each hive and the fingerprint are reported, no file touched", every, "", 6},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    LoadUser(kUser, kUserFile);
    for (const std::string &file : row.files) sim::PutFile("D:\\Backup\\" + file, "mine " + file, FILE_ATTRIBUTE_READONLY);
    if (!row.folder.empty()) sim::PutFile("D:\\Backup\\" + row.folder + "\\inside", "mine");
    sim::AnswerMessageBox(IDOK, row.boxes);
    Run("D:\\Backup");
    EXPECT_EQ(static_cast<int>(sim::MessageBoxes().size()), row.boxes);
    for (const auto &box : sim::MessageBoxes()) EXPECT_EQ(box.text.substr(0, 18), "Fehlernummer:  80 ") << box.text;
    for (const std::string &file : row.files) {
      EXPECT_EQ(sim::FileBytes("D:\\Backup\\" + file), "mine " + file);
      EXPECT_EQ(sim::FileAttributes("D:\\Backup\\" + file), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (!row.folder.empty()) {
      EXPECT_EQ(sim::FileBytes("D:\\Backup\\" + row.folder + "\\inside"), "mine");
    }
    const size_t setFiles = row.boxes ? 1 : 7;  // the script alone, or the whole set
    EXPECT_EQ(sim::ListFolder("D:\\Backup").size(), row.files.size() + (row.folder.empty() ? 0 : 1) + setFiles);
    if (!row.boxes) {
      EXPECT_EQ(sim::HiveFileSnapshot("D:\\Backup\\SAM"), sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SAM"));
    }
  }
}

// Every entry of the loaded-hive list is accounted for: one that cannot be read gets the box of a
// hive that was not saved, naming the entry, and the user hives after it are still saved.
TEST_F(BackupTest, HiveListEntriesThatCannotBeReadGetTheSaveBox) {
  struct Row {
    const char *name;
    std::function<void()> entry;
    std::string text;
  };
  const std::string longName = "\\REGISTRY\\USER\\S-1-5-21-" + std::string(240, '9');
  const Row rows[] = {
      {"a name longer than its buffer", [&] { sim::AddHiveListValue(longName, "\\Device\\HarddiskVolume1\\x"); },
       "Fehlernummer:  234 in Eintrag " + longName + " der Liste geladener Hives: seine Hive wurde nicht gesichert."},
      {"a path of 300 characters",
       [] { sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-21-5", "\\Device\\HarddiskVolume1\\" + std::string(276, 'p')); },
       "Fehlernummer:  234 in Eintrag \\REGISTRY\\USER\\S-1-5-21-5 der Liste geladener Hives: seine Hive wurde nicht "
       "gesichert."},
      {"a user hive's entry that is no text",
       [] {
         sim::SetRegValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist", "\\REGISTRY\\USER\\S-1-5-21-6",
                          REG_DWORD, "1234");
       },
       "Fehlernummer:  1629 in Eintrag \\REGISTRY\\USER\\S-1-5-21-6 der Liste geladener Hives: seine Hive wurde nicht "
       "gesichert."},
      {"an enumeration error",
       [] {
         // The run reads the list twice: for its longest path first, then for the saves. The fault
         // hits the second reading (one more entry follows this one, and each reading ends with one
         // more call).
         const int before = sim::CallCount("RegEnumValueA");
         LongestSetPath("D:\\Backup");
         const int firstReading = sim::CallCount("RegEnumValueA") - before + 1;
         sim::FailCall("RegEnumValueA", ERROR_REGISTRY_IO_FAILED, firstReading + 5);
       },
       "Fehlernummer:  1016 in der Liste geladener Hives ab Eintrag Nr. 5: die Hives ab dort wurden nicht gesichert."},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    LoadUser("S-1-5-21-1-2-3-1000", kUserFile);  // list entry 4, before the one that cannot be read
    row.entry();
    LoadUser("S-1-5-21-1-2-3-1001", "\\Device\\HarddiskVolume1\\Users\\u2\\NTUSER.DAT");
    sim::AnswerMessageBox(IDOK);
    SetFolder("D:\\Backup");
    EXPECT_EQ(BackupIn(window).failedHives, 1);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegEnumValue");
    EXPECT_EQ(sim::MessageBoxes()[0].text, row.text);
    EXPECT_EQ(sim::MessageBoxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(sim::FileExists("D:\\Backup\\s-1-5-21-1-2-3-1000"));
    const bool after = std::string(row.name) != "an enumeration error";
    EXPECT_EQ(sim::FileExists("D:\\Backup\\s-1-5-21-1-2-3-1001"), after) << "the hive after the entry";
  }
}

TEST_F(BackupTest, MissingPolicyKeyIsNotCreated) {
  sim::DeleteRegKey(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole");
  Run("D:\\Backup");
  EXPECT_FALSE(sim::RegKeyExists(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole"));
  EXPECT_TRUE(sim::FileExists("D:\\Backup\\SOFTWARE"));
}

// A script that is not written completely makes the backup a failed one: its box names the file
// and the system's code, the hives are saved all the same, and the fingerprint leaves it out, so
// that the script in the folder fails the set's check.
TEST_F(BackupTest, ScriptThatIsNotWrittenCompletelyIsAFailedBackup) {
  struct Row {
    const char *name;
    const char *caption;
    DWORD code;
  } rows[] = {
      {"held open by another program", "Fehler in CreateFile", ERROR_SHARING_VIOLATION},
      {"first line lost (disk full)", "Fehler in WriteFile", ERROR_DISK_FULL},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::PutFile("D:\\Backup\\ConsoleBackup.bat", "old script");
    if (row.code == ERROR_SHARING_VIOLATION) {
      sim::HoldOpen("D:\\Backup\\ConsoleBackup.bat", 0);
    } else {
      sim::FailCall("WriteFile", row.code);  // the script's first line is the run's first WriteFile
    }
    sim::AnswerMessageBox(IDOK);
    SetFolder("D:\\Backup");
    const RunResult result = BackupIn(window);

    EXPECT_EQ(result.failedFiles, 1);
    EXPECT_EQ(result.failedHives, 0);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, row.caption);
    EXPECT_EQ(sim::MessageBoxes()[0].text,
              "Fehlernummer: " + NumberText(static_cast<long>(row.code)) + " in Datei D:\\Backup\\ConsoleBackup.bat");
    for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      EXPECT_TRUE(sim::FileExists(std::string("D:\\Backup\\") + hive)) << hive;
    }
    EXPECT_EQ(sim::FileBytes("D:\\Backup\\SHA256SUMS").find("ConsoleBackup.bat"), std::string::npos);
    const SetCheck check = CheckSet("D:\\Backup");
    ASSERT_FALSE(check.files.empty());
    EXPECT_EQ(check.files.back().file, "D:\\Backup\\ConsoleBackup.bat");
    EXPECT_EQ(SetFileReason(check.files.back()), "wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)");
    EXPECT_FALSE(IsCompleteSet(check));
  }
}

}  // namespace
