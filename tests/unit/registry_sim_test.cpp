// The simulated token and registry where the services' tests do not reach: Windows' error codes
// of the calls, what they write on failure, guarded hives, hive files and the next start.
#include <gtest/gtest.h>

#include <cstring>

#include "sim_test.h"

namespace {

const DWORD kMarker = 0xDEADBEEF;

class RegistrySimTest : public SimTest {};

TEST_F(RegistrySimTest, TokenCalls) {
  HANDLE adjustable = nullptr, queryOnly = nullptr;
  ASSERT_TRUE(
      OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &adjustable));
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
  TOKEN_PRIVILEGES backup = {1, {{{17, 0}, SE_PRIVILEGE_ENABLED}}};  // SeBackupPrivilege
  TOKEN_PRIVILEGES create = {1, {{{2, 0}, SE_PRIVILEGE_ENABLED}}};   // SeCreateTokenPrivilege
  struct Row {
    const char *name;
    HANDLE token;
    TOKEN_PRIVILEGES *state;
    BOOL result;
    DWORD lastError;
  } rows[] = {
      {"held privilege", adjustable, &backup, TRUE, ERROR_SUCCESS},
      {"not held: success, nothing assigned", adjustable, &create, TRUE, ERROR_NOT_ALL_ASSIGNED},
      {"token opened without adjust access", queryOnly, &backup, FALSE, ERROR_ACCESS_DENIED},
      {"no token", reinterpret_cast<HANDLE>(0x7777), &backup, FALSE, ERROR_INVALID_HANDLE},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kMarker);
    EXPECT_EQ(AdjustTokenPrivileges(row.token, FALSE, row.state, 16, nullptr, nullptr), row.result);
    EXPECT_EQ(GetLastError(), row.lastError);
  }
  EXPECT_TRUE(sim::PrivilegeEnabled("SeBackupPrivilege"));
  EXPECT_FALSE(sim::PrivilegeEnabled("SeCreateTokenPrivilege"));
  CloseHandle(adjustable);
  CloseHandle(queryOnly);

  LUID luid = {kMarker, 7};
  SetLastError(kMarker);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
  EXPECT_EQ(luid.LowPart, kMarker);
  EXPECT_TRUE(LookupPrivilegeValueA(nullptr, "seshutdownprivilege", &luid));
  EXPECT_EQ(luid.LowPart, 19u);
  EXPECT_EQ(luid.HighPart, 0);
}

TEST_F(RegistrySimTest, QueryAndEnumerateValues) {
  sim::SetRegString("HKCU\\Test", "Startup", "C:\\Start");
  sim::SetRegDword("HKCU\\Test", "Zahl", 7);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "test", 0, KEY_READ, &key), ERROR_SUCCESS);

  char data[16];
  std::memset(data, 'J', sizeof data);
  DWORD type = kMarker, size = 5;
  EXPECT_EQ(RegQueryValueExA(key, "startup", nullptr, &type, reinterpret_cast<BYTE *>(data), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u) << "the size needed, with the NUL";
  EXPECT_EQ(data[0], 'J') << "the buffer stays untouched";
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "Startup", nullptr, &type, reinterpret_cast<BYTE *>(data), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(data, "C:\\Start");
  EXPECT_EQ(RegQueryValueExA(key, "Fehlt", nullptr, &type, reinterpret_cast<BYTE *>(data), &size),
            ERROR_FILE_NOT_FOUND);

  struct Row {
    const char *name;
    DWORD index;
    DWORD nameChars;
    DWORD dataBytes;
    LONG status;
    std::string valueName;
  } rows[] = {
      // name, index, name buffer in chars, data buffer in bytes, status, name returned
      {"first in creation order", 0, 8, 16, ERROR_SUCCESS, "Startup"},
      {"second", 1, 8, 16, ERROR_SUCCESS, "Zahl"},
      {"name fills the buffer without room for the NUL: cut", 0, 7, 16, ERROR_MORE_DATA, "Startu"},
      {"data does not fit", 0, 8, 8, ERROR_MORE_DATA, ""},
      {"after the last", 2, 8, 16, ERROR_NO_MORE_ITEMS, ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    char name[16] = "";
    DWORD nameChars = row.nameChars, dataBytes = row.dataBytes;
    EXPECT_EQ(RegEnumValueA(key, row.index, name, &nameChars, nullptr, &type,
                            reinterpret_cast<BYTE *>(data), &dataBytes),
              row.status);
    EXPECT_EQ(std::string(name), row.valueName);
    if (row.status == ERROR_SUCCESS) {
      EXPECT_EQ(nameChars, row.valueName.size());
    }
  }

  EXPECT_EQ(RegSetValueExA(key, "Neu", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2),
            ERROR_ACCESS_DENIED)
      << "opened for reading only";
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

// SAM and SECURITY open only with backup semantics and an enabled backup or restore privilege.
TEST_F(RegistrySimTest, GuardedHivesAndBackupSemantics) {
  struct Row {
    const char *name;
    const char *subKey;
    DWORD options;
    const char *enabled;  // privilege enabled before the call, or nullptr
    LONG status;
  } rows[] = {
      {"SAM, plain open", "SAM", 0, "SeBackupPrivilege", ERROR_ACCESS_DENIED},
      {"SAM, backup semantics without privilege", "SAM", REG_OPTION_BACKUP_RESTORE, nullptr,
       ERROR_ACCESS_DENIED},
      {"SAM, backup semantics and backup privilege", "SAM", REG_OPTION_BACKUP_RESTORE,
       "SeBackupPrivilege", ERROR_SUCCESS},
      {"SECURITY below its root", "SECURITY\\Policy", REG_OPTION_BACKUP_RESTORE,
       "SeRestorePrivilege", ERROR_SUCCESS},
      {"new key in SAM needs the restore privilege", "SAM\\Neu", REG_OPTION_BACKUP_RESTORE,
       "SeBackupPrivilege", ERROR_ACCESS_DENIED},
      {"SOFTWARE, plain open", "SOFTWARE", 0, nullptr, ERROR_SUCCESS},
      {"no key directly in HKEY_LOCAL_MACHINE", "NEU", 0, nullptr, ERROR_ACCESS_DENIED},
      {"leading backslash", "\\SOFTWARE", 0, nullptr, 161},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    if (row.enabled) sim::SetPrivilegeEnabled(row.enabled, true);
    HKEY key = reinterpret_cast<HKEY>(0x5555);
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, row.subKey, 0, nullptr, row.options,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    EXPECT_EQ(status, row.status);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    EXPECT_EQ(sim::OpenKeyCount(), 0);
  }
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fehlt", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
}

// The file is created before the privilege is checked, as advapi32 does it: a refused save leaves
// an empty file.
TEST_F(RegistrySimTest, SaveKeyCodes) {
  sim::SetPrivilegeEnabled("SeBackupPrivilege", true);
  HKEY software = nullptr, below = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(software, "Microsoft", 0, KEY_READ, &below), ERROR_SUCCESS);
  sim::PutFile("C:\\Da", "x");
  EXPECT_EQ(RegSaveKeyA(software, "C:\\Da", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(RegSaveKeyA(software, "C:\\Fehlt\\SOFTWARE", nullptr), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(RegSaveKeyA(software, "", nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSaveKeyExA(below, "C:\\Unten", nullptr, REG_NO_COMPRESSION),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(sim::FileBytes("C:\\Unten"), "") << "left by the refused save";
  // A saved file starts with the registry's base block: "regf" and at 0x1FC the XOR of the
  // first 127 DWORDs.
  ASSERT_EQ(RegSaveKeyExA(software, "C:\\Voll", nullptr, REG_NO_COMPRESSION), ERROR_SUCCESS);
  const std::string saved = sim::FileBytes("C:\\Voll");
  ASSERT_GT(saved.size(), 4096u);
  EXPECT_EQ(saved.substr(0, 4), "regf");
  uint32_t sum = 0, stored = 0;
  for (size_t offset = 0; offset < 0x1FC; offset += 4) {
    uint32_t word = 0;
    memcpy(&word, saved.data() + offset, 4);
    sum ^= word;
  }
  memcpy(&stored, saved.data() + 0x1FC, 4);
  EXPECT_EQ(stored, sum);
  EXPECT_NE(sum, 0u);
  EXPECT_EQ(RegSaveKeyExA(software, "C:\\Zwei", nullptr, REG_LATEST_FORMAT | REG_NO_COMPRESSION),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSaveKeyExA(below, "C:\\Standard", nullptr, REG_STANDARD_FORMAT), ERROR_SUCCESS);
  EXPECT_EQ(sim::SavedDescriptor("C:\\Standard"), "");

  sim::SetPrivilegeEnabled("SeBackupPrivilege", false);
  EXPECT_EQ(RegSaveKeyA(software, "C:\\Ohne", nullptr), ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_TRUE(sim::FileExists("C:\\Ohne"));
  EXPECT_EQ(sim::FileBytes("C:\\Ohne"), "");
  RegCloseKey(below);
  RegCloseKey(software);
}

TEST_F(RegistrySimTest, HiveFileTextKeepsOddNamesAndBytes) {
  const std::string odd = std::string("a\"b\\c\x00\xFC", 6);
  sim::SetRegValue("HKLM\\SOFTWARE\\Ecke \xFC\"", odd, REG_BINARY, std::string("\x00\xFF\n", 3));
  sim::SetRegValue("HKLM\\SOFTWARE\\Ecke \xFC\"", "", REG_MULTI_SZ,
                   std::string("a\x00"
                               "b\x00\x00",
                               5));
  sim::SetRegValue("HKLM\\SOFTWARE\\Ecke \xFC\"", "leer", REG_BINARY, "");
  const std::string text = sim::HiveSnapshot("HKLM\\SOFTWARE");
  sim::PutFile("C:\\Hive", text);
  EXPECT_EQ(sim::HiveFileSnapshot("C:\\Hive"), text);

  sim::PutFile("C:\\Kaputt", text.substr(0, text.size() - 1));  // last line without its end
  EXPECT_EQ(sim::HiveFileSnapshot("C:\\Kaputt"), "");
  EXPECT_EQ(sim::HiveFileSnapshot("C:\\Fehlt"), "");
}

TEST_F(RegistrySimTest, ReplaceKeyCodes) {
  const std::string config = "C:\\WINDOWS\\System32\\config\\";
  sim::PutFile(config + "gut", sim::HiveSnapshot("HKLM\\SYSTEM"));
  sim::PutFile(config + "kaputt", "kein Hive");
  sim::PutFile(config + "ohneKopf", sim::HiveSnapshot("HKLM\\SYSTEM").substr(4096));
  const std::string systemHive = sim::HiveSnapshot("HKLM\\SYSTEM");
  sim::PutFile(config + "kurz", systemHive.substr(0, systemHive.size() - 1));
  sim::PutFile(config + "alt", "");
  HKEY system = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_ALL_ACCESS, &system), ERROR_SUCCESS);
  struct Row {
    const char *name;
    HKEY key;
    const char *subKey;
    std::string newFile;
    std::string oldFile;
    bool restore;
    bool backup;  // RegReplaceKey needs both privileges
    LONG status;
  } rows[] = {
      {"without the restore privilege", system, nullptr, config + "gut", config + "neu1", false,
       true, ERROR_PRIVILEGE_NOT_HELD},
      {"without the backup privilege", system, nullptr, config + "gut", config + "neu6", true,
       false, ERROR_PRIVILEGE_NOT_HELD},
      {"new file missing", system, nullptr, config + "fehlt", config + "neu2", true, true,
       ERROR_FILE_NOT_FOUND},
      {"new file is no hive", system, nullptr, config + "kaputt", config + "neu3", true, true, 1009},
      {"new file is a text hive without its base block", system, nullptr, config + "ohneKopf",
       config + "neu7", true, true, 1009},
      {"new file is a hive cut short", system, nullptr, config + "kurz", config + "neu8", true, true, 1009},
      {"old file exists", system, nullptr, config + "gut", config + "alt", true, true,
       ERROR_ALREADY_EXISTS},
      {"HKEY_LOCAL_MACHINE is no hive", HKEY_LOCAL_MACHINE, nullptr, config + "gut",
       config + "neu4", true, true, ERROR_INVALID_PARAMETER},
      {"sub-key below the hive", HKEY_LOCAL_MACHINE, "SYSTEM\\Neu\\Tiefer", config + "gut",
       config + "neu5", true, true, ERROR_SUCCESS},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    sim::SetPrivilegeEnabled("SeRestorePrivilege", row.restore);
    sim::SetPrivilegeEnabled("SeBackupPrivilege", row.backup);
    EXPECT_EQ(RegReplaceKeyA(row.key, row.subKey, row.newFile.c_str(), row.oldFile.c_str()),
              row.status);
  }
  ASSERT_EQ(sim::Replacements().size(), 1u);
  EXPECT_EQ(sim::Replacements()[0].hive, "HKEY_LOCAL_MACHINE\\SYSTEM");
  EXPECT_TRUE(sim::RegKeyExists("HKLM\\SYSTEM\\Neu\\Tiefer"));
  RegCloseKey(system);
}

// The next start: handles into a replaced hive are stale, the loaded-hive list stays, the new
// process has no privilege enabled.
TEST_F(RegistrySimTest, RestartPutsTheReplacementInPlace) {
  sim::LoadUserHive("S-1-5-21-7", "\\Device\\HarddiskVolume1\\u7\\NTUSER.DAT");
  const std::string staged = sim::HiveSnapshot("HKLM\\SYSTEM");
  sim::PutFile("C:\\SYSTEM.tmp", staged);
  sim::SetRegString("HKLM\\SYSTEM\\Select", "Neu", "nach der Sicherung");
  sim::SetPrivilegeEnabled("SeRestorePrivilege", true);
  sim::SetPrivilegeEnabled("SeBackupPrivilege", true);
  HKEY select = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", 0, KEY_ALL_ACCESS, &select),
            ERROR_SUCCESS);
  ASSERT_EQ(RegReplaceKeyA(HKEY_LOCAL_MACHINE, "SYSTEM", "C:\\SYSTEM.tmp", "C:\\SYSTEM.bak"),
            ERROR_SUCCESS);
  sim::PutFile("C:\\SYSTEM.tmp", "changed after the registration");
  // Until the start the kernel holds the new file open without sharing.
  sim::PutFile("C:\\andere", staged);
  SetLastError(0);
  EXPECT_FALSE(CopyFileA("C:\\andere", "C:\\SYSTEM.tmp", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  sim::Restart();

  EXPECT_TRUE(CopyFileA("C:\\andere", "C:\\SYSTEM.tmp", FALSE));
  EXPECT_EQ(sim::HiveSnapshot("HKLM\\SYSTEM"), staged);
  EXPECT_TRUE(sim::Replacements().empty());
  EXPECT_FALSE(sim::PrivilegeEnabled("SeRestorePrivilege"));
  DWORD type = 0;
  std::string data;
  EXPECT_TRUE(sim::GetRegValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist",
                               "\\REGISTRY\\USER\\S-1-5-21-7", &type, &data));
  EXPECT_EQ(data, std::string("\\Device\\HarddiskVolume1\\u7\\NTUSER.DAT") + '\0');
  const BYTE one[4] = {1, 0, 0, 0};
  EXPECT_EQ(RegSetValueExA(select, "X", 0, REG_DWORD, one, 4), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(select), ERROR_SUCCESS);
}

}  // namespace

namespace {

// Volatile keys live in memory only: the restart drops them everywhere, but the loaded-hive list,
// which the kernel makes again at every start.
TEST_F(RegistrySimTest, RestartDropsVolatileKeys) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fluechtig", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  RegCloseKey(key);
  sim::SetRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Bleibend", "Wert", "x");
  sim::Restart();
  EXPECT_FALSE(sim::RegKeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Fluechtig"));
  EXPECT_TRUE(sim::RegKeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Bleibend"));
  EXPECT_TRUE(sim::RegKeyExists("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist"));
}

}  // namespace
