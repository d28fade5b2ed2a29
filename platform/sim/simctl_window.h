// Test control of the simulated window area; filled by that area.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {}  // namespace sim
