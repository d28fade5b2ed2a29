// Loaded user hives whose names are odd as file names. One with wildcard characters (registry key
// names may hold "*" and "?", file names may not): its save fails with its message, and the
// clean-up of that failed save must not take the other files of the backup set with it (found by
// the loaded-hive list fuzz target).
#include <gtest/gtest.h>

#include "run_fixture.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

namespace {

class OddHiveNameTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  }
};

TEST_F(OddHiveNameTest, FailedSaveOfAWildcardNameLeavesTheSetsOtherFiles) {
  struct Row {
    const char *name;
    const char *hive;  // key name under HKEY_USERS
    const char *file;  // as the message names it
  };
  const Row rows[] = {
      {"star and dot match every name without extension", "*.", "D:\\Backup\\*."},
      {"star matches everything", "*", "D:\\Backup\\*"},
      {"question marks match the machine hives' names", "S??", "D:\\Backup\\s??"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    InitCommonControls();
    window = CreateMainWindow(nullptr);
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::PutFile("D:\\Backup\\Notiz", "vom Benutzer");  // a file of the user's beside the set
    sim::LoadUserHive(row.hive, "\\Device\\HarddiskVolume1\\Users\\x\\NTUSER.DAT");
    sim::AnswerMessageBox(IDOK);
    SetFolder("D:\\Backup");
    RunBackup(window);

    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegSaveKey");
    EXPECT_EQ(sim::MessageBoxes()[0].text, std::string("Fehlernummer:  123 in Datei ") + row.file);
    for (const char *machine : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      EXPECT_EQ(sim::HiveFileSnapshot(std::string("D:\\Backup\\") + machine),
                sim::HiveSnapshot(std::string("HKEY_LOCAL_MACHINE\\") + machine))
          << machine;
    }
    EXPECT_EQ(sim::FileBytes("D:\\Backup\\Notiz"), "vom Benutzer");
  }
}

// A user hive named like one of the set's own files must neither overwrite that file in a backup
// nor be restored from it.
TEST_F(OddHiveNameTest, UserHiveNamedLikeAFileOfTheSetTakesNoFileOfIt) {
  sim::MakeFolders("C:\\Users\\admin\\Startmenü\\Programme\\Autostart");
  sim::LoadUserHive("SOFTWARE", "\\Device\\HarddiskVolume1\\Users\\x\\NTUSER.DAT");
  sim::SetRegString("HKEY_USERS\\SOFTWARE\\Eigen", "Wert", "des Benutzers");
  sim::AnswerMessageBox(IDOK);
  SetFolder("D:\\Backup");
  RunBackup(window);

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Fehler in RegSaveKey");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "Fehlernummer:  183 in Datei D:\\Backup\\software");
  EXPECT_EQ(sim::HiveFileSnapshot("D:\\Backup\\SOFTWARE"),
            sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
  EXPECT_EQ(sim::FileBytes("D:\\Backup\\ConsoleBackup.bat").find("software\""), std::string::npos);

  RunRestore(window);
  for (const auto &replacement : sim::Replacements()) {
    EXPECT_EQ(replacement.hive.find("HKEY_USERS"), std::string::npos) << replacement.newFile;
  }
  EXPECT_EQ(sim::Replacements().size(), 4u);
}

}  // namespace
