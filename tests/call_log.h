// The part of the simulated call log that a test is about: the lines that begin with one of the
// given call names, in call order.
#pragma once

#include <string>
#include <vector>

#include "simctl.h"

inline std::vector<std::string> LoggedCalls(const std::vector<std::string> &prefixes) {
  std::vector<std::string> lines;
  for (const auto &line : sim::CallLog()) {
    for (const auto &prefix : prefixes) {
      if (line.compare(0, prefix.size(), prefix) == 0) {
        lines.push_back(line);
        break;
      }
    }
  }
  return lines;
}
