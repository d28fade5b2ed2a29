// The backup run behind "Sichern".
#pragma once

#include "platform.h"

int RunBackup(HWND mainWindow);
