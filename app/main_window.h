// The main window: building it, running it modally, and the helpers the runs use on its controls.
#pragma once

#include "platform.h"
// What the window's parts and the runs do on its controls (SetProgress, MainWindowView, ...).
#include "app/window_controls.h"

// Builds the hidden main window with its controls and initial state (folder field, restore button,
// progress bar at 0), with its object holding instance, the module its resources come from
// (nullptr: this program's). nullptr when the window cannot be created.
HWND CreateMainWindow(HWND owner, HINSTANCE instance = nullptr);

// Builds the window, shows it and runs it until it is destroyed; returns its end value (0).
int ShowMainWindow(HWND owner, HINSTANCE instance = nullptr);
