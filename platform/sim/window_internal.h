// What the two halves of the simulated window area (window.cpp: windows, controls, messages and
// the scripted user; shell.cpp: common controls, COM, folder dialog, restart) share, and what the
// message boxes (core.cpp) and the code-page conversion (codepage.cpp) need of them.
#pragma once

#include <string>

#include "win32.h"

namespace sim_internal {

// Records a problem that must fail the test (see sim::WindowErrors).
void WindowError(const std::string &problem);

// True once the common-controls initialisation registered "msctls_progress32".
bool ProgressClassRegistered();

int PendingFolderAnswers();

// A window of the simulation that is not destroyed.
bool LiveWindow(HWND window);

// The modal loop of a message box of the given owner (nullptr: none): disables the owner's
// top-level window, runs the scripted user's actions until a UserAnswer and returns that answer,
// or 0 when the script ran out.
int MessageBoxLoop(HWND owner);

}  // namespace sim_internal
