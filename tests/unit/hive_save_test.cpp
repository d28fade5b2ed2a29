// Saving a key into a hive file: privileges, the protected file, the fallback from RegSaveKeyExA
// to RegSaveKeyA with the deletes between, and the error boxes.
#include "services/hive_save.h"

#include <gtest/gtest.h>

#include "call_log.h"
#include "services/key_path.h"
#include "services/report.h"
#include "sim_test.h"

namespace {

const char *const kProtected = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";
const std::vector<std::string> kSaveCalls = {"AdjustTokenPrivileges", "RegCreateKeyExA",
                                             "RegSaveKey", "DeleteFileA", "RegCloseKey"};

class HiveSaveTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::MakeFolders("C:\\Backup");
    sim::ClearCallLog();
  }

  void ExpectErrorBox(const std::string &caption, const std::string &text) {
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    const sim::MessageBoxRecord &box = sim::MessageBoxes()[0];
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(box.owner, nullptr);
  }

  // Every save leaves no key, descriptor or module reference behind.
  void ExpectNothingLeftOpen() {
    EXPECT_EQ(sim::OpenKeyCount(), 0);
    EXPECT_EQ(sim::LiveDescriptorCount(), 0);
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
  }
};

TEST_F(HiveSaveTest, WritesTheHiveReadableBySystemAndAdministratorsOnly) {
  EXPECT_EQ(SaveHive("HKEY_LOCAL_MACHINE\\SAM", "C:\\Backup\\SAM"), 0);

  EXPECT_EQ(sim::HiveFileSnapshot("C:\\Backup\\SAM"), sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SAM"));
  EXPECT_NE(sim::HiveFileSnapshot("C:\\Backup\\SAM").find("000001F4"), std::string::npos);
  EXPECT_EQ(sim::SavedDescriptor("C:\\Backup\\SAM"), kProtected);
  EXPECT_EQ(LoggedCalls(kSaveCalls),
            (std::vector<std::string>{"AdjustTokenPrivileges SeBackupPrivilege",
                                      "AdjustTokenPrivileges SeTakeOwnershipPrivilege",
                                      "AdjustTokenPrivileges SeDebugPrivilege",
                                      "RegCreateKeyExA HKEY_LOCAL_MACHINE\\SAM",
                                      "RegSaveKeyExA C:\\Backup\\SAM", "RegCloseKey"}));
  EXPECT_TRUE(sim::PrivilegeEnabled("SeBackupPrivilege"));
  EXPECT_FALSE(sim::PrivilegeEnabled("SeRestorePrivilege"));
  ExpectNothingLeftOpen();
}

TEST_F(HiveSaveTest, OnWineTheHiveIsSavedWithoutADescriptor) {
  sim::AddExport("NTDLL.DLL", "wine_get_version");
  EXPECT_EQ(SaveHive("HKEY_LOCAL_MACHINE\\SAM", "C:\\Backup\\SAM"), 0);
  EXPECT_TRUE(sim::FileExists("C:\\Backup\\SAM"));
  EXPECT_EQ(sim::SavedDescriptor("C:\\Backup\\SAM"), "");
  ExpectNothingLeftOpen();
}

// RegSaveKeyExA with REG_NO_COMPRESSION takes hive roots only; a key below one is saved by the
// plain call after the partial file was removed.
TEST_F(HiveSaveTest, FallsBackToThePlainSaveForAKeyThatIsNoHiveRoot) {
  const char *key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft";
  EXPECT_EQ(SaveHive(key, "C:\\Backup\\Microsoft"), 0);

  EXPECT_EQ(sim::HiveFileSnapshot("C:\\Backup\\Microsoft"), sim::HiveSnapshot(key));
  EXPECT_EQ(sim::SavedDescriptor("C:\\Backup\\Microsoft"), kProtected);
  EXPECT_EQ(LoggedCalls({"RegSaveKey", "DeleteFileA", "RegCloseKey"}),
            (std::vector<std::string>{"RegSaveKeyExA C:\\Backup\\Microsoft",
                                      "DeleteFileA C:\\Backup\\Microsoft",
                                      "RegSaveKeyA C:\\Backup\\Microsoft", "RegCloseKey"}));
  ExpectNothingLeftOpen();
}

// The caller removes an old file first; one left behind makes RegSaveKeyExA refuse. The delete
// between the two saves removes a plain file only.
TEST_F(HiveSaveTest, ExistingTargetFile) {
  struct Row {
    const char *name;
    DWORD attributes;
    bool saved;
  } rows[] = {
      {"plain file: deleted, the plain save writes the hive", FILE_ATTRIBUTE_ARCHIVE, true},
      {"hidden file stays: both saves refused", FILE_ATTRIBUTE_HIDDEN, false},
      {"read-only file stays: both saves refused", FILE_ATTRIBUTE_READONLY, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::PutFile("C:\\Backup\\SOFTWARE", "old hive", row.attributes);
    if (!row.saved) sim::AnswerMessageBox(IDOK);

    SaveHive("HKEY_LOCAL_MACHINE\\SOFTWARE", "C:\\Backup\\SOFTWARE");

    EXPECT_EQ(sim::CallCount("RegSaveKeyExA"), 1);
    EXPECT_EQ(sim::CallCount("RegSaveKeyA"), 1);
    if (row.saved) {
      EXPECT_TRUE(sim::MessageBoxes().empty());
      EXPECT_EQ(sim::HiveFileSnapshot("C:\\Backup\\SOFTWARE"),
                sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    } else {
      ExpectErrorBox("Fehler in RegSaveKey", "Fehlernummer:  183 in Datei C:\\Backup\\SOFTWARE");
      EXPECT_EQ(sim::FileBytes("C:\\Backup\\SOFTWARE"), "old hive");
    }
    ExpectNothingLeftOpen();
  }
}

// Without the backup privilege both saves create the file and are then refused: each empty file
// is removed again.
TEST_F(HiveSaveTest, BothSavesRefusedWithoutTheBackupPrivilege) {
  sim::HoldPrivilege("SeBackupPrivilege", false);
  sim::AnswerMessageBox(IDOK);

  SaveHive("HKEY_LOCAL_MACHINE\\SOFTWARE", "C:\\Backup\\SOFTWARE");

  ExpectErrorBox("Fehler in RegSaveKey", "Fehlernummer:  1314 in Datei C:\\Backup\\SOFTWARE");
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SOFTWARE"));
  EXPECT_EQ(LoggedCalls({"RegSaveKey", "DeleteFileA", "RegCloseKey", "MessageBoxA"}),
            (std::vector<std::string>{
                "RegSaveKeyExA C:\\Backup\\SOFTWARE", "DeleteFileA C:\\Backup\\SOFTWARE",
                "RegSaveKeyA C:\\Backup\\SOFTWARE", "DeleteFileA C:\\Backup\\SOFTWARE",
                "RegCloseKey", "MessageBoxA Fehler in RegSaveKey"}));
  ExpectNothingLeftOpen();
}

TEST_F(HiveSaveTest, MissingTargetFolderNamesThePlainSavesCode) {
  sim::AnswerMessageBox(IDOK);
  SaveHive("HKEY_LOCAL_MACHINE\\SYSTEM", "C:\\Fehlt\\SYSTEM");
  ExpectErrorBox("Fehler in RegSaveKey", "Fehlernummer:  3 in Datei C:\\Fehlt\\SYSTEM");
  EXPECT_EQ(sim::CallCount("RegSaveKeyA"), 1);
  ExpectNothingLeftOpen();
}

// A system without RegSaveKeyExA: one plain save, no second attempt; on failure the key is closed
// before the file is deleted.
TEST_F(HiveSaveTest, SystemWithoutRegSaveKeyEx) {
  sim::RemoveExport("ADVAPI32.DLL", "RegSaveKeyExA");
  EXPECT_EQ(SaveHive("HKEY_LOCAL_MACHINE\\SECURITY", "C:\\Backup\\SECURITY"), 0);
  EXPECT_EQ(sim::HiveFileSnapshot("C:\\Backup\\SECURITY"),
            sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SECURITY"));
  EXPECT_EQ(sim::SavedDescriptor("C:\\Backup\\SECURITY"), kProtected);
  EXPECT_EQ(sim::CallCount("RegSaveKeyExA"), 0);

  sim::ClearCallLog();
  sim::HoldPrivilege("SeBackupPrivilege", false);
  sim::SetPrivilegeEnabled("SeRestorePrivilege", true);  // SECURITY still opens
  sim::AnswerMessageBox(IDOK);
  SaveHive("HKEY_LOCAL_MACHINE\\SECURITY", "C:\\Backup\\SECURITY2");

  ExpectErrorBox("Fehler in RegSaveKey", "Fehlernummer:  1314 in Datei C:\\Backup\\SECURITY2");
  EXPECT_EQ(LoggedCalls({"RegSaveKey", "DeleteFileA", "RegCloseKey"}),
            (std::vector<std::string>{"RegSaveKeyA C:\\Backup\\SECURITY2", "RegCloseKey",
                                      "DeleteFileA C:\\Backup\\SECURITY2"}));
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SECURITY2"));
  ExpectNothingLeftOpen();
}

TEST_F(HiveSaveTest, KeyThatCannotBeOpened) {
  sim::HoldPrivilege("SeBackupPrivilege", false);  // SAM opens only with backup semantics
  sim::AnswerMessageBox(IDOK);

  EXPECT_EQ(SaveHive("HKEY_LOCAL_MACHINE\\SAM", "C:\\Backup\\SAM"), -1);

  ExpectErrorBox("Fehler in RegCreateKeyEx", "Fehlernummer:  5 in Datei C:\\Backup\\SAM");
  EXPECT_EQ(sim::CallCount("RegSaveKeyExA") + sim::CallCount("RegSaveKeyA"), 0);
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 0);
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SAM"));
  ExpectNothingLeftOpen();
}

TEST_F(HiveSaveTest, UnknownRootDoesNothingAfterThePrivileges) {
  EXPECT_EQ(SaveHive("HKEY_NOWHERE\\SOFTWARE", "C:\\Backup\\SOFTWARE"), 0);
  EXPECT_EQ(LoggedCalls(kSaveCalls),
            (std::vector<std::string>{"AdjustTokenPrivileges SeBackupPrivilege",
                                      "AdjustTokenPrivileges SeTakeOwnershipPrivilege",
                                      "AdjustTokenPrivileges SeDebugPrivilege"}));
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SOFTWARE"));
}

// After its format box a malformed path must not be saved under the root of an earlier parse.
TEST_F(HiveSaveTest, MalformedKeyPathReachesNoRegistryCall) {
  ASSERT_TRUE(ParseKeyPath("HKEY_LOCAL_MACHINE\\SYSTEM"));
  sim::ClearCallLog();
  sim::AnswerMessageBox(IDOK);

  SaveHive("HKEY_LOCAL_MACHINE\\", "C:\\Backup\\SYSTEM");

  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Schlüssel-Parser");
  EXPECT_TRUE(LoggedCalls({"Reg"}).empty());
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SYSTEM"));
}

// Sub-key and target travel in 256-byte buffers. What does not fit is not cut and used: the cut
// text would name another key or file.
TEST_F(HiveSaveTest, TextThatDoesNotFitItsBufferIsNotCut) {
  const std::string longKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\";  // sub-key "SOFTWARE\" + name
  const std::string folder = "C:\\Backup\\";
  struct Row {
    const char *name;
    std::string keyPath;
    std::string target;
    bool fits;
  } rows[] = {
      {"sub-key of 255 characters", longKey + std::string(246, 'k'), folder + "K255", true},
      {"sub-key of 256 characters", longKey + std::string(247, 'k'), folder + "K256", false},
      {"target of 255 characters", "HKEY_LOCAL_MACHINE\\SYSTEM", folder + std::string(245, 't'),
       true},
      {"target of 256 characters", "HKEY_LOCAL_MACHINE\\SYSTEM", folder + std::string(246, 't'),
       false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::MakeFolders("C:\\Backup");
    if (!row.fits) sim::AnswerMessageBox(IDOK);

    SaveHive(row.keyPath, row.target);

    if (row.fits) {
      EXPECT_TRUE(sim::MessageBoxes().empty());
      EXPECT_TRUE(sim::FileExists(row.target));
      continue;
    }
    ExpectErrorBox("Fehler in RegSaveKey", "Fehlernummer:  206 in Datei " + row.target);
    EXPECT_EQ(sim::CallCount("RegCreateKeyExA"), 0);
    EXPECT_EQ(sim::ListFolder("C:\\Backup"), std::vector<std::string>{});
  }
}

// Without the descriptor the file would inherit whatever the folder grants: nothing is saved.
TEST_F(HiveSaveTest, DescriptorThatCannotBeBuiltSavesNothing) {
  sim::FailCall("ConvertStringSecurityDescriptorToSecurityDescriptorA", ERROR_NOT_ENOUGH_MEMORY);
  sim::AnswerMessageBox(IDOK);

  SaveHive("HKEY_LOCAL_MACHINE\\SAM", "C:\\Backup\\SAM");

  ExpectErrorBox("Fehler in RegSaveKey", "Fehlernummer:  8 in Datei C:\\Backup\\SAM");
  EXPECT_EQ(sim::CallCount("RegSaveKeyExA") + sim::CallCount("RegSaveKeyA"), 0);
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SAM"));
  ExpectNothingLeftOpen();
}

TEST_F(HiveSaveTest, ErrorBoxNumberAndTail) {
  struct Row {
    LONG code;
    const char *tail;
    std::string text;
  } rows[] = {
      // code, added text, box text: two blanks before a number of 0 or more, one before a minus
      {5, "", "Fehlernummer:  5 in Datei D:\\Backup\\SAM"},
      {0, "", "Fehlernummer:  0 in Datei D:\\Backup\\SAM"},
      {1314, "", "Fehlernummer:  1314 in Datei D:\\Backup\\SAM"},
      {-1, "", "Fehlernummer: -1 in Datei D:\\Backup\\SAM"},
      {-99999, "\r\n\r\nHinweis", "Fehlernummer: -99999 in Datei D:\\Backup\\SAM\r\n\r\nHinweis"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.text);
    ResetForNextRow();
    sim::AnswerMessageBox(IDOK);
    ReportRegistryError(ReportKind::HiveSave, row.code, "D:\\Backup\\SAM", "RegSaveKey", row.tail);
    ExpectErrorBox("Fehler in RegSaveKey", row.text);
  }
}

}  // namespace
