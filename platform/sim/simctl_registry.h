// Test control of the simulated registry area; filled by that area.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {}  // namespace sim
