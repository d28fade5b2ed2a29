// The program's start, shared by the two programs built from it: Brovink.exe (GUI subsystem,
// WinMain) and Brovink.com (console subsystem, main, app/console_main.cpp).
#pragma once

// Runs the command line's mode without a window and returns its exit code; without a mode switch
// runs the window and returns 0. A console program first lets its console go: the window needs
// none, and one started from Explorer would otherwise keep an empty console window open.
int StartBrovink(bool consoleProgram);
