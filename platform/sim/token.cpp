// Simulated process token: OpenProcessToken, LookupPrivilegeValueA and AdjustTokenPrivileges on the
// one token of this process, with the privileges an elevated administrator holds.
#include <stdexcept>
#include <vector>

#include "internal.h"
#include "simctl.h"

#define ERROR_NOACCESS 998L
#define RPC_S_SERVER_UNAVAILABLE 1722L
#define ERROR_CALL_NOT_IMPLEMENTED 120L

namespace {

// The system's privilege names with the LUIDs Windows gives them (winnt.h SE_*_PRIVILEGE).
struct PrivilegeName {
  const char *name;
  DWORD luid;
};
const PrivilegeName kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},
    {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14},
    {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},
    {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
    {"SeUndockPrivilege", 25},
    {"SeSyncAgentPrivilege", 26},
    {"SeEnableDelegationPrivilege", 27},
    {"SeManageVolumePrivilege", 28},
    {"SeImpersonatePrivilege", 29},
    {"SeCreateGlobalPrivilege", 30},
    {"SeTrustedCredManAccessPrivilege", 31},
    {"SeRelabelPrivilege", 32},
    {"SeIncreaseWorkingSetPrivilege", 33},
    {"SeTimeZonePrivilege", 34},
    {"SeCreateSymbolicLinkPrivilege", 35},
};
const size_t kPrivilegeCount = sizeof kPrivileges / sizeof kPrivileges[0];

struct TokenState {
  bool elevated = true;
  std::vector<bool> held = std::vector<bool>(kPrivilegeCount, false);
  std::vector<bool> enabled = std::vector<bool>(kPrivilegeCount, false);
};

TokenState &token() {
  static TokenState t;
  return t;
}

// What an open token handle grants.
struct TokenHandle {
  DWORD access;
};

int IndexOfName(const std::string &name) {
  for (size_t i = 0; i < kPrivilegeCount; i++) {
    if (sim_internal::Upper(kPrivileges[i].name) == sim_internal::Upper(name)) return static_cast<int>(i);
  }
  return -1;
}

int IndexOfLuid(const LUID &luid) {
  for (size_t i = 0; i < kPrivilegeCount; i++) {
    if (luid.HighPart == 0 && luid.LowPart == kPrivileges[i].luid) return static_cast<int>(i);
  }
  return -1;
}

int KnownIndex(const std::string &name) {
  int index = IndexOfName(name);
  if (index < 0) throw std::invalid_argument("unknown privilege " + name);
  return index;
}

void ResetToken() {
  token() = TokenState{};
  for (const char *name : {"SeBackupPrivilege", "SeRestorePrivilege", "SeTakeOwnershipPrivilege",
                           "SeDebugPrivilege", "SeShutdownPrivilege"}) {
    token().held[static_cast<size_t>(IndexOfName(name))] = true;
  }
}

const sim_internal::ResetHook tokenReset(ResetToken);

void DestroyTokenHandle(void *object) { delete static_cast<TokenHandle *>(object); }

}  // namespace

namespace sim_internal {
// A restart starts a new process whose token has nothing enabled.
void DisableAllPrivileges() { token().enabled.assign(kPrivilegeCount, false); }
bool Elevated() { return token().elevated; }
}  // namespace sim_internal

// ---- control -----------------------------------------------------------------------------------
namespace sim {

void SetElevated(bool elevated) {
  token().elevated = elevated;
  if (elevated) return;
  // A standard user's token: of the five, only the shutdown privilege stays.
  for (const char *name : {"SeBackupPrivilege", "SeRestorePrivilege", "SeTakeOwnershipPrivilege", "SeDebugPrivilege"}) {
    HoldPrivilege(name, false);
  }
}

void HoldPrivilege(const std::string &name, bool held) {
  size_t index = static_cast<size_t>(KnownIndex(name));
  token().held[index] = held;
  if (!held) token().enabled[index] = false;
}

bool PrivilegeEnabled(const std::string &name) {
  return token().enabled[static_cast<size_t>(KnownIndex(name))];
}

void SetPrivilegeEnabled(const std::string &name, bool enabled) {
  size_t index = static_cast<size_t>(KnownIndex(name));
  token().enabled[index] = enabled && token().held[index];
}

}  // namespace sim

// ---- advapi32 -----------------------------------------------------------------------------------
// Only the current process's pseudo handle names a process here.
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  sim_internal::Log("OpenProcessToken");
  SIM_FAULT_LAST_ERROR("OpenProcessToken", FALSE);
  if (ProcessHandle != GetCurrentProcess()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!TokenHandle) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  *TokenHandle =
      sim_internal::NewHandle(sim_internal::Kind::Token, new ::TokenHandle{DesiredAccess}, DestroyTokenHandle);
  return TRUE;
}

// The local system is NULL or ""; names compare without regard to case, as LSA compares them.
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
  sim_internal::Log(std::string("LookupPrivilegeValueA ") + (lpName ? lpName : ""));
  SIM_FAULT_LAST_ERROR("LookupPrivilegeValueA", FALSE);
  if (lpSystemName && *lpSystemName) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  if (!lpName || !lpLuid) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  int index = IndexOfName(lpName);
  if (index < 0) {
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
  }
  lpLuid->LowPart = kPrivileges[index].luid;
  lpLuid->HighPart = 0;
  return TRUE;
}

// Succeeds even when a privilege is not held: it stays as it was and the last error is 1300.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
  std::string line = "AdjustTokenPrivileges";
  if (DisableAllPrivileges) line += " (all)";
  for (DWORD i = 0; !DisableAllPrivileges && NewState && i < NewState->PrivilegeCount; i++) {
    int index = IndexOfLuid(NewState->Privileges[i].Luid);
    line += std::string(" ") + (index < 0 ? "?" : kPrivileges[index].name);
  }
  sim_internal::Log(line);
  SIM_FAULT_LAST_ERROR("AdjustTokenPrivileges", FALSE);
  auto *handle = static_cast<::TokenHandle *>(sim_internal::HandleObject(TokenHandle, sim_internal::Kind::Token));
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(handle->access & TOKEN_ADJUST_PRIVILEGES)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!DisableAllPrivileges && !NewState) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The previous state is not modelled: a caller that asks for it must not get success.
  // (BufferLength and ReturnLength only matter with a previous-state buffer.)
  if (PreviousState) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  (void)BufferLength;
  (void)ReturnLength;
  TokenState &t = token();
  bool allAssigned = true;
  if (DisableAllPrivileges) {
    t.enabled.assign(kPrivilegeCount, false);
  } else {
    for (DWORD i = 0; i < NewState->PrivilegeCount; i++) {
      int index = IndexOfLuid(NewState->Privileges[i].Luid);
      if (index < 0 || !t.held[static_cast<size_t>(index)]) {
        allAssigned = false;
        continue;
      }
      t.enabled[static_cast<size_t>(index)] =
          (NewState->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}
