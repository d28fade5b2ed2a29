// Registering a staged hive file in place of a loaded hive: the kept old file, the privileges,
// the call that relies on a sub-key standing for its hive, the boxes, and the next start.
#include "services/hive_replace.h"

#include <gtest/gtest.h>

#include "call_log.h"
#include "services/key_path.h"
#include "sim_test.h"

namespace {

const std::string kConfig = "C:\\WINDOWS\\System32\\config";
const std::string kHint =
    "\r\n\r\nStellen Sie Ihre Registry bitte in der Wiederherstellungskonsole über die Batchdatei "
    "ConsoleBackup.BAT aus dem Backup-Verzeichnis wieder her.";

class HiveReplaceTest : public SimTest {
 protected:
  // Stages the hive as it is now as "<hive>.tmp", then changes the live hive.
  std::string StageAndChange(const std::string &keyPath, const std::string &stagedName) {
    sim::SetRegString(keyPath + "\\Brovink", "Stand", "gesichert");
    const std::string staged = sim::HiveSnapshot(keyPath);
    sim::PutFile(kConfig + "\\" + stagedName, staged);
    sim::SetRegString(keyPath + "\\Brovink", "Stand", "geändert");
    sim::ClearCallLog();
    return staged;
  }

  void ExpectErrorBox(const std::string &caption, const std::string &text) {
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].caption, caption);
    EXPECT_EQ(sim::MessageBoxes()[0].text, text);
    EXPECT_EQ(sim::MessageBoxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(sim::MessageBoxes()[0].owner, nullptr);
  }
};

TEST_F(HiveReplaceTest, RegistersTheStagedFileAndTheNextStartPutsItInPlace) {
  const std::string staged = StageAndChange("HKEY_LOCAL_MACHINE\\SOFTWARE", "SOFTWARE.tmp");
  const std::string live = sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE");

  EXPECT_EQ(ReplaceHive("HKEY_LOCAL_MACHINE\\SOFTWARE", "SOFTWARE.tmp", "SOFTWARE.bak"), 0);

  EXPECT_EQ(
      LoggedCalls({"AdjustTokenPrivileges", "RegCreateKeyExA", "RegReplaceKeyA", "RegCloseKey"}),
      (std::vector<std::string>{
          "AdjustTokenPrivileges SeBackupPrivilege", "AdjustTokenPrivileges SeRestorePrivilege",
          "AdjustTokenPrivileges SeTakeOwnershipPrivilege",
          "AdjustTokenPrivileges SeDebugPrivilege", "RegCreateKeyExA HKEY_LOCAL_MACHINE\\SOFTWARE",
          "RegReplaceKeyA SOFTWARE " + kConfig + "\\SOFTWARE.tmp " + kConfig + "\\SOFTWARE.bak",
          "RegCloseKey"}));
  ASSERT_EQ(sim::Replacements().size(), 1u);
  EXPECT_EQ(sim::Replacements()[0].hive, "HKEY_LOCAL_MACHINE\\SOFTWARE");
  EXPECT_EQ(sim::Replacements()[0].newFile, kConfig + "\\SOFTWARE.tmp");
  EXPECT_EQ(sim::Replacements()[0].oldFile, kConfig + "\\SOFTWARE.bak");
  // The system keeps the running hive as the old file; the sub-key "SOFTWARE" was created in it.
  EXPECT_TRUE(sim::RegKeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\SOFTWARE"));
  EXPECT_EQ(sim::HiveFileSnapshot(kConfig + "\\SOFTWARE.bak"),
            sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
  EXPECT_NE(sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"), staged) << "not before the restart";
  EXPECT_EQ(sim::OpenKeyCount(), 0);
  EXPECT_EQ(sim::OpenHandleCount(), 0);

  sim::Restart();
  EXPECT_EQ(sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"), staged);
  EXPECT_NE(live, staged);
}

TEST_F(HiveReplaceTest, UserHiveIsReplacedThroughItsLowerCaseName) {
  sim::LoadUserHive("S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
  const std::string staged =
      StageAndChange("HKEY_USERS\\S-1-5-21-1-2-3-1000", "s-1-5-21-1-2-3-1000.tmp");

  EXPECT_EQ(ReplaceHive("HKEY_USERS\\s-1-5-21-1-2-3-1000", "s-1-5-21-1-2-3-1000.tmp",
                        "s-1-5-21-1-2-3-1000.bak"),
            0);
  ASSERT_EQ(sim::Replacements().size(), 1u);
  EXPECT_EQ(sim::Replacements()[0].hive, "HKEY_USERS\\S-1-5-21-1-2-3-1000");
  sim::Restart();
  EXPECT_EQ(sim::HiveSnapshot("HKEY_USERS\\S-1-5-21-1-2-3-1000"), staged);
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

// The old file of an earlier restore is the user's way back: ReplaceHive never deletes it (the
// system then refuses the name), and KeepOldHiveFile moves it to the first free dated name.
TEST_F(HiveReplaceTest, OldFileOfAnEarlierRestoreIsKeptUnderADatedName) {
  const std::string bak = kConfig + "\\SYSTEM.bak";
  struct Row {
    const char *name;
    DWORD attributes;
    std::vector<std::string> taken;  // dated names already there
    std::string kept;                // where the earlier file ends up
  } rows[] = {
      {"plain file", FILE_ATTRIBUTE_ARCHIVE, {}, bak + "-12-08-2026-1"},
      {"hidden and system file too", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, {},
       bak + "-12-08-2026-1"},
      {"first numbers taken, in any case", FILE_ATTRIBUTE_ARCHIVE,
       {"SYSTEM.bak-12-08-2026-1", "system.BAK-12-08-2026-2"}, bak + "-12-08-2026-3"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    StageAndChange("HKEY_LOCAL_MACHINE\\SYSTEM", "SYSTEM.tmp");
    sim::PutFile(bak, "earlier", row.attributes);
    for (const std::string &taken : row.taken) sim::PutFile(kConfig + "\\" + taken, taken);
    sim::AnswerMessageBox(IDOK);

    EXPECT_EQ(ReplaceHive("HKEY_LOCAL_MACHINE\\SYSTEM", "SYSTEM.tmp", "SYSTEM.bak"), 0);
    ExpectErrorBox("Fehler in RegReplaceKey",
                   "Fehlernummer:  183 in Datei " + kConfig + "\\SYSTEM.tmp" + kHint);
    EXPECT_EQ(sim::FileBytes(bak), "earlier") << "never deleted";

    EXPECT_EQ(KeepOldHiveFile(kConfig, "SYSTEM.bak"), ERROR_SUCCESS);
    EXPECT_EQ(sim::FileBytes(row.kept), "earlier");
    for (const std::string &taken : row.taken) EXPECT_EQ(sim::FileBytes(kConfig + "\\" + taken), taken);
    EXPECT_FALSE(sim::FileExists(bak));
    EXPECT_EQ(ReplaceHive("HKEY_LOCAL_MACHINE\\SYSTEM", "SYSTEM.tmp", "SYSTEM.bak"), 0);
    EXPECT_EQ(sim::Replacements().size(), 1u);
    EXPECT_EQ(sim::FileBytes(row.kept), "earlier");
  }
}

TEST_F(HiveReplaceTest, OldFileThatCannotBeMovedIsReported) {
  sim::PutFile(kConfig + "\\SAM.bak", "earlier");
  sim::FailCall("MoveFileExA", ERROR_SHARING_VIOLATION);
  sim::AnswerMessageBox(IDOK);
  EXPECT_EQ(KeepOldHiveFile(kConfig, "SAM.bak"), ERROR_SHARING_VIOLATION);
  ExpectErrorBox("Fehler in MoveFile", "Fehlernummer:  32 in Datei " + kConfig + "\\SAM.bak");
  EXPECT_EQ(sim::FileBytes(kConfig + "\\SAM.bak"), "earlier");
  EXPECT_EQ(KeepOldHiveFile(kConfig, "SOFTWARE.bak"), ERROR_SUCCESS) << "none there: nothing to do";
}

TEST_F(HiveReplaceTest, UnknownRootReturnsAfterThePrivileges) {
  sim::PutFile(kConfig + "\\SOFTWARE.bak", "earlier");
  sim::ClearCallLog();

  EXPECT_EQ(ReplaceHive("HKEY_NOWHERE\\SOFTWARE", "SOFTWARE.tmp", "SOFTWARE.bak"), -99999);

  EXPECT_EQ(sim::FileBytes(kConfig + "\\SOFTWARE.bak"), "earlier");
  for (const char *name : {"SeBackupPrivilege", "SeRestorePrivilege", "SeTakeOwnershipPrivilege",
                           "SeDebugPrivilege"}) {
    EXPECT_TRUE(sim::PrivilegeEnabled(name)) << name;
  }
  EXPECT_TRUE(LoggedCalls({"Reg"}).empty());
}

TEST_F(HiveReplaceTest, KeyThatCannotBeOpenedNamesTheBareNewName) {
  sim::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
  sim::AnswerMessageBox(IDOK);

  EXPECT_EQ(ReplaceHive("HKEY_LOCAL_MACHINE\\SOFTWARE", "SOFTWARE.tmp", "SOFTWARE.bak"), -1);

  ExpectErrorBox("Fehler in RegCreateKeyEx", "Fehlernummer:  5 in Datei SOFTWARE.tmp");
  EXPECT_EQ(sim::CallCount("RegReplaceKeyA"), 0);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 0);
}

TEST_F(HiveReplaceTest, RefusedReplacementNamesTheFullPathWithTheHintAndClosesTheKey) {
  sim::AnswerMessageBox(IDOK);  // no staged file: the system cannot open it

  EXPECT_EQ(ReplaceHive("HKEY_LOCAL_MACHINE\\SAM", "SAM.tmp", "SAM.bak"), 0);

  ExpectErrorBox("Fehler in RegReplaceKey",
                 "Fehlernummer:  2 in Datei " + kConfig + "\\SAM.tmp" + kHint);
  EXPECT_EQ(LoggedCalls({"RegReplaceKeyA", "MessageBoxA", "RegCloseKey"}),
            (std::vector<std::string>{
                "RegReplaceKeyA SAM " + kConfig + "\\SAM.tmp " + kConfig + "\\SAM.bak",
                "MessageBoxA Fehler in RegReplaceKey", "RegCloseKey"}));
  EXPECT_EQ(sim::OpenKeyCount(), 0);
  EXPECT_TRUE(sim::Replacements().empty());
  EXPECT_FALSE(sim::FileExists(kConfig + "\\SAM.bak"));
}

// Sub-key and both paths travel in fields of 254 characters. What does not fit is not cut and
// used: nothing is deleted and no registry call is made.
TEST_F(HiveReplaceTest, TextThatDoesNotFitItsFieldIsNotCut) {
  const size_t folderAndSlash = kConfig.size() + 1;
  struct Row {
    const char *name;
    std::string keyPath;
    std::string newName;
    std::string oldName;
    bool fits;
  } rows[] = {
      {"new path of 254 characters", "HKEY_LOCAL_MACHINE\\SOFTWARE",
       std::string(254 - folderAndSlash, 'n'), "SOFTWARE.bak", true},
      {"new path of 255 characters", "HKEY_LOCAL_MACHINE\\SOFTWARE",
       std::string(255 - folderAndSlash, 'n'), "SOFTWARE.bak", false},
      {"old path of 255 characters", "HKEY_LOCAL_MACHINE\\SOFTWARE", "SOFTWARE.tmp",
       std::string(255 - folderAndSlash, 'o'), false},
      {"sub-key of 255 characters", "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + std::string(246, 'k'),
       "SOFTWARE.tmp", "SOFTWARE.bak", false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::PutFile(kConfig + "\\" + row.newName, sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    if (!row.fits) sim::PutFile(kConfig + "\\" + row.oldName, "earlier");
    if (!row.fits) sim::AnswerMessageBox(IDOK);

    LONG result = ReplaceHive(row.keyPath, row.newName, row.oldName);

    if (row.fits) {
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(sim::MessageBoxes().empty());
      EXPECT_EQ(sim::Replacements().size(), 1u);
      continue;
    }
    EXPECT_EQ(result, -1);
    ExpectErrorBox("Fehler in RegReplaceKey",
                   "Fehlernummer:  206 in Datei " + kConfig + "\\" + row.newName + kHint);
    EXPECT_EQ(sim::FileBytes(kConfig + "\\" + row.oldName), "earlier");
    EXPECT_TRUE(LoggedCalls({"Reg", "DeleteFileA"}).empty());
  }
}

// After its format box a malformed path must neither delete a file nor reach the registry with
// the root of an earlier parse.
TEST_F(HiveReplaceTest, MalformedKeyPathTouchesNothing) {
  ASSERT_TRUE(ParseKeyPath("HKEY_LOCAL_MACHINE\\SYSTEM"));
  sim::PutFile(kConfig + "\\SYSTEM.bak", "earlier");
  sim::ClearCallLog();
  sim::AnswerMessageBox(IDOK);

  EXPECT_EQ(ReplaceHive("HKEY_LOCAL_MACHINE\\SYSTEM\\", "SYSTEM.tmp", "SYSTEM.bak"), -99999);

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Schlüssel-Parser");
  EXPECT_EQ(sim::FileBytes(kConfig + "\\SYSTEM.bak"), "earlier");
  EXPECT_TRUE(LoggedCalls({"Reg", "DeleteFileA", "AdjustTokenPrivileges"}).empty());
}

}  // namespace
