// Registry: creating and opening keys (names without case, Windows-1252 letters included), values
// and their enumeration with ERROR_MORE_DATA and ERROR_NO_MORE_ITEMS, and saving and replacing a
// hive with and without the privileges.
#include <cstring>
#include <string>

#include "check.h"

namespace conf {
namespace {

const char *const kTestKey = "Software\\BrovinkConformance";

void CheckKeys() {
  HKEY key = nullptr;
  DWORD disposition = 0xdeadbeef;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &key, &disposition);
  ok(status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY, "create: %ld, disposition %lu", (long)status,
     (unsigned long)disposition);
  HKEY again = nullptr;
  status = RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\brovinkconformance", 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ, nullptr, &again, &disposition);
  ok(status == ERROR_SUCCESS && disposition == REG_OPENED_EXISTING_KEY, "create again in other case: %ld, %lu",
     (long)status, (unsigned long)disposition);
  if (status == ERROR_SUCCESS) RegCloseKey(again);

  HKEY missing = nullptr;
  status = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\BrovinkConformance\\Missing", 0, KEY_READ, &missing);
  ok(status == ERROR_FILE_NOT_FOUND, "open a missing key: %ld", (long)status);

  // Key names compare through Unicode upper case: "Ä" (0xC4) is "ä" (0xE4), "Š" (0x8A) is "š" (0x9A),
  // "Ÿ" (0x9F) is "ÿ" (0xFF); "ß" has no upper-case letter of its own.
  HKEY child = nullptr;
  status = RegCreateKeyExA(key, "\xC4rger \x8A\x9F", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
  ok(status == ERROR_SUCCESS, "create a key with Windows-1252 letters: %ld", (long)status);
  if (status == ERROR_SUCCESS) RegCloseKey(child);
  const struct {
    const char *name;
    LONG expected;
  } kNames[] = {
      {"\xC4rger \x8A\x9F", ERROR_SUCCESS},  // as created
      {"\xE4RGER \x9A\xFF", ERROR_SUCCESS},  // each letter in the other case
      {"Arger \x8A\x9F", ERROR_FILE_NOT_FOUND},  // A is not Ä
      {"\xC4rger S\x9F", ERROR_FILE_NOT_FOUND},   // S is not Š
  };
  for (const auto &row : kNames) {
    HKEY opened = nullptr;
    status = RegOpenKeyExA(key, row.name, 0, KEY_READ, &opened);
    ok(status == row.expected, "open \"%s\": %ld, expected %ld", row.name, (long)status, (long)row.expected);
    if (status == ERROR_SUCCESS) RegCloseKey(opened);
  }
  HKEY sharp = nullptr;
  status = RegCreateKeyExA(key, "Stra\xDF" "e", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sharp, &disposition);
  if (status == ERROR_SUCCESS) RegCloseKey(sharp);
  status = RegCreateKeyExA(key, "STRASSE", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sharp, &disposition);
  ok(status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY, "\"STRASSE\" beside \"Stra\xDF" "e\": %ld, %lu",
     (long)status, (unsigned long)disposition);
  if (status == ERROR_SUCCESS) RegCloseKey(sharp);
  RegCloseKey(key);
}

// A volatile key, as the restore makes to mark itself: created once (the second create opens it),
// deleted only without sub-keys.
void CheckVolatileKeys() {
  HKEY key = nullptr;
  DWORD disposition = 0xdeadbeef;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_QUERY_VALUE, nullptr, &key, &disposition);
  ok(status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY, "create a volatile key: %ld, %lu", (long)status,
     (unsigned long)disposition);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  disposition = 0xdeadbeef;
  status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile", 0, nullptr,
                           REG_OPTION_VOLATILE, KEY_QUERY_VALUE, nullptr, &key, &disposition);
  ok(status == ERROR_SUCCESS && disposition == REG_OPENED_EXISTING_KEY, "create it again: %ld, %lu", (long)status,
     (unsigned long)disposition);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  HKEY child = nullptr;
  status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile\\Kind", 0, nullptr,
                           REG_OPTION_VOLATILE, KEY_QUERY_VALUE, nullptr, &child, nullptr);
  if (status == ERROR_SUCCESS) RegCloseKey(child);
  status = RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile");
  ok(status == ERROR_ACCESS_DENIED, "RegDeleteKeyA of a key with a sub-key: %ld", (long)status);
  status = RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile\\Kind");
  ok(status == ERROR_SUCCESS, "RegDeleteKeyA of the sub-key: %ld", (long)status);
  status = RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile");
  ok(status == ERROR_SUCCESS, "RegDeleteKeyA of the emptied key: %ld", (long)status);
  status = RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrovinkConformanceVolatile");
  ok(status == ERROR_FILE_NOT_FOUND, "RegDeleteKeyA of a missing key: %ld", (long)status);
}

void CheckValues() {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\BrovinkConformance\\Values", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  ok(status == ERROR_SUCCESS, "create the value key: %ld", (long)status);
  if (status != ERROR_SUCCESS) return;
  status = RegSetValueExA(key, "Test", 0, REG_SZ, reinterpret_cast<const BYTE *>("foobar"), 7);
  ok(status == ERROR_SUCCESS, "set a string: %ld", (long)status);
  // Enumeration of the key's one value, Windows (ANSI code page 1252): each row fills the name and
  // data buffers with 'x' and checks what the call wrote into them.
  const struct {
    const char *what;
    DWORD nameSize, dataSize;
    LONG status;
    DWORD nameCount, dataCount;
    const char *name, *data;
  } kEnum[] = {
      // what                     name data status           count size  name buffer    data buffer
      {"no overflow", 20, 20, ERROR_SUCCESS, 4, 7, "Test", "foobar"},
      {"data too small", 20, 2, ERROR_MORE_DATA, 20, 7, "xxxxxxxxxx", "xxxxxxxxxx"},  // nothing copied
      {"name too small", 3, 20, ERROR_MORE_DATA, 3, 7, "Te", "foobar"},  // name cut, data copied
      {"both too small", 2, 2, ERROR_MORE_DATA, 2, 7, "xxxxxxxxxx", "xxxxxxxxxx"},
      {"empty name buffer", 0, 20, ERROR_MORE_DATA, 0, 7, "xxxxxxxxxx", "foobar"},
  };
  for (const auto &row : kEnum) {
    char name[32], data[32];
    strcpy(name, "xxxxxxxxxx");
    strcpy(data, "xxxxxxxxxx");
    DWORD nameCount = row.nameSize, dataCount = row.dataSize, type = 1234;
    status = RegEnumValueA(key, 0, name, &nameCount, nullptr, &type, reinterpret_cast<BYTE *>(data), &dataCount);
    ok(status == row.status, "%s: status %ld", row.what, (long)status);
    ok(nameCount == row.nameCount, "%s: name count %lu", row.what, (unsigned long)nameCount);
    ok(dataCount == row.dataCount, "%s: data count %lu", row.what, (unsigned long)dataCount);
    ok(type == REG_SZ, "%s: type %lu", row.what, (unsigned long)type);
    ok(strcmp(name, row.name) == 0, "%s: name buffer \"%s\"", row.what, name);
    ok(strcmp(data, row.data) == 0, "%s: data buffer \"%s\"", row.what, data);
  }
  // A second value; values come in no particular order (Wine sorts them by name).
  DWORD one = 1;
  status = RegSetValueExA(key, "SetCommand", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), sizeof one);
  ok(status == ERROR_SUCCESS, "set a DWORD: %ld", (long)status);
  char name[32];
  BYTE data[32];
  DWORD nameCount, dataCount, type;
  std::string names;
  for (DWORD index = 0; index < 2; index++) {
    nameCount = sizeof name;
    dataCount = sizeof data;
    status = RegEnumValueA(key, index, name, &nameCount, nullptr, &type, data, &dataCount);
    ok(status == ERROR_SUCCESS, "value %lu: %ld", (unsigned long)index, (long)status);
    if (status == ERROR_SUCCESS) names += std::string(names.empty() ? "" : " ") + name;
  }
  ok(names == "SetCommand Test" || names == "Test SetCommand", "two values: \"%s\"", names.c_str());
  strcpy(name, "xxxxxxxxxx");
  nameCount = sizeof name;
  dataCount = sizeof data;
  status = RegEnumValueA(key, 2, name, &nameCount, nullptr, &type, data, &dataCount);
  ok(status == ERROR_NO_MORE_ITEMS, "past the last value: %ld", (long)status);
  ok(nameCount == sizeof name && strcmp(name, "xxxxxxxxxx") == 0, "past the last value: name %lu \"%s\"",
     (unsigned long)nameCount, name);

  HKEY noQuery = nullptr;
  status = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\BrovinkConformance\\Values", 0, KEY_SET_VALUE, &noQuery);
  if (status == ERROR_SUCCESS) {
    nameCount = sizeof name;
    status = RegEnumValueA(noQuery, 0, name, &nameCount, nullptr, nullptr, nullptr, nullptr);
    ok(status == ERROR_ACCESS_DENIED, "enumerate without KEY_QUERY_VALUE: %ld", (long)status);
    RegCloseKey(noQuery);
  }

  // Query: the size of a missing or too large value.
  dataCount = 3;
  status = RegQueryValueExA(key, "Test", nullptr, &type, data, &dataCount);
  ok(status == ERROR_MORE_DATA && dataCount == 7, "query into 3 bytes: %ld, %lu", (long)status,
     (unsigned long)dataCount);
  dataCount = sizeof data;
  status = RegQueryValueExA(key, "Missing", nullptr, &type, data, &dataCount);
  ok(status == ERROR_FILE_NOT_FOUND, "query a missing value: %ld", (long)status);
  memset(data, 'x', sizeof data);
  dataCount = sizeof data;
  status = RegQueryValueExA(key, "test", nullptr, &type, data, &dataCount);
  ok(status == ERROR_SUCCESS && type == REG_SZ && dataCount == 7 && memcmp(data, "foobar", 7) == 0,
     "query in other case: %ld", (long)status);
  RegCloseKey(key);
}

void CheckSave() {
  const std::string folder = ScratchFolder("conformance_hives");
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return;

  ok(SwitchPrivilege("SeBackupPrivilege", false), "disable the backup privilege");
  const std::string refused = folder + "\\refused";
  status = RegSaveKeyA(key, refused.c_str(), nullptr);
  ok(status == ERROR_PRIVILEGE_NOT_HELD, "save without the backup privilege: %ld", (long)status);

  ok(SwitchPrivilege("SeBackupPrivilege", true), "enable the backup privilege");
  const std::string saved = folder + "\\saved";
  status = RegSaveKeyA(key, saved.c_str(), nullptr);
  ok(status == ERROR_SUCCESS, "save: %ld", (long)status);
  ok(GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES, "the saved file exists");
  if (!skip_on_wine(SaveWritesTextFormat)) {
    char head[4] = {};
    DWORD read = 0;
    HANDLE file = CreateFileA(saved.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ReadFile(file, head, sizeof head, &read, nullptr);
      CloseHandle(file);
    }
    ok(read == 4 && memcmp(head, "regf", 4) == 0, "a hive file begins with \"regf\"");
  }
  if (!skip_on_wine(SaveOverwrites)) {
    status = RegSaveKeyA(key, saved.c_str(), nullptr);
    ok(status == ERROR_ALREADY_EXISTS, "save over an existing file: %ld", (long)status);
  }

  // RegSaveKeyExA, looked up at run time as Brovink does.
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  typedef LONG(WINAPI * SaveEx)(HKEY, LPCSTR, LPSECURITY_ATTRIBUTES, DWORD);
  SaveEx saveEx = advapi ? reinterpret_cast<SaveEx>(reinterpret_cast<void *>(GetProcAddress(advapi, "RegSaveKeyExA"))) : nullptr;
  ok(saveEx != nullptr, "advapi32 exports RegSaveKeyExA");
  if (saveEx) {
    const std::string latest = folder + "\\latest";
    status = saveEx(key, latest.c_str(), nullptr, REG_LATEST_FORMAT);
    ok(status == ERROR_SUCCESS, "RegSaveKeyExA with REG_LATEST_FORMAT: %ld", (long)status);
  }
  if (advapi) FreeLibrary(advapi);

  if (!skip_on_wine(SaveRefusesDescriptor)) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    BOOL converted = ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;GA;;;BA)(A;;GA;;;SY)",
                                                                          SDDL_REVISION_1, &descriptor, nullptr);
    ok(converted && descriptor, "ConvertStringSecurityDescriptorToSecurityDescriptorA: %d", converted);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const std::string guarded = folder + "\\guarded";
    status = RegSaveKeyA(key, guarded.c_str(), &attributes);
    ok(status == ERROR_SUCCESS, "save with a security descriptor: %ld", (long)status);
    ok(LocalFree(descriptor) == nullptr, "LocalFree of the descriptor");
  }
  ok(SwitchPrivilege("SeBackupPrivilege", false), "disable the backup privilege again");
  RegCloseKey(key);
}

void CheckReplace() {
  if (skip_on_wine(ReplaceRegistersNothing)) return;
  const std::string folder = ScratchFolder("conformance_replace");
  const std::string newFile = folder + "\\new", oldFile = folder + "\\old";
  // Only the restore privilege: NtReplaceKey checks it first; the backup one is needed too.
  ok(SwitchPrivilege("SeRestorePrivilege", true), "enable the restore privilege");
  LONG status = RegReplaceKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE", newFile.c_str(), oldFile.c_str());
  ok(status == ERROR_PRIVILEGE_NOT_HELD, "replace with the restore privilege alone: %ld", (long)status);
  ok(SwitchPrivilege("SeRestorePrivilege", false), "disable the restore privilege");
  ok(SwitchPrivilege("SeBackupPrivilege", true), "enable the backup privilege");
  status = RegReplaceKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE", newFile.c_str(), oldFile.c_str());
  ok(status == ERROR_PRIVILEGE_NOT_HELD, "replace with the backup privilege alone: %ld", (long)status);
  ok(SwitchPrivilege("SeBackupPrivilege", false), "disable the backup privilege");
}

}  // namespace

void CheckRegistry() {
  CheckKeys();
  CheckVolatileKeys();
  CheckValues();
  CheckSave();
  CheckReplace();
}

}  // namespace conf
