// The main window: building it, running it modally, and the helpers the runs use on its controls.
#pragma once

#include <string>

#include "platform.h"

int ShowMainWindow(HWND owner);
void SetProgress(HWND mainWindow, int controlId, int position);
// Enables "Wiederherstellen" exactly when folder holds SOFTWARE, SYSTEM and SAM.
void ApplyRestoreAvailability(HWND mainWindow, const std::string &folder);
