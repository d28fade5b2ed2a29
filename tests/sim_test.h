// Base fixture of the unit tests: a fresh simulated machine per test, and a scripted user whose
// message box answers, actions and folder choices must all be used, who must never meet a box
// nobody expected, and whose windows must have met nothing the simulation reports as a problem
// (a loop waiting with nothing left to do, a folder dialog nobody answered, an item list freed
// twice, ...).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>

#include "brovink_machine.h"
#include "services/text_ops.h"
#include "simctl.h"

// Every file (its attributes and bytes) and every folder below the drives, by path, so that a test
// can compare the whole simulated file system before and after a run; names that begin with
// `leftOut` (when given) are passed over with everything below them.
inline void CollectTree(const std::string &folder, const std::string &leftOut,
                        std::map<std::string, std::string> &out) {
  for (const std::string &name : sim::ListFolder(folder)) {
    if (name == "." || name == ".." || (!leftOut.empty() && name.rfind(leftOut, 0) == 0)) continue;
    const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
    if (sim::FolderExists(path)) {
      out[path] = "<folder>";
      CollectTree(path, leftOut, out);
    } else {
      out[path] = std::to_string(sim::FileAttributes(path)) + ":" + sim::FileBytes(path);
    }
  }
}
inline std::map<std::string, std::string> DriveTree(std::initializer_list<const char *> drives,
                                                    const std::string &leftOut = "") {
  std::map<std::string, std::string> all;
  for (const char *drive : drives) CollectTree(drive, leftOut, all);
  return all;
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseBrovinkMachine();
    sim::Reset();
    ReadEnvironmentBlock();
  }
  void TearDown() override {
    ExpectUserDone();
    DestroyLeftWindows();
  }

  // The scripted user's end-of-test checks; a table row calls them through ResetForNextRow before
  // it resets the machine, so that no row but the last escapes them.
  static void ExpectUserDone() {
    EXPECT_EQ(sim::UnansweredMessageBoxes(), 0) << "a message box appeared that the test did not expect";
    EXPECT_EQ(sim::PendingMessageBoxAnswers(), 0) << "an expected message box did not appear";
    EXPECT_EQ(sim::PendingUserActions(), 0) << "a scripted user action was not used";
    for (const std::string &problem : sim::WindowErrors()) ADD_FAILURE() << problem;
  }
  static void ResetForNextRow() {
    ExpectUserDone();
    DestroyLeftWindows();
    sim::Reset();
  }
  // The windows a test leaves are destroyed as Quit destroys the main window, so that the object
  // each main window keeps is freed with it (a reset alone would leave it behind).
  static void DestroyLeftWindows() {
    sim::ClearFaults();
    for (HWND window : sim::LiveDialogs()) DestroyWindow(window);
  }
};
