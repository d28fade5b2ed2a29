// What the backup and restore runs do with the main window's controls.
#pragma once

#include <string>

#include "platform.h"

// Disables or enables ">>", "Sichern", "Wiederherstellen" and "Quit" in the runs' order
// ("Sichern", "Wiederherstellen", "Quit", ">>").
void EnableRunButtons(HWND mainWindow, BOOL enable);
std::string ReadFolderField(HWND mainWindow);
void SetStatus(HWND mainWindow, const std::string &text);
