// Turning one named privilege on in the process token.
#pragma once

// 1 when the adjust call succeeded (even for a privilege the account does not hold), else 0.
int EnablePrivilege(const char *name);
