// The one operating-system header of Brovink: the SDK's on Windows, our simulated Win32 on Linux.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <bcrypt.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#else
#include "sim/win32.h"
#endif
