// The main window's callback: button clicks and the date check box.
#pragma once

#include "platform.h"

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
