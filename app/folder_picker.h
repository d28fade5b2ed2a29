// Choosing the backup folder in the shell's folder dialog.
#pragma once

#include <string>

#include "platform.h"

// The chosen folder in *folder, with the restore button set for it; false when the user cancelled
// or chose nothing the program can use (then told why), with nothing changed.
bool BrowseForBackupFolder(HWND mainWindow, std::string *folder);
