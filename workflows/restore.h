// The restore run behind "Wiederherstellen".
#pragma once

#include "platform.h"

int RunRestore(HWND mainWindow);
