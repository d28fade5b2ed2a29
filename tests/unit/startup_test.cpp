// Start-up: COM, the common controls with and without InitCommonControlsEx, the window run to its
// end, and exit code 0 whatever the arguments and whatever failed.
#include <set>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/main.h"
#include "sim_test.h"

namespace {

// The start-up and shutdown lines of the call log, in order.
std::vector<std::string> StartupCalls() {
  static const std::set<std::string> kPrefixes = {
      "CoInitialize", "CoUninitialize", "LoadLibraryA", "GetProcAddress", "InitCommonControls",
      "InitCommonControlsEx", "FreeLibrary", "CreateDialogIndirectParamA", "ShowWindow", "DestroyWindow"};
  std::vector<std::string> calls;
  for (const std::string &line : sim::CallLog()) {
    std::string first = line.substr(0, line.find(' '));
    if (kPrefixes.count(first)) calls.push_back(line);
  }
  return calls;
}

int Start(const char *commandLine = "", int show = SW_SHOWNORMAL) {
  return WinMain(sim::ProgramInstance(), nullptr, const_cast<LPSTR>(commandLine), show);
}

using StartupTest = SimTest;

TEST_F(StartupTest, CommonControlsAreInitialisedOnceWhicheverWayComctlAllows) {
  struct Row {
    const char *name;
    bool withoutExport;
    bool loadFails;
    std::vector<std::string> calls;
    bool progressBar;
  };
  const Row rows[] = {
      {"InitCommonControlsEx exported", false, false,
       {"CoInitialize", "LoadLibraryA COMCTL32.DLL", "GetProcAddress InitCommonControlsEx",
        "InitCommonControlsEx 8 0x9FF", "FreeLibrary", "CreateDialogIndirectParamA", "ShowWindow 0 5",
        "DestroyWindow 0", "CoUninitialize"},
       true},
      {"no InitCommonControlsEx: the fallback", true, false,
       {"CoInitialize", "LoadLibraryA COMCTL32.DLL", "GetProcAddress InitCommonControlsEx", "InitCommonControls",
        "FreeLibrary", "CreateDialogIndirectParamA", "ShowWindow 0 5", "DestroyWindow 0", "CoUninitialize"},
       true},
      {"comctl32 cannot be loaded: no initialisation at all", false, true,
       {"CoInitialize", "CreateDialogIndirectParamA", "ShowWindow 0 5", "DestroyWindow 0", "CoUninitialize"},
       false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    if (row.withoutExport) sim::RemoveExport("COMCTL32.DLL", "InitCommonControlsEx");
    if (row.loadFails) sim::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND);
    bool progressBar = false;
    sim::UserDo([&progressBar]() { progressBar = sim::Control(IDC_PROGRESS) != nullptr; });
    sim::UserClick(IDC_QUIT);
    EXPECT_EQ(Start(), 0);
    EXPECT_EQ(StartupCalls(), row.calls);
    EXPECT_EQ(progressBar, row.progressBar) << "a control of an unregistered class is simply missing";
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
    EXPECT_EQ(sim::ComInitCount(), 0);
    EXPECT_EQ(sim::ImageLoads().at(0).instance, sim::ProgramInstance());
  }
}

// The arguments go where the program reads them (GetCommandLineW); WinMain's own parameter gets
// junk that must change nothing either.
TEST_F(StartupTest, ArgumentsAndShowStateChangeNothing) {
  struct Row {
    const char *name;
    std::u16string commandLine;
    int show;
  };
  const Row rows[] = {
      {"no arguments", u"Brovink.exe", SW_SHOWNORMAL},
      {"arguments that are no switch", u"\"C:\\Program Files\\Brovink\\Brovink.exe\" D:\\Sicherung \"x y\"",
       SW_SHOWNORMAL},
      {"a character the code page lacks where a switch could be", u"Brovink.exe \u4e2d \"D:\\b\u0101ck\"",
       SW_SHOWNORMAL},
      {"started hidden", u"Brovink.exe x", SW_HIDE},
  };
  std::vector<std::string> first;
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::SetCommandLine(row.commandLine);
    sim::UserClick(IDC_QUIT);
    EXPECT_EQ(Start("/backup D:\\B", row.show), 0);
    if (first.empty()) first = sim::CallLog();
    EXPECT_EQ(sim::CallLog(), first);
  }
}

// Brovink.com without a mode switch runs the same window, without the console it was given; the
// start-up calls are those of Brovink.exe. Brovink.exe has no console to let go.
TEST_F(StartupTest, TheConsoleProgramRunsTheWindowWithoutItsConsole) {
  sim::UserClick(IDC_QUIT);
  EXPECT_EQ(Start(), 0);
  const std::vector<std::string> windowCalls = StartupCalls();
  EXPECT_EQ(sim::CallCount("FreeConsole"), 0);

  ResetForNextRow();
  sim::SetStartedFrom(sim::StartedFrom::ParentConsole);
  sim::SetConsoleProgram(true);
  sim::SetCommandLine(u"Brovink D:\\Sicherung");
  bool consoleDuringWindow = true;
  sim::UserDo([&consoleDuringWindow]() { consoleDuringWindow = sim::ConsoleAttached(); });
  sim::UserClick(IDC_QUIT);
  EXPECT_EQ(StartBrovink(true), 0);
  EXPECT_FALSE(consoleDuringWindow);
  EXPECT_EQ(sim::CallCount("FreeConsole"), 1);
  EXPECT_EQ(StartupCalls(), windowCalls);
  EXPECT_TRUE(sim::ConsoleText().empty());
}

TEST_F(StartupTest, ExitCodeIsZeroEvenWhenNothingWorks) {
  sim::FailCall("CoInitialize", static_cast<DWORD>(0x8007000E));  // E_OUTOFMEMORY
  sim::FailCall("LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY);
  sim::FailCall("CreateDialogIndirectParamA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(sim::CallCount("CoUninitialize"), 0) << "only a successful CoInitialize is balanced";
  EXPECT_EQ(sim::CallCount("GetMessageA"), 0);
}

TEST_F(StartupTest, SystemCloseRequestEndsTheProgramLikeQuit) {
  sim::UserSysClose();
  EXPECT_EQ(Start(), 0);
  EXPECT_FALSE(IsWindow(sim::MainWindow()));
  EXPECT_EQ(sim::ComInitCount(), 0);
}

}  // namespace
