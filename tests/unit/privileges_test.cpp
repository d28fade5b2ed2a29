// Enabling a privilege in the process token: the call sequence, the result and handle hygiene.
#include "services/privileges.h"

#include <gtest/gtest.h>

#include "call_log.h"
#include "sim_test.h"

namespace {

const std::vector<std::string> kTokenCalls = {"OpenProcessToken", "LookupPrivilegeValueA",
                                              "AdjustTokenPrivileges", "CloseHandle"};

class PrivilegesTest : public SimTest {};

TEST_F(PrivilegesTest, EnablesTheNamedPrivilegeWithOneTokenHandle) {
  EXPECT_EQ(EnablePrivilege("SeBackupPrivilege"), 1);

  EXPECT_TRUE(sim::PrivilegeEnabled("SeBackupPrivilege"));
  EXPECT_FALSE(sim::PrivilegeEnabled("SeRestorePrivilege"));
  EXPECT_EQ(LoggedCalls(kTokenCalls),
            (std::vector<std::string>{"OpenProcessToken", "LookupPrivilegeValueA SeBackupPrivilege",
                                      "AdjustTokenPrivileges SeBackupPrivilege", "CloseHandle"}));
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(PrivilegesTest, OutcomesAndFailures) {
  struct Row {
    const char *name;
    const char *privilege;
    void (*setUp)();
    int result;
    bool enabledAfter;
    std::vector<std::string> calls;
  } rows[] = {
      {"not held: the adjust call succeeds, nothing is assigned",
       "SeDebugPrivilege",
       [] { sim::HoldPrivilege("SeDebugPrivilege", false); },
       1,
       false,
       {"OpenProcessToken", "LookupPrivilegeValueA SeDebugPrivilege",
        "AdjustTokenPrivileges SeDebugPrivilege", "CloseHandle"}},
      {"already enabled",
       "SeShutdownPrivilege",
       [] { sim::SetPrivilegeEnabled("SeShutdownPrivilege", true); },
       1,
       true,
       {"OpenProcessToken", "LookupPrivilegeValueA SeShutdownPrivilege",
        "AdjustTokenPrivileges SeShutdownPrivilege", "CloseHandle"}},
      {"name unknown to the system: token still closed",
       "SeMadeUpPrivilege",
       [] {},
       0,
       false,
       {"OpenProcessToken", "LookupPrivilegeValueA SeMadeUpPrivilege", "CloseHandle"}},
      {"token not opened: nothing to close",
       "SeBackupPrivilege",
       [] { sim::FailCall("OpenProcessToken", ERROR_ACCESS_DENIED); },
       0,
       false,
       {"OpenProcessToken"}},
      {"adjust call fails",
       "SeRestorePrivilege",
       [] { sim::FailCall("AdjustTokenPrivileges", ERROR_ACCESS_DENIED); },
       0,
       false,
       {"OpenProcessToken", "LookupPrivilegeValueA SeRestorePrivilege",
        "AdjustTokenPrivileges SeRestorePrivilege", "CloseHandle"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    row.setUp();
    sim::ClearCallLog();
    EXPECT_EQ(EnablePrivilege(row.privilege), row.result);
    EXPECT_EQ(LoggedCalls(kTokenCalls), row.calls);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    if (std::string(row.privilege) != "SeMadeUpPrivilege") {
      EXPECT_EQ(sim::PrivilegeEnabled(row.privilege), row.enabledAfter);
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
  }
}

TEST_F(PrivilegesTest, ManyCallsLeaveNoHandleOpen) {
  for (int i = 0; i < 40; i++) {
    EnablePrivilege(i % 2 ? "SeDebugPrivilege" : "SeTakeOwnershipPrivilege");
  }
  EXPECT_EQ(sim::CallCount("OpenProcessToken"), 40);
  EXPECT_EQ(sim::CallCount("CloseHandle"), 40);
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

}  // namespace
