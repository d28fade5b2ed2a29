// What the two halves of the simulated window area (window.cpp: windows, controls, messages and
// the scripted user; shell.cpp: common controls, COM, folder dialog, restart) share, and what the
// code-page conversion (codepage.cpp) needs of them.
#pragma once

#include <string>

#include "win32.h"

namespace sim_internal {

// Records a problem that must fail the test (see sim::WindowErrors).
void WindowError(const std::string &problem);

// True once the common-controls initialisation registered "msctls_progress32".
bool ProgressClassRegistered();

int PendingFolderAnswers();

}  // namespace sim_internal
