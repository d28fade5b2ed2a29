// Process token: opening it, privilege names, and AdjustTokenPrivileges' success with 1300 for a
// privilege that the token does not hold.
#include <cstring>

#include "check.h"

namespace conf {
namespace {

bool SetPrivilege(HANDLE token, const char *name, bool enable, DWORD *error) {
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  SetLastError(0xdeadbeef);
  BOOL result = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  *error = GetLastError();
  return result != FALSE;
}

}  // namespace

void CheckToken() {
  HANDLE token = nullptr;
  SetLastError(0xdeadbeef);
  BOOL opened = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  ok(opened && token, "OpenProcessToken: %d, error %lu", opened, (unsigned long)GetLastError());
  if (!opened) return;

  // The well-known LUIDs of the privileges Brovink enables.
  const struct {
    const char *name;
    DWORD luid;
  } kLuids[] = {{"SeBackupPrivilege", 17},  {"SeRestorePrivilege", 18}, {"SeShutdownPrivilege", 19},
                {"SeTakeOwnershipPrivilege", 9}, {"SeDebugPrivilege", 20}, {"sebackupprivilege", 17}};
  for (const auto &row : kLuids) {
    LUID luid{0xdeadbeef, 0x7eadbeef};
    BOOL found = LookupPrivilegeValueA(nullptr, row.name, &luid);
    ok(found && luid.LowPart == row.luid && luid.HighPart == 0, "LookupPrivilegeValueA %s: %d, %lu:%ld", row.name,
       found, (unsigned long)luid.LowPart, (long)luid.HighPart);
  }
  LUID luid{};
  SetLastError(0xdeadbeef);
  BOOL found = LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid);
  ok(!found && GetLastError() == ERROR_NO_SUCH_PRIVILEGE, "unknown privilege name: %d, error %lu", found,
     (unsigned long)GetLastError());

  DWORD error = 0;
  BOOL adjusted = SetPrivilege(token, "SeBackupPrivilege", true, &error);
  ok(adjusted && error == ERROR_SUCCESS, "enable a held privilege: %d, error %lu", adjusted, (unsigned long)error);
  adjusted = SetPrivilege(token, "SeBackupPrivilege", false, &error);
  ok(adjusted && error == ERROR_SUCCESS, "disable it again: %d, error %lu", adjusted, (unsigned long)error);
  // An administrator's token holds no SeCreateTokenPrivilege: the call still succeeds and says so.
  adjusted = SetPrivilege(token, "SeCreateTokenPrivilege", true, &error);
  ok(adjusted && error == ERROR_NOT_ALL_ASSIGNED, "enable a privilege not held: %d, error %lu", adjusted,
     (unsigned long)error);

  ok(CloseHandle(token), "CloseHandle of the token");
  SetLastError(0xdeadbeef);
  BOOL closed = CloseHandle(token);
  ok(!closed && GetLastError() == ERROR_INVALID_HANDLE, "second CloseHandle: %d, error %lu", closed,
     (unsigned long)GetLastError());
}

// Used by the registry checks: the privileges a save and a replacement need, switched on and off.
bool SwitchPrivilege(const char *name, bool enable) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  DWORD error = 0;
  bool done = SetPrivilege(token, name, enable, &error) && error == ERROR_SUCCESS;
  CloseHandle(token);
  return done;
}

}  // namespace conf
