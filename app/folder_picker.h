// Choosing the backup folder in the shell's folder dialog.
#pragma once

#include <string>

#include "platform.h"

std::string BrowseForBackupFolder(HWND mainWindow);
