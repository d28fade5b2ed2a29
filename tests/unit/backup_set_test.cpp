// The backup set's rules: the fingerprint a run writes (read back by coreutils' sha256sum -c), the
// fingerprint's strict form, the check of a set against it, and the one path-length rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "run_fixture.h"
#include "services/fingerprint.h"
#include "workflows/backup_set.h"

namespace {

const char *const kUser = "S-1-5-21-1-2-3-1000";

class BackupSetTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Brovink", "Wert", "eins");
  }

  RunResult Backup(const std::string &folder) {
    SetFolder(folder);
    return BackupIn(window);
  }

  // The reasons of the files that failed, as "name: reason".
  static std::vector<std::string> Failures(const SetCheck &check) {
    std::vector<std::string> failures;
    for (const std::string &file : check.missing) failures.push_back(file.substr(file.rfind('\\') + 1) + ": fehlt");
    for (const HiveFileCheck &file : check.files) {
      if (file.state != HiveFileState::Good) {
        failures.push_back(file.file.substr(file.file.rfind('\\') + 1) + ": " + SetFileReason(file));
      }
    }
    return failures;
  }
};

// The set's files copied out of the simulation into a real folder, where coreutils checks them.
TEST_F(BackupSetTest, FingerprintOfARunIsReadBySha256sum) {
  ASSERT_EQ(Backup("D:\\Backup").failedFiles, 0);
  const std::string sums = sim::FileBytes("D:\\Backup\\SHA256SUMS");
  std::vector<std::string> names;
  for (size_t at = 0; at < sums.size();) {
    const size_t end = sums.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    ASSERT_GT(end - at, 66u);
    names.push_back(sums.substr(at + 66, end - at - 66));
    at = end + 2;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"SOFTWARE", "SYSTEM", "SECURITY", "SAM", "s-1-5-21-1-2-3-1000",
                                             "ConsoleBackup.bat"}));

  char folder[] = "/tmp/brovink-sums.XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  for (const std::string &name : sim::ListFolder("D:\\Backup")) {
    std::ofstream(std::string(folder) + "/" + name, std::ios::binary) << sim::FileBytes("D:\\Backup\\" + name);
  }
  const std::string check = std::string("cd ") + folder + " && sha256sum -c --strict --quiet SHA256SUMS";
  EXPECT_EQ(std::system(check.c_str()), 0) << "sha256sum -c refuses the fingerprint";
  std::system((std::string("rm -r ") + folder).c_str());
}

// SHA256SUMS comes from the folder and may be anything: only its own form is accepted, and no name
// in it ever leads out of the folder or to a device.
TEST_F(BackupSetTest, FingerprintOfAnotherFormIsDamaged) {
  const std::string hash(64, 'a');
  struct Row {
    const char *name;
    std::string text;
    FingerprintState state;
  } rows[] = {
      {"empty: a run that wrote nothing", "", FingerprintState::Good},
      {"one line", hash + "  SAM\r\n", FingerprintState::Good},
      {"upper-case digits", std::string(64, 'A') + "  SAM\r\n", FingerprintState::Damaged},
      {"63 digits", std::string(63, 'a') + "  SAM\r\n", FingerprintState::Damaged},
      {"one blank", hash + " SAM\r\n", FingerprintState::Damaged},
      {"sha256sum's binary mark", hash + " *SAM\r\n", FingerprintState::Damaged},
      {"a line feed alone", hash + "  SAM\n", FingerprintState::Damaged},
      {"cut in the middle of the last line", hash + "  SAM\r\n" + hash + "  SYS", FingerprintState::Damaged},
      {"no name", hash + "  \r\n", FingerprintState::Damaged},
      {"a path out of the folder", hash + "  ..\\..\\Windows\\win.ini\r\n", FingerprintState::Damaged},
      {"a device", hash + "  CON\r\n", FingerprintState::Damaged},
      {"a pattern", hash + "  *\r\n", FingerprintState::Damaged},
      {"a trailing dot", hash + "  SAM.\r\n", FingerprintState::Damaged},
      {"one name twice, in other case", hash + "  SAM\r\n" + hash + "  sam\r\n", FingerprintState::Damaged},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    sim::PutFile("D:\\S\\SHA256SUMS", row.text);
    std::vector<FingerprintLine> lines;
    FingerprintError error;
    EXPECT_EQ(ReadFingerprint("D:\\S\\SHA256SUMS", &lines, &error), row.state);
  }
  std::vector<FingerprintLine> lines;
  FingerprintError error;
  EXPECT_EQ(ReadFingerprint("D:\\S\\none", &lines, &error), FingerprintState::Missing);
  sim::MakeFolders("D:\\S\\dir");
  EXPECT_EQ(ReadFingerprint("D:\\S\\dir", &lines, &error), FingerprintState::Unreadable);
}

// The check of a set against its fingerprint: every file a restore would use, the script, and every
// listed file.
TEST_F(BackupSetTest, CheckComparesEveryFileWithTheFingerprint) {
  struct Row {
    const char *name;
    void (*change)();
    std::vector<std::string> failures;
  } rows[] = {
      {"the set as written", [] {}, {}},
      {"a hive changed after the run",
       [] {
         std::string bytes = sim::FileBytes("D:\\S\\SECURITY");
         bytes[2000] ^= 1;  // in the base block's reserved part: still a sound hive
         sim::PutFile("D:\\S\\SECURITY", bytes);
       },
       {"SECURITY: wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"}},
      {"the script changed", [] { sim::PutFile("D:\\S\\ConsoleBackup.bat", "copy x y\r\n"); },
       {"ConsoleBackup.bat: wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"}},
      {"a listed hive gone", [] { DeleteFileA("D:\\S\\SAM"); }, {"SAM: fehlt"}},
      {"a listed script gone", [] { DeleteFileA("D:\\S\\ConsoleBackup.bat"); }, {"ConsoleBackup.bat: fehlt"}},
      {"a user hive of a user not logged on now, changed",
       [] {
         sim::DeleteRegKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist");
         sim::PutFile("D:\\S\\s-1-5-21-1-2-3-1000", sim::FileBytes("D:\\S\\SAM"));
       },
       {"s-1-5-21-1-2-3-1000: wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"}},
      {"a user hive file the run did not write, of a user logged on now",
       [] {
         sim::LoadUserHive("S-1-5-21-1-2-3-1001", "\\Device\\HarddiskVolume1\\Users\\u2\\NTUSER.DAT");
         sim::PutFile("D:\\S\\s-1-5-21-1-2-3-1001", sim::FileBytes("D:\\S\\SAM"));
       },
       {"s-1-5-21-1-2-3-1001: wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)"}},
      {"the fingerprint names itself", [] {
         sim::PutFile("D:\\S\\SHA256SUMS", sim::FileBytes("D:\\S\\SHA256SUMS") + std::string(64, '0') + "  SHA256SUMS\r\n");
       },
       {"SHA256SUMS: ist beschädigt"}},
      {"the fingerprint damaged: the files by their structure alone",
       [] { sim::PutFile("D:\\S\\SHA256SUMS", "kaputt"); }, {"SHA256SUMS: ist beschädigt"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    Backup("D:\\S");
    row.change();
    const SetCheck check = CheckSet("D:\\S");
    EXPECT_TRUE(check.fingerprinted);
    EXPECT_EQ(Failures(check), row.failures);
    EXPECT_EQ(IsCompleteSet(check), row.failures.empty());
  }
}

// One rule for every run: the longest path it would write, a user hive's file included, fits 255
// characters; a folder where it does not gets a box and nothing is written, not even the folder.
TEST_F(BackupSetTest, FolderWhoseLongestPathDoesNotFitIsRefusedBeforeAnythingIsWritten) {
  const std::string user = "s-1-5-21-1-2-3-1000";  // 19 characters, longer than ConsoleBackup.bat
  struct Row {
    const char *name;
    bool withUser;
    size_t longestPath;
    bool fits;
  } rows[] = {
      {"the script's path at 255", false, 255, true},
      {"the script's path at 256", false, 256, false},
      {"the user hive's path at 255", true, 255, true},
      {"the user hive's path at 256", true, 256, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartNextRow();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    if (row.withUser) sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    const size_t nameLength = row.withUser ? user.size() : std::string("ConsoleBackup.bat").size();
    const std::string folder = "D:\\" + std::string(row.longestPath - nameLength - 1 - 3, 'x');
    EXPECT_EQ(LongestSetPath(folder), folder + "\\" + (row.withUser ? user : "ConsoleBackup.bat"));
    EXPECT_EQ(SetPathsFit(folder), row.fits);
    if (!row.fits) sim::AnswerMessageBox(IDOK);
    MarkHistories();

    const RunResult result = Backup(folder);

    EXPECT_EQ(result.folderRefused, !row.fits);
    if (row.fits) {
      EXPECT_TRUE(sim::FileExists(folder + "\\ConsoleBackup.bat"));
      EXPECT_TRUE(sim::FileExists(folder + "\\SHA256SUMS"));
      EXPECT_EQ(result.failedHives + result.failedFiles, 0);
      continue;
    }
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Sicherung abgebrochen");
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Der Ordner " + folder + " ist für die Sicherung zu lang: " +
                                               LongestSetPath(folder) + " hätte mehr als 255 Zeichen. Es wurde nichts geschrieben.");
    EXPECT_EQ(sim::ListFolder("D:\\"), std::vector<std::string>{});
    EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0) << "not even the policy value";
    EXPECT_EQ(RunStatus(), std::vector<std::string>{});
    ExpectButtonsSwitchedInRunOrder();
  }
}

}  // namespace
