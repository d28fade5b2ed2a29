// The restore run, and the round trip that states the tool's promise: what was backed up is what
// the machine holds after the restore and a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

TEST_F(RestoreTest, PartialSetRestoresWhatIsThere) {
  SetFolder("D:\\Teil");
  BackupIn(window);
  for (const char *extra : {"SECURITY", "SAM"}) {
    ASSERT_TRUE(DeleteFileA((std::string("D:\\Teil\\") + extra).c_str())) << extra;
  }

  Restore("D:\\Teil");

  EXPECT_EQ(RunStatus(), (std::vector<std::string>{"läuft... SOFTWARE", "läuft... SYSTEM",
                                                   "läuft... SECURITY", "läuft... SAM", ""}));
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 0}));
  EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"),
            CleanupLines("SOFTWARE") + CleanupLines("SYSTEM") + ClosingLines());
  EXPECT_EQ(sim::Replacements().size(), 2u);
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(RestoreTest, EmptyFolderStillWritesTheClosingLines) {
  sim::MakeFolders("D:\\Leer");
  sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
  Restore("D:\\Leer");
  EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"), ClosingLines());
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 0}));
  EXPECT_EQ(RunStatus().at(4), "läuft... s-1-5-21-1-2-3-1000");
  EXPECT_TRUE(sim::Replacements().empty());
  EXPECT_TRUE(sim::MessageBoxes().empty());
  ExpectButtonsSwitchedInRunOrder();
}

// A staged copy that cannot be made must not let a stale copy of an earlier restore be put in
// place: the failure is reported and that hive is left alone.
TEST_F(RestoreTest, FailedCopyRegistersNothingForThatHive) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  sim::PutFile(kConfig + "\\SYSTEM.tmp", "stale copy of an earlier restore");
  sim::FailCall("CopyFileA", ERROR_DISK_FULL, 1);  // SYSTEM's copy
  sim::AnswerMessageBox(IDOK);

  Restore("D:\\Backup");

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in CopyFile");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  112 in Datei " + kConfig + "\\SYSTEM.tmp");
  EXPECT_EQ(sim::MessageBoxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  for (const auto &replacement : sim::Replacements()) {
    EXPECT_EQ(replacement.newFile.find("SYSTEM"), std::string::npos) << replacement.newFile;
  }
  EXPECT_EQ(sim::Replacements().size(), 3u);
  EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"),
            CleanupLines("SOFTWARE") + CleanupLines("SECURITY") + CleanupLines("SAM") +
                ClosingLines());
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 0}));
}

// The kernel holds a registered replacement file open until the restart: a second restore before
// it cannot copy over the staged file, says so, and registers nothing more for that hive.
TEST_F(RestoreTest, SecondRestoreBeforeTheRestartMeetsTheHeldStagedCopy) {
  SetFolder("D:\\Backup");
  BackupIn(window);
  Restore("D:\\Backup");
  ASSERT_EQ(sim::Replacements().size(), 4u);
  const std::string staged = sim::FileBytes(kConfig + "\\SOFTWARE.TMP");
  sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Brovink", "Stand", "zweite Sicherung");
  BackupIn(window);
  for (int i = 0; i < 4; i++) sim::AnswerMessageBox(IDOK);

  Restore("D:\\Backup");

  ASSERT_EQ(sim::MessageBoxes().size(), 4u);
  const char *const staging[] = {"SOFTWARE.TMP", "SYSTEM.tmp", "SECURITY.tmp", "SAM.tmp"};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(sim::MessageBoxes()[i].caption, "Fehler in CopyFile");
    EXPECT_EQ(sim::MessageBoxes()[i].text,
              "Fehlernummer:  32 in Datei " + kConfig + "\\" + staging[i]);
  }
  EXPECT_EQ(sim::Replacements().size(), 4u);
  EXPECT_EQ(sim::FileBytes(kConfig + "\\SOFTWARE.TMP"), staged);
  EXPECT_EQ(sim::FileBytes(kStartup + "\\dellog.bat"), ClosingLines());
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
  ASSERT_EQ(checks.size(), 4u);
  EXPECT_EQ(checks[0].file, "D:\\Backup\\SOFTWARE");
  EXPECT_EQ(checks[0].state, HiveFileState::Empty);
  EXPECT_EQ(checks[1].state, HiveFileState::Good);
  EXPECT_EQ(checks[2].state, HiveFileState::Good);
  EXPECT_EQ(checks[3].state, HiveFileState::Truncated);
  sim::AnswerMessageBox(IDOK);
  Restore("D:\\Backup");
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].text,
            "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n\r\n"
            "D:\\Backup\\SOFTWARE ist leer\r\nD:\\Backup\\SAM ist abgeschnitten");
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
      {"the header names SAM", saved("SAM"), HiveFileState::OtherHive},
      {"sound over several read blocks", saved("System") + [] {
         std::string lines;
         for (int i = 0; i < 60000; i++) lines += "\"Wert " + std::to_string(i) + "\"=dword:0000abcd\n";
         return lines;
       }(), HiveFileState::Good},
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

TEST_F(RestoreTest, FailedReplacementIsReportedAndTheRunGoesOn) {
  sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
  SetFolder("D:\\Backup");
  BackupIn(window);
  sim::FailCall("RegReplaceKeyA", ERROR_ACCESS_DENIED, 1);  // SYSTEM
  sim::AnswerMessageBox(IDOK);

  const RunResult result = Restore("D:\\Backup");

  EXPECT_EQ(result.failedHives, 1);
  EXPECT_FALSE(result.setRefused);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegReplaceKey");
  EXPECT_EQ(sim::Replacements().size(), 4u) << "SOFTWARE, SECURITY, SAM and the user hive";
  EXPECT_EQ(RunProgress(), (std::vector<int>{1, 10, 20, 30, 40, 50, 0}));
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
  sim::MakeFolders("D:\\Leer");
  Restore("D:\\Leer");
  EXPECT_TRUE(sim::FolderExists("D:\\W\\System32\\config"));
}

}  // namespace
