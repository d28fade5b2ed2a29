// What the two halves of the simulated window area (window.cpp: windows, controls, messages and
// the scripted user; shell.cpp: common controls, COM, folder dialog, restart) share.
#pragma once

#include <string>

namespace simx {

// Records a problem that must fail the test (see sim::WindowErrors).
void WindowError(const std::string &problem);

// True once the common-controls initialisation registered "msctls_progress32".
bool ProgressClassRegistered();

int PendingFolderAnswers();

}  // namespace simx
