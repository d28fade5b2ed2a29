// Loaded-hive list entries whose hive names are no plain file names of their own: a pattern, a
// path out of the folder, a name that Windows takes for another file (trailing dot or blank, other
// case) or for a device, or one of the set's own names. The backup shows its "Fehler in
// RegSaveKey" box for each and touches no file for it; the restore passes it over silently.
#include <gtest/gtest.h>

#include "run_fixture.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

namespace {

const std::vector<std::string> kSetFiles = {"ConsoleBackup.bat", "Notiz", "SAM", "SECURITY",
                                            "SHA256SUMS", "SOFTWARE", "SYSTEM"};

class OddHiveNameTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    Prepare();
  }

  void Prepare() {
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders("C:\\Users\\admin\\Startmenü\\Programme\\Autostart");
    sim::PutFile("D:\\Backup\\Notiz", "vom Benutzer");  // a file of the user's beside the set
    sim::PutFile("D:\\victim.txt", "fremd", FILE_ATTRIBUTE_READONLY);  // outside the folder
    SetFolder("D:\\Backup");
  }

  void ExpectMachineHivesInSet() {
    for (const char *machine : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      EXPECT_EQ(sim::HiveFileSnapshot(std::string("D:\\Backup\\") + machine),
                sim::HiveSnapshot(std::string("HKEY_LOCAL_MACHINE\\") + machine))
          << machine;
    }
  }
};

TEST_F(OddHiveNameTest, NamesThatAreNoPlainFileOfTheSetGetTheSaveBoxAndNoFile) {
  struct Row {
    const char *name;
    std::string entry;  // rest of the list value's name after "\REGISTRY\USER\"
    std::string file;   // as the box names it
  };
  const Row rows[] = {
      {"empty: the folder itself", "", "D:\\Backup\\"},
      {"out of the folder", "..\\victim.txt", "D:\\Backup\\..\\victim.txt"},
      {"a key below a hive", "S-1-5-21-1\\Software", "D:\\Backup\\s-1-5-21-1\\software"},
      {"slash", "a/b", "D:\\Backup\\a/b"},
      {"drive colon", "d:victim.txt", "D:\\Backup\\d:victim.txt"},
      {"star and dot match every name without extension", "*.", "D:\\Backup\\*."},
      {"star matches everything", "*", "D:\\Backup\\*"},
      {"question marks match the machine hives' names", "S??", "D:\\Backup\\s??"},
      {"quote", "a\"b", "D:\\Backup\\a\"b"},
      {"control character", "a\tb", "D:\\Backup\\a\tb"},
      {"dot", ".", "D:\\Backup\\."},
      {"trailing dot: SOFTWARE for Windows", "SOFTWARE.", "D:\\Backup\\software."},
      {"trailing blank: SAM for Windows", "SAM ", "D:\\Backup\\sam "},
      {"a set file in other case", "ConsoleBackup.BAT", "D:\\Backup\\consolebackup.bat"},
      {"the fingerprint's name", "SHA256SUMS", "D:\\Backup\\sha256sums"},
      {"a run's temporary save name", "~1a2c.0", "D:\\Backup\\~1a2c.0"},
      {"the folder's lock file", "~brovink.lock", "D:\\Backup\\~brovink.lock"},
      {"device", "CON", "D:\\Backup\\con"},
      {"device with extension", "nul.txt", "D:\\Backup\\nul.txt"},
      {"numbered device", "LPT9", "D:\\Backup\\lpt9"},
      {"numbered device with blank and extension", "com1 .log", "D:\\Backup\\com1 .log"},
      {"superscript device number", "com\xB9", "D:\\Backup\\com\xB9"},
      {"short alias of the script", "CONSOL~1.BAT", "D:\\Backup\\consol~1.bat"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    InitCommonControls();
    window = CreateMainWindow(nullptr);
    Prepare();
    // A loaded hive of that key name, so that nothing but the name stops its save.
    sim::LoadUserHive(row.entry, "\\Device\\HarddiskVolume1\\Users\\x\\NTUSER.DAT");
    sim::AnswerMessageBox(IDOK);
    BackupIn(window);

    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegSaveKey");
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  183 in Datei " + row.file);
    EXPECT_EQ(sim::ListFolder("D:\\Backup"), kSetFiles);
    ExpectMachineHivesInSet();
    EXPECT_EQ(sim::FileBytes("D:\\Backup\\Notiz"), "vom Benutzer");
    EXPECT_EQ(sim::FileBytes("D:\\victim.txt"), "fremd");
    EXPECT_EQ(sim::FileAttributes("D:\\victim.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(sim::ListFolder("D:\\"), (std::vector<std::string>{"Backup", "victim.txt"}));
    EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat").find("NTUSER"), std::string::npos);

    // The restore stages and registers the machine hives only, all inside the configuration folder.
    const auto system32 = sim::ListFolder("C:\\WINDOWS\\System32");
    RestoreIn(window);
    EXPECT_EQ(sim::MessageBoxes().size(), 1u);
    ASSERT_EQ(sim::Replacements().size(), 4u);
    for (const auto &replacement : sim::Replacements()) {
      EXPECT_EQ(replacement.hive.rfind("HKEY_LOCAL_MACHINE\\", 0), 0u) << replacement.hive;
    }
    EXPECT_EQ(sim::ListFolder("C:\\WINDOWS\\System32"), system32);
    EXPECT_EQ(sim::FileBytes("D:\\victim.txt"), "fremd");
  }
}

// Listed, but not loaded: the save would create the key under HKEY_USERS and save it empty over
// an earlier backup's file of that hive.
TEST_F(OddHiveNameTest, ListedHiveWithoutAKeyIsNeitherCreatedNorSaved) {
  sim::PutFile("D:\\Backup\\s-1-5-21-9", "aus der letzten Sicherung");
  sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-21-9", "\\Device\\HarddiskVolume1\\u9\\NTUSER.DAT");
  sim::AnswerMessageBox(IDOK);
  BackupIn(window);

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegCreateKeyEx");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  2 in Datei D:\\Backup\\s-1-5-21-9");
  EXPECT_FALSE(sim::RegKeyExists("HKEY_USERS\\S-1-5-21-9"));
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\s-1-5-21-9"), "aus der letzten Sicherung");
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat").find("u9"), std::string::npos);
  ExpectMachineHivesInSet();
}

}  // namespace
