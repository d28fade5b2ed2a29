// Turning one named privilege on in the token of this process.
#include "services/privileges.h"

#include "platform.h"
#include "services/handles.h"

// The one-entry record is 16 bytes: count, LUID, attributes.
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "one-entry TOKEN_PRIVILEGES");

// The token handle is opened and closed on every call. The result is the adjust call's own: a
// privilege the account does not hold still gives 1 (the call succeeds and assigns nothing).
int EnablePrivilege(const char *name) {
  HandleOwner token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive()))
    return 0;
  int result = 0;
  TOKEN_PRIVILEGES record = {};
  if (LookupPrivilegeValueA("", name, &record.Privileges[0].Luid)) {
    record.PrivilegeCount = 1;
    record.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    result = AdjustTokenPrivileges(token.Get(), FALSE, &record, sizeof record, nullptr, nullptr) ? 1 : 0;
  }
  return result;
}
