// The restore run, and the round trip that states the tool's promise: what was backed up is what
// the machine holds after the restore and a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <map>

#include "run_fixture.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

namespace {

const std::string kConfig = "C:\\WINDOWS\\System32\\config";
const std::string kStartup = "C:\\Users\\admin\\Startmenü\\Programme\\Autostart";

class RestoreTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
  }

  RunResult Restore(const std::string &folder) {
    SetFolder(folder);
    MarkHistories();
    return RestoreIn(window);
  }

  static std::string CleanupLines(const std::string &hive) {
    return Lines({"attrib -r -s -h \"" + kConfig + "\\" + hive + ".tmp.log\"",
                  "del \"" + kConfig + "\\" + hive + ".tmp.log\""});
  }
  static std::string ClosingLines() {
    return Lines({"cd /d \"c:\\users\\admin\\startmen\x81\\programme\\autostart\"",
                  "del /f dellog.bat"});
  }
};

TEST_F(RestoreTest, RoundTripRestoresEveryHiveFromItsOwnFile) {
  const std::vector<std::string> hives = {
      "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SYSTEM", "HKEY_LOCAL_MACHINE\\SECURITY",
      "HKEY_LOCAL_MACHINE\\SAM", "HKEY_USERS\\S-1-5-21-1-2-3-1000",
      "HKEY_USERS\\S-1-5-21-1-2-3-1000_Classes"};
  sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
  sim::LoadUserHive("S-1-5-21-1-2-3-1000_Classes",
                    "\\Device\\HarddiskVolume1\\Users\\u1\\UsrClass.dat");
  for (const auto &hive : hives) sim::SetRegString(hive + "\\Brovink", "Stand", "gesichert " + hive);
  SetFolder("D:\\Backup");
  BackupIn(window);
  std::map<std::string, std::string> saved;
  for (const auto &hive : hives) saved[hive] = sim::HiveSnapshot(hive);

  for (const auto &hive : hives) {
    sim::SetRegString(hive + "\\Brovink", "Stand", "geändert");
    sim::SetRegDword(hive + "\\Neu", "Wert", 2);
  }
  Restore("D:\\Backup");

  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"),
            CleanupLines("SOFTWARE") + CleanupLines("SYSTEM") + CleanupLines("SECURITY") +
                CleanupLines("SAM") + CleanupLines("s-1-5-21-1-2-3-1000") +
                CleanupLines("s-1-5-21-1-2-3-1000_classes") + ClosingLines());
  std::vector<std::string> staged = sim::ListFolder(kConfig);
  std::sort(staged.begin(), staged.end());
  EXPECT_EQ(staged,
            (std::vector<std::string>{"SAM.bak", "SAM.tmp", "SECURITY.bak", "SECURITY.tmp",
                                      "SOFTWARE.TMP", "SOFTWARE.bak", "SYSTEM.bak", "SYSTEM.tmp",
                                      "s-1-5-21-1-2-3-1000.bak", "s-1-5-21-1-2-3-1000.tmp",
                                      "s-1-5-21-1-2-3-1000_classes.bak",
                                      "s-1-5-21-1-2-3-1000_classes.tmp"}));
  EXPECT_EQ(sim::Replacements().size(), hives.size());
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 50, 60, 0}));
  EXPECT_EQ(RunStatus(), (std::vector<std::string>{
                             "läuft... SOFTWARE", "läuft... SYSTEM", "läuft... SECURITY",
                             "läuft... SAM", "läuft... s-1-5-21-1-2-3-1000",
                             "läuft... s-1-5-21-1-2-3-1000_classes", ""}));
  ExpectButtonsSwitchedInRunOrder();
  EXPECT_NE(sim::HiveSnapshot(hives[0]), saved[hives[0]]) << "nothing changes before the restart";

  sim::Restart();
  for (const auto &hive : hives) {
    SCOPED_TRACE(hive);
    EXPECT_EQ(sim::HiveSnapshot(hive), saved[hive]);
  }
}

// A set of an earlier version (no SHA256SUMS) is checked by its structure alone.
TEST_F(RestoreTest, PartialSetRestoresWhatIsThere) {
  SetFolder("D:\\Teil");
  BackupIn(window);
  for (const char *extra : {"SECURITY", "SHA256SUMS"}) {
    ASSERT_TRUE(DeleteFileA((std::string("D:\\Teil\\") + extra).c_str())) << extra;
  }

  EXPECT_EQ(Restore("D:\\Teil").failedHives, 0);

  EXPECT_EQ(RunStatus(), (std::vector<std::string>{"läuft... SOFTWARE", "läuft... SYSTEM",
                                                   "läuft... SECURITY", "läuft... SAM", ""}));
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 40, 0}));
  EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"),
            CleanupLines("SOFTWARE") + CleanupLines("SYSTEM") + CleanupLines("SAM") + ClosingLines());
  EXPECT_EQ(sim::Replacements().size(), 3u);
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

// A loaded hive whose file the set lacks shows its status and is passed over without moving the
// bar; the next one moves it by 10.
TEST_F(RestoreTest, MissingUserHiveIsPassedOverWithoutProgress) {
  sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
  sim::LoadUserHive("S-1-5-21-1-2-3-1001", "\\Device\\HarddiskVolume1\\Users\\u2\\NTUSER.DAT");
  SetFolder("D:\\Backup");
  BackupIn(window);
  ASSERT_TRUE(DeleteFileA("D:\\Backup\\s-1-5-21-1-2-3-1000"));
  ASSERT_TRUE(DeleteFileA("D:\\Backup\\SHA256SUMS"));  // a set of an earlier version

  Restore("D:\\Backup");

  EXPECT_EQ(RunStatus().at(4), "läuft... s-1-5-21-1-2-3-1000");
  EXPECT_EQ(RunStatus().at(5), "läuft... s-1-5-21-1-2-3-1001");
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 50, 0}));
  EXPECT_EQ(sim::Replacements().size(), 5u);
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

// The set is looked at when the button is clicked, not when it was enabled: a folder that lost its
// set (or part of it that the button asks for) is refused before anything is written.
TEST_F(RestoreTest, FolderWithoutASetAtTheClickIsRefused) {
  struct Row {
    const char *name;
    std::function<void()> spoil;
  } rows[] = {
      {"folder removed", [] {
         for (const std::string &name : sim::ListFolder("D:\\Backup")) {
           DeleteFileA(("D:\\Backup\\" + name).c_str());
         }
         RemoveDirectoryA("D:\\Backup");
       }},
      {"SOFTWARE removed", [] { DeleteFileA("D:\\Backup\\SOFTWARE"); }},
      {"SAM removed", [] { DeleteFileA("D:\\Backup\\SAM"); }},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
    SetFolder("D:\\Backup");
    BackupIn(window);
    sim::PutFile(kStartup + "\\dellog.bat", "the user's own");
    row.spoil();
    const auto config = sim::ListFolder(kConfig);
    sim::AnswerMessageBox(IDOK);

    EXPECT_TRUE(Restore("D:\\Backup").setRefused);

    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Wiederherstellung abgebrochen");
    EXPECT_EQ(sim::MessageBoxes()[0].text,
              "Der Ordner „D:\\Backup“ enthält keine vollständige Sicherung (SOFTWARE, SYSTEM und "
              "SAM), es wurde nichts wiederhergestellt.");
    EXPECT_TRUE(sim::Replacements().empty());
    EXPECT_EQ(sim::ListFolder(kConfig), config);
    EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"), "the user's own");
    ExpectButtonsSwitchedInRunOrder();
  }
}

// Every copy is made before the first registration: a copy that fails removes the copies this
// run made and registers nothing, so no start mixes two points in time.
TEST_F(RestoreTest, FailedCopyRemovesThisRunsCopiesAndRegistersNothing) {
  struct Row {
    const char *name;
    int failingCopy;
    std::string staged;  // the copy that failed
  } rows[] = {
      {"SOFTWARE, the first", 0, "SOFTWARE.TMP"},
      {"SYSTEM", 1, "SYSTEM.tmp"},
      {"the user hive, the last", 4, "s-1-5-21-1-2-3-1000.tmp"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
    sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    SetFolder("D:\\Backup");
    BackupIn(window);
    sim::PutFile(kConfig + "\\SAM.bak", "way back");
    const auto config = sim::ListFolder(kConfig);
    sim::FailCall("CopyFileA", ERROR_DISK_FULL, row.failingCopy);
    sim::AnswerMessageBox(IDOK);

    const RunResult result = Restore("D:\\Backup");

    EXPECT_GT(result.failedHives, 0);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in CopyFile");
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  112 in Datei " + kConfig + "\\" + row.staged);
    EXPECT_TRUE(sim::Replacements().empty());
    EXPECT_EQ(sim::ListFolder(kConfig), config);
    EXPECT_EQ(sim::FileBytes(kConfig + "\\SAM.bak"), "way back");
    EXPECT_FALSE(sim::FileExists(kStartup + "\\dellog.bat"));
    ExpectButtonsSwitchedInRunOrder();
    EXPECT_EQ(RunProgress().back(), 0);
    EXPECT_EQ(Restore("D:\\Backup").failedHives, 0) << "nothing waits: the next restore goes ahead";
    EXPECT_EQ(sim::Replacements().size(), 5u);
  }
}

// A set from a CD or a write-protected stick has read-only files, and copies keep that: the staged
// hive files are made writable, because Windows cannot load a hive from a file it cannot write. A
// copy that cannot be made writable stops the run like a failed copy.
TEST_F(RestoreTest, ReadOnlySetFilesGiveWritableStagedCopies) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
    ASSERT_TRUE(SetFileAttributesA((std::string("D:\\Backup\\") + hive).c_str(), FILE_ATTRIBUTE_READONLY));
  }
  EXPECT_EQ(Restore("D:\\Backup").failedHives, 0);
  EXPECT_TRUE(sim::MessageBoxes().empty());
  for (const char *staged : {"SOFTWARE.TMP", "SYSTEM.tmp", "SECURITY.tmp", "SAM.tmp"}) {
    EXPECT_EQ(sim::FileAttributes(kConfig + "\\" + staged) & FILE_ATTRIBUTE_READONLY, 0u) << staged;
  }
  EXPECT_EQ(sim::Replacements().size(), 4u);

  StartNextRow();
  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  sim::MakeFolders(kStartup);
  SetFolder("D:\\Backup");
  BackupIn(window);
  ASSERT_TRUE(SetFileAttributesA("D:\\Backup\\SYSTEM", FILE_ATTRIBUTE_READONLY));
  const auto config = sim::ListFolder(kConfig);
  sim::FailCall("SetFileAttributesA", ERROR_ACCESS_DENIED);
  sim::AnswerMessageBox(IDOK);
  EXPECT_GT(Restore("D:\\Backup").failedHives, 0);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in SetFileAttributes");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  5 in Datei " + kConfig + "\\SYSTEM.tmp");
  EXPECT_TRUE(sim::Replacements().empty());
  EXPECT_EQ(sim::ListFolder(kConfig), config);
}

// A read-only staged file left in the configuration folder (a run ended by a power cut between its
// copy and making it writable, or one of an earlier version) is no obstacle: the copy goes over it.
TEST_F(RestoreTest, ReadOnlyStagedFileLeftBehindIsReplaced) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  sim::PutFile(kConfig + "\\SYSTEM.tmp", "left behind");
  ASSERT_TRUE(SetFileAttributesA((kConfig + "\\SYSTEM.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Restore("D:\\Backup").failedHives, 0);
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_TRUE(sim::FileBytes(kConfig + "\\SYSTEM.tmp") == sim::FileBytes("D:\\Backup\\SYSTEM"));
  EXPECT_EQ(sim::FileAttributes(kConfig + "\\SYSTEM.tmp") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(sim::Replacements().size(), 4u);
}

// One restore waits for the restart at a time: a second one, from any set, is refused and changes
// nothing, seen through the volatile mark of the first or through the staged file the system holds
// for a registration; after the restart a restore works again.
TEST_F(RestoreTest, SecondRestoreBeforeTheRestartIsRefused) {
  const char kPending[] =
      "Eine frühere Wiederherstellung wartet noch auf den Neustart des Rechners. Starten Sie den "
      "Rechner bitte zuerst neu; es wurde nichts geändert.";
  struct Row {
    const char *name;
    std::function<void()> earlier;
    std::function<void()> restarted;  // what the restart ends besides the system's holds
  } rows[] = {
      {"an earlier restore of this program", [this] { Restore("D:\\A"); }, [] {}},
      {"a restore under way in another process, nothing staged yet",
       [] {
         HKEY mark = nullptr;
         ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brovink-Wiederherstellung", 0, nullptr,
                                   REG_OPTION_VOLATILE, KEY_QUERY_VALUE, nullptr, &mark, nullptr),
                   ERROR_SUCCESS);
         RegCloseKey(mark);
       },
       [] {}},
      {"a staged file held open, without the mark",
       [] {
         sim::PutFile(kConfig + "\\SECURITY.tmp", "registered by another tool");
         sim::HoldOpen(kConfig + "\\SECURITY.tmp", 0);
       },
       [] { sim::ReleaseHold(kConfig + "\\SECURITY.tmp"); }},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
    SetFolder("D:\\A");
    BackupIn(window);
    sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Brovink", "Stand", "Satz B");
    SetFolder("D:\\B");
    BackupIn(window);
    ASSERT_TRUE(DeleteFileA("D:\\B\\SECURITY"));
    ASSERT_TRUE(DeleteFileA("D:\\B\\SHA256SUMS"));  // a set of an earlier version, without SECURITY
    row.earlier();
    const auto replacements = sim::Replacements().size();
    const auto config = sim::ListFolder(kConfig);
    std::map<std::string, std::string> bytes;
    for (const auto &name : config) bytes[name] = sim::FileBytes(kConfig + "\\" + name);
    const std::string script = sim::FileBytes(kStartup + "\\dellog.bat");
    sim::AnswerMessageBox(IDOK);

    EXPECT_TRUE(Restore("D:\\B").setRefused);

    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Wiederherstellung abgebrochen");
    EXPECT_EQ(sim::MessageBoxes()[0].text, kPending);
    EXPECT_EQ(sim::Replacements().size(), replacements);
    ASSERT_EQ(sim::ListFolder(kConfig), config);
    for (const auto &name : config) EXPECT_EQ(sim::FileBytes(kConfig + "\\" + name), bytes[name]) << name;
    EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"), script);

    sim::Restart();
    row.restarted();
    EXPECT_EQ(Restore("D:\\B").failedHives, 0);
    EXPECT_EQ(sim::Replacements().size(), 3u);
    EXPECT_EQ(sim::MessageBoxes().size(), 1u);
  }
}

// The hive from before an earlier restore is the user's way back: kept under a dated name.
TEST_F(RestoreTest, EarlierBakFilesAreKeptUnderDatedNames) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  sim::PutFile(kConfig + "\\SOFTWARE.bak", "way back 1");
  sim::PutFile(kConfig + "\\SOFTWARE.bak-12-08-2026-1", "way back 0");
  sim::PutFile(kConfig + "\\SAM.bak", "way back 2", FILE_ATTRIBUTE_HIDDEN);

  EXPECT_EQ(Restore("D:\\Backup").failedHives, 0);

  EXPECT_EQ(sim::FileBytes(kConfig + "\\SOFTWARE.bak-12-08-2026-1"), "way back 0");
  EXPECT_EQ(sim::FileBytes(kConfig + "\\SOFTWARE.bak-12-08-2026-2"), "way back 1");
  EXPECT_EQ(sim::FileBytes(kConfig + "\\SAM.bak-12-08-2026-1"), "way back 2");
  EXPECT_EQ(sim::Replacements().size(), 4u);
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

// Without a Startup folder to write dellog.bat into, the restore still registers every hive and
// names the log files to delete by hand.
TEST_F(RestoreTest, NoStartupFolderNamesTheLogFilesInABox) {
  const char *const kShellFolders =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  struct Row {
    const char *name;
    std::function<void()> setUp;
    std::string folder;  // the box's file
  } rows[] = {
      {"value names a file", [=] {
         sim::PutFile("C:\\Datei", "x");
         sim::SetRegString(kShellFolders, "Startup", "C:\\Datei");
       }, "C:\\Datei"},
      {"value holds a variable that is not set",
       [=] { sim::SetRegString(kShellFolders, "Startup", "%APPDATA%\\Start"); }, "%APPDATA%\\Start"},
      {"default folder missing", [] { RemoveDirectoryA(kStartup.c_str()); }, kStartup},
      {"no value and no profile", [] {
         sim::SetEnvironment({"SystemRoot=C:\\WINDOWS"});
         ReadEnvironmentBlock();
       }, ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
    SetFolder("D:\\Backup");
    BackupIn(window);
    row.setUp();
    sim::AnswerMessageBox(IDOK);

    EXPECT_EQ(Restore("D:\\Backup").failedHives, 0);

    EXPECT_EQ(sim::Replacements().size(), 4u);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Autostart-Ordner nicht gefunden");
    EXPECT_EQ(sim::MessageBoxes()[0].text,
              "Die Datei dellog.bat konnte nicht in den Autostart-Ordner geschrieben werden. "
              "Löschen Sie bitte nach dem Neustart diese Dateien von Hand:\r\n\r\n" +
                  kConfig + "\\SOFTWARE.tmp.log\r\n" + kConfig + "\\SYSTEM.tmp.log\r\n" + kConfig +
                  "\\SECURITY.tmp.log\r\n" + kConfig + "\\SAM.tmp.log");
    EXPECT_FALSE(sim::FileExists("\\dellog.bat"));
  }
}

// Every file the restore would use is checked before the first copy; one that is no hive file
// stops the whole restore with one box, before anything is written (not even dellog.bat).
TEST_F(RestoreTest, DamagedSetIsRefusedBeforeAnythingIsWritten) {
  const std::string user = "s-1-5-21-1-2-3-1000";
  struct Row {
    const char *name;
    std::string file;                                       // of the set
    std::function<void(const std::string &path, const std::string &good)> spoil;
    std::string reason;
  };
  const Row rows[] = {
      {"empty", "SOFTWARE", [](const std::string &p, const std::string &) { sim::PutFile(p, ""); },
       "ist leer"},
      {"random bytes", "SYSTEM",
       [](const std::string &p, const std::string &) { sim::PutFile(p, "\x13\x88random\xFF"); },
       "ist keine Registry-Datei"},
      {"wrong checksum", "SECURITY",
       [](const std::string &p, const std::string &good) {
         std::string bad = good;
         bad[0x1FC] = static_cast<char>(bad[0x1FC] ^ 1);
         sim::PutFile(p, bad);
       },
       "ist beschädigt"},
      {"shorter than the base block", "SAM",
       [](const std::string &p, const std::string &good) { sim::PutFile(p, good.substr(0, 4095)); },
       "ist abgeschnitten"},
      {"only the base block", "SOFTWARE",
       [](const std::string &p, const std::string &good) { sim::PutFile(p, good.substr(0, 4096)); },
       "ist abgeschnitten"},
      {"SYSTEM holding the SAM hive", "SYSTEM",
       [](const std::string &p, const std::string &) {
         DeleteFileA(p.c_str());
         CopyFileA("D:\\Backup\\SAM", p.c_str(), TRUE);
       },
       "enthält nicht den Hive SYSTEM"},
      {"Wine's text form, not on Wine", "SYSTEM",
       [](const std::string &p, const std::string &) {
         sim::PutFile(p, "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n");
       },
       "ist keine Registry-Datei"},
      {"a folder", "SAM",
       [](const std::string &p, const std::string &) {
         DeleteFileA(p.c_str());
         sim::MakeFolders(p);
       },
       "ist ein Ordner"},
      {"held open by another process", user,
       [](const std::string &p, const std::string &) { sim::HoldOpen(p, 0); },
       "ist nicht lesbar (Fehler 32)"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    SetFolder("D:\\Backup");
    BackupIn(window);
    sim::PutFile(kStartup + "\\dellog.bat", "from the restore before");
    const std::string path = "D:\\Backup\\" + row.file;
    row.spoil(path, sim::FileBytes(path));
    const auto config = sim::ListFolder(kConfig);
    sim::AnswerMessageBox(IDOK);

    EXPECT_TRUE(Restore("D:\\Backup").setRefused);

    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Wiederherstellung abgebrochen");
    EXPECT_EQ(sim::MessageBoxes()[0].text,
              "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n\r\n" + path +
                  " " + row.reason);
    EXPECT_EQ(sim::MessageBoxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(sim::MessageBoxes()[0].owner, nullptr);
    EXPECT_TRUE(sim::Replacements().empty());
    EXPECT_EQ(sim::ListFolder(kConfig), config);
    EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"), "from the restore before");
    ExpectButtonsSwitchedInRunOrder();
    EXPECT_EQ(RunProgress(), std::vector<int>{});
  }
}

// Several bad files: one box names each with its reason, in the restore's order; the per-file
// results are there for every file, good ones included.
TEST_F(RestoreTest, CheckOfTheSetGivesOneResultPerFile) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  sim::PutFile("D:\\Backup\\SOFTWARE", "");
  sim::PutFile("D:\\Backup\\SAM", "regf");  // a base block cut after its signature
  const auto checks = CheckBackupSet("D:\\Backup");
  ASSERT_EQ(checks.size(), 5u);
  EXPECT_EQ(checks[0].file, "D:\\Backup\\SOFTWARE");
  EXPECT_EQ(checks[0].state, HiveFileState::Empty);
  EXPECT_EQ(checks[1].state, HiveFileState::Good);
  EXPECT_EQ(checks[2].state, HiveFileState::Good);
  EXPECT_EQ(checks[3].state, HiveFileState::Truncated);
  EXPECT_EQ(checks[4].file, "D:\\Backup\\ConsoleBackup.bat");  // compared with the fingerprint
  EXPECT_EQ(checks[4].state, HiveFileState::Good);
  sim::AnswerMessageBox(IDOK);
  Restore("D:\\Backup");
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].text,
            "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n\r\n"
            "D:\\Backup\\SOFTWARE ist leer\r\nD:\\Backup\\SAM ist abgeschnitten");
  EXPECT_FALSE(sim::FileExists(kStartup + "\\dellog.bat"));
}

// A set whose files differ from its fingerprint is refused as a damaged one: nothing is staged, no
// clean-up script is written, and the box names each file with its reason.
TEST_F(RestoreTest, SetThatDiffersFromItsFingerprintIsRefused) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  sim::PutFile("D:\\Backup\\ConsoleBackup.bat", "copy D:\\evil C:\\WINDOWS\\System32\\config\\\r\n");
  sim::PutFile("D:\\Backup\\SECURITY", sim::FileBytes("D:\\Backup\\SAM"));  // a hive in another's place
  sim::AnswerMessageBox(IDOK);

  const RunResult result = Restore("D:\\Backup");

  EXPECT_TRUE(result.setRefused);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Wiederherstellung abgebrochen");
  EXPECT_EQ(sim::MessageBoxes()[0].text,
            "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n\r\n"
            "D:\\Backup\\SECURITY enthält nicht den Hive SECURITY\r\n"
            "D:\\Backup\\ConsoleBackup.bat wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)");
  EXPECT_TRUE(sim::Replacements().empty());
  EXPECT_FALSE(sim::FileExists(kStartup + "\\dellog.bat"));
}

// Wine's RegSaveKey writes its own text form (as Wine 8 writes it for HKLM\SYSTEM): accepted
// there, and only there, when it is whole and names the hive its file stands for.
TEST_F(RestoreTest, WineTextHivesAreCheckedAsAWholeOnWine) {
  sim::AddExport("NTDLL.DLL", "wine_get_version");
  const auto saved = [](const char *hive) {
    return std::string("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\\\\") + hive +
           "\n\n#arch=win64\n\n[] 1796923455\n#time=1dd88cb47bc8cdc\n\n[Select] 1796923450\n"
           "#time=1dd88cb44bcb9f8\n\"Current\"=dword:00000001\n@=\"Vorgabe \\\"x\\\"\"\n"
           "\"Bin\"=hex:00,01,02,\\\n  03,04\n\"Multi\"=str(7):\"a\\0bc\\0\"\n\n[Child \\[x\\]\\\\Grand] 1796923455\n"
           "#class=\"MyClass\"\n";
  };
  struct Row {
    const char *name;
    std::string system;  // the SYSTEM file; the other three are sound
    HiveFileState state;
  } rows[] = {
      {"as Wine saves it", saved("System"), HiveFileState::Good},
      {"only the header line", "WINE REGISTRY Version 2\n", HiveFileState::Truncated},
      {"the header lines without a key", "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\\\\System\n", HiveFileState::Truncated},
      {"cut in the middle of a line", saved("System").substr(0, saved("System").size() - 5), HiveFileState::Truncated},
      {"cut after a line that goes on", saved("System").substr(0, saved("System").find("  03")), HiveFileState::Truncated},
      {"a line of no kind", saved("System") + "Kaputt\n", HiveFileState::Damaged},
      {"a value without its data", saved("System") + "\"Wert\"=\n", HiveFileState::Damaged},
      {"a broken hex list", saved("System") + "\"Wert\"=hex:0g\n", HiveFileState::Damaged},
      {"a key line without its end", saved("System") + "[Offen\n", HiveFileState::Damaged},
      {"a second line shorter than the header's", "WINE REGISTRY Version 2\nx\n[] 1\n", HiveFileState::Damaged},
      {"escapes at every place of an eight-byte word", saved("System") + [] {
         std::string lines;
         for (int i = 0; i < 17; i++) lines += "\"W\\\"" + std::string(i, 'a') + "\"=\"" + std::string(i, 'b') + "\\\\\\\"\"\n";
         return lines;
       }(), HiveFileState::Good},
      {"a quote that ends a long value early", saved("System") + "\"Wert\"=\"" + std::string(21, 'x') + "\"" +
       std::string(9, 'y') + "\"\n", HiveFileState::Damaged},
      {"the header names SAM", saved("SAM"), HiveFileState::OtherHive},
      {"sound over several read blocks", saved("System") + [] {
         std::string lines;
         for (int i = 0; i < 60000; i++) lines += "\"Wert " + std::to_string(i) + "\"=dword:0000abcd\n";
         return lines;
       }(), HiveFileState::Good},
      // Wine escapes every control character it saves; its loader reads a line only up to a NUL and
      // loads such a value as an empty REG_NONE, reporting success.
      {"a NUL byte in a string value", saved("System") + "\"Wert\"=\"x" + std::string(4, '\0') + "y\"\n",
       HiveFileState::Damaged},
      {"a key line ending in zeros (a sector lost)", saved("System") + "[Sub] 17969" + std::string(8, '\0') + "\n",
       HiveFileState::Damaged},
      {"a carriage return inside a key line", saved("System") + "[Sub] 1796\r923455\n", HiveFileState::Damaged},
      {"a control character in a comment", saved("System") + ";; x\x01y\n", HiveFileState::Damaged},
      // Wine's loader reads the type as a hex number and drops a value whose type it cannot read
      // (loading it as an empty REG_NONE value) while the restore reports success.
      {"a string value's type that is no number", saved("System") + "\"Wert\"=str(zz):\"q\"\n", HiveFileState::Damaged},
      {"a hex value's type that is no number", saved("System") + "\"Wert\"=hex(zz):01\n", HiveFileState::Damaged},
      {"a hex value's type left out", saved("System") + "\"Wert\"=hex():01\n", HiveFileState::Damaged},
      {"types as Wine writes them", saved("System") + "\"A\"=str(2):\"x\"\n\"B\"=hex(7):00,00\n\"C\"=hex(ffff0010):\n",
       HiveFileState::Good},
      // Wine's loader drops a hex value whose list holds a number above 0xFF or an empty entry.
      {"a byte of three hex digits", saved("System") + "\"Wert\"=hex:01,123,02\n", HiveFileState::Damaged},
      {"an empty entry in a hex list", saved("System") + "\"Wert\"=hex:01,,02\n", HiveFileState::Damaged},
      {"hex bytes without commas", saved("System") + "\"Wert\"=hex:0102\n", HiveFileState::Damaged},
      {"a continued line with a byte of three digits", saved("System") + "\"Wert\"=hex:01,\\\n  02,345\n",
       HiveFileState::Damaged},
      {"hex lists as Wine may write them", saved("System") + "\"A\"=hex:\n\"B\"=hex:01,02,\n\"C\"=hex:a,B\n",
       HiveFileState::Good},
      {"a line longer than any Wine writes", saved("System") + "\"Lang\"=\"" + std::string(1 << 20, 'x') + "\"\n",
       HiveFileState::Damaged},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    for (const char *hive : {"SOFTWARE", "SECURITY", "SAM"}) sim::PutFile(std::string("D:\\Backup\\") + hive, saved(hive));
    sim::PutFile("D:\\Backup\\SYSTEM", row.system);
    const auto checks = CheckBackupSet("D:\\Backup");
    ASSERT_EQ(checks.size(), 4u);
    EXPECT_EQ(checks[1].state, row.state);
    for (size_t i : {0u, 2u, 3u}) EXPECT_EQ(checks[i].state, HiveFileState::Good) << checks[i].file;
  }
  sim::PutFile("D:\\Backup\\SYSTEM", saved("SAM"));
  EXPECT_EQ(HiveFileReason(CheckBackupSet("D:\\Backup")[1]), "enthält nicht den Hive SYSTEM");
}

// A registration can fail after others succeeded: the registered ones stay (the system holds
// them), the rest of the copies go, and one box says which hives the next start replaces and what
// the user can do. A failure of the first registration leaves nothing behind.
TEST_F(RestoreTest, RegistrationThatFailsIsToldAsItIs) {
  struct Row {
    const char *name;
    int failingRegistration;
    size_t registered;
    std::vector<std::string> config;  // the configuration folder afterwards
  } rows[] = {
      {"SYSTEM, after SOFTWARE", 1, 1, {"SOFTWARE.bak", "SOFTWARE.TMP"}},
      {"SOFTWARE, the first", 0, 0, {}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
    sim::MakeFolders(kConfig);
    sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    SetFolder("D:\\Backup");
    BackupIn(window);
    sim::FailCall("RegReplaceKeyA", ERROR_ACCESS_DENIED, row.failingRegistration);
    sim::AnswerMessageBox(IDOK, row.registered ? 2 : 1);

    const RunResult result = Restore("D:\\Backup");

    EXPECT_EQ(result.failedHives, static_cast<int>(5 - row.registered));
    EXPECT_FALSE(result.setRefused);
    EXPECT_EQ(sim::Replacements().size(), row.registered);
    EXPECT_EQ(sim::ListFolder(kConfig), row.config);
    ASSERT_EQ(sim::MessageBoxes().size(), row.registered ? 2u : 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegReplaceKey");
    if (row.registered) {
      EXPECT_EQ(sim::MessageBoxes()[1].caption, "Wiederherstellung unvollständig");
      EXPECT_EQ(sim::MessageBoxes()[1].text,
                "Die Wiederherstellung ist unvollständig. Beim nächsten Start werden nur diese "
                "Hives ersetzt:\r\n\r\nSOFTWARE\r\n\r\nNicht ersetzt werden:\r\n\r\nSYSTEM\r\n"
                "SECURITY\r\nSAM\r\ns-1-5-21-1-2-3-1000\r\n\r\nStellen Sie die Registry bitte in "
                "der Wiederherstellungskonsole über die Batchdatei ConsoleBackup.bat aus dem "
                "Ordner „D:\\Backup“ vollständig wieder her.");
      EXPECT_EQ(sim::MessageBoxes()[1].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"), CleanupLines("SOFTWARE") + ClosingLines());
    } else {
      EXPECT_FALSE(sim::FileExists(kStartup + "\\dellog.bat"));
    }
  }
}

// A refused set's box stays on the screen: the first 20 files, then how many more.
TEST_F(RestoreTest, RefusedSetBoxListsAtMostTwentyFiles) {
  SetFolder("D:\\Backup");
  for (int i = 0; i < 25; i++) {
    char name[32];
    snprintf(name, sizeof name, "S-1-5-21-1-2-3-%d", 1000 + i);
    sim::LoadUserHive(name, "\\Device\\HarddiskVolume1\\Users\\u\\NTUSER.DAT");
  }
  BackupIn(window);
  for (int i = 0; i < 25; i++) sim::PutFile("D:\\Backup\\s-1-5-21-1-2-3-" + std::to_string(1000 + i), "");
  sim::AnswerMessageBox(IDOK);

  EXPECT_TRUE(Restore("D:\\Backup").setRefused);

  std::string expected = "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n";
  for (int i = 0; i < 20; i++) expected += "\r\nD:\\Backup\\s-1-5-21-1-2-3-" + std::to_string(1000 + i) + " ist leer";
  expected += "\r\nund 5 weitere";
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].text, expected);
}

// Both runs move the bar 10 further per user hive, past 100 with seven of them. The restore row
// restores the set the backup row wrote.
TEST_F(RestoreTest, SevenUserHivesPassProgressAbove100) {
  struct Row {
    const char *name;
    RunResult (*run)(HWND);
  } rows[] = {{"backup", BackupIn}, {"restore", RestoreIn}};
  for (int i = 0; i < 7; i++) {
    const std::string name = "S-1-5-21-1-2-3-100" + std::to_string(i);
    sim::LoadUserHive(name, "\\Device\\HarddiskVolume1\\Users\\u" + std::to_string(i) + "\\NTUSER.DAT");
  }
  SetFolder("D:\\Backup");
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    MarkHistories();
    row.run(window);
    EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 0}));
    EXPECT_TRUE(sim::MessageBoxes().empty());
  }
  EXPECT_EQ(sim::Replacements().size(), 11u) << "four machine hives and seven user hives";
}

TEST_F(RestoreTest, MissingConfigurationFolderIsCreated) {
  sim::SetEnvironment({"SystemRoot=D:\\W", "USERPROFILE=C:\\Users\\admin"});
  ReadEnvironmentBlock();
  sim::MakeFolders("D:\\W\\System32");
  SetFolder("D:\\Satz");
  BackupIn(window);
  EXPECT_EQ(Restore("D:\\Satz").failedHives, 0);
  EXPECT_TRUE(sim::FolderExists("D:\\W\\System32\\config"));
}

}  // namespace
