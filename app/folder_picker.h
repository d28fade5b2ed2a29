// Choosing the backup folder in the shell's folder dialog.
#pragma once

#include <string>

#include "platform.h"

// The chosen folder (the current directory when cancelled) in *folder; false when there is none
// that the program can use (the user has been told why).
bool BrowseForBackupFolder(HWND mainWindow, std::string *folder);
