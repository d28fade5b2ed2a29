// Fixture for tests that drive windows: on top of SimTest's message-box checks, every scripted user
// action and folder answer must have been used, and the window simulation must have met nothing
// it reports as a problem (a loop waiting with nothing left to do, a folder dialog nobody answered,
// an item list freed twice, ...).
#pragma once

#include <string>

#include "sim_test.h"

class WindowTest : public SimTest {
 protected:
  void TearDown() override {
    SimTest::TearDown();
    EXPECT_EQ(sim::PendingUserActions(), 0) << "a scripted user action was not used";
    for (const std::string &problem : sim::WindowErrors()) ADD_FAILURE() << problem;
  }
};
