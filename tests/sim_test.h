// Base fixture of the unit tests: a fresh simulated machine per test, and a scripted user whose
// message box answers must all be used and who must never meet a box nobody expected.
#pragma once

#include <gtest/gtest.h>

#include "services/text_ops.h"
#include "simctl.h"

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    ReadEnvironmentBlock();
  }
  void TearDown() override {
    EXPECT_EQ(sim::UnansweredMessageBoxes(), 0) << "a message box appeared that the test did not expect";
    EXPECT_EQ(sim::PendingMessageBoxAnswers(), 0) << "an expected message box did not appear";
  }
};
