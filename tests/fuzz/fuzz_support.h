// Shared by the fuzz targets: a fresh simulated machine per input, and a check that ends the run
// with a report when a property of the system's output does not hold (libFuzzer then keeps the
// input as a crash).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/text_ops.h"
#include "simctl.h"

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

// The machine of the unit tests' start state, with the environment read anew.
inline void FreshMachine() {
  sim::Reset();
  ReadEnvironmentBlock();
}

// A text up to its first NUL byte, as a C string argument of a Win32 call would carry it.
inline std::string UpToNul(const std::string &text) { return text.substr(0, text.find('\0')); }
