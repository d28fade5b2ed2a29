// Fixture for the backup and restore runs: a real main window in the simulated machine, with the
// folder field set by the test, and helpers that read what the runs left behind.
#pragma once

#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "sim_test.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

// The runs as the window's commands start them.
inline RunResult BackupIn(HWND window) {
  MainWindowView view(window);
  return RunBackup(view);
}
inline RunResult RestoreIn(HWND window) {
  MainWindowView view(window);
  return RunRestore(view);
}

class RunTest : public SimTest {
 protected:
  HWND window = nullptr;
  size_t progressBefore = 0;
  size_t statusBefore = 0;

  void SetUp() override {
    SimTest::SetUp();
    InitCommonControls();
    window = CreateMainWindow(nullptr);
    ASSERT_NE(window, nullptr);
  }

  void TearDown() override {
    if (!closeCallFails) ExpectNothingLeftOpen();
    SimTest::TearDown();
  }

  // Set by a test that makes CloseHandle, RegCloseKey or FreeLibrary fail: then something stays open.
  bool closeCallFails = false;

  // A run closes every file, search, token and key it opened and frees every module it loaded.
  static void ExpectNothingLeftOpen() {
    EXPECT_EQ(sim::OpenHandleCount(), 0) << "file, search or token handles left open";
    EXPECT_EQ(sim::OpenKeyCount(), 0) << "registry keys left open";
    EXPECT_EQ(sim::OpenCngHandleCount(), 0) << "bcrypt providers or hashes left open";
    EXPECT_EQ(sim::LoadedModuleCount(), 0) << "modules left loaded";
  }

  // A fresh machine and main window for the next row of a table, after the checks that the row
  // before it must pass like a whole test.
  void StartNextRow() {
    if (!closeCallFails) ExpectNothingLeftOpen();
    ResetForNextRow();
    ReadEnvironmentBlock();
    InitCommonControls();
    window = CreateMainWindow(nullptr);
    ASSERT_NE(window, nullptr);
  }

  void SetFolder(const std::string &folder) {
    SetWindowTextA(GetDlgItem(window, IDC_FOLDER), folder.c_str());
  }

  // Marks where the run's own progress, status and button updates begin.
  void MarkHistories() {
    sim::ClearCallLog();
    progressBefore = sim::ProgressHistory(IDC_PROGRESS).size();
    statusBefore = sim::TextHistory(IDC_STATUS).size();
  }
  std::vector<int> RunProgress() const {
    auto all = sim::ProgressHistory(IDC_PROGRESS);
    return std::vector<int>(all.begin() + static_cast<long>(progressBefore), all.end());
  }
  std::vector<std::string> RunStatus() const {
    auto all = sim::TextHistory(IDC_STATUS);
    return std::vector<std::string>(all.begin() + static_cast<long>(statusBefore), all.end());
  }

  // The EnableWindow calls of the run on the four buttons, as "id state" in call order.
  static std::vector<std::string> ButtonSwitches() {
    std::vector<std::string> switches;
    for (const auto &line : sim::CallLog()) {
      if (line.rfind("EnableWindow 100", 0) == 0) switches.push_back(line.substr(13));
    }
    return switches;
  }

  void ExpectButtonsSwitchedInRunOrder() {
    const std::vector<std::string> expected = {"1005 0", "1006 0", "1008 0", "1004 0",
                                               "1005 1", "1006 1", "1008 1", "1004 1"};
    EXPECT_EQ(ButtonSwitches(), expected);
    for (int id : {IDC_BROWSE, IDC_BACKUP, IDC_RESTORE, IDC_QUIT}) {
      EXPECT_TRUE(sim::ControlEnabled(id)) << id;
    }
    EXPECT_EQ(sim::ControlText(IDC_STATUS), "");
  }
};

// Lines as the batch files hold them: each followed by CR LF.
inline std::string Lines(const std::vector<std::string> &lines) {
  std::string bytes;
  for (const auto &line : lines) bytes += line + "\r\n";
  return bytes;
}
