// Lines of text for the console the program was started from, when there is one.
#pragma once

#include <string>

#include "platform.h"

struct ConsoleOut {
  HANDLE handle = nullptr;  // nullptr: nowhere to write
  bool console = false;     // a console window (wide text) rather than a redirected file or pipe
};

// Redirected standard output when the parent gave one; otherwise the parent's console, attached to
// (a GUI program gets no console of its own).
ConsoleOut OpenConsoleOut();

// Writes a line of Windows-1252 text and CR LF. A console shows its OEM code page (850 or 437), in
// which the bytes of "ä" or "ü" are other letters: the line goes to a console as UTF-16 through
// MultiByteToWideChar and WriteConsoleW, to a file or pipe as the Windows-1252 bytes themselves.
void WriteConsoleLine(const ConsoleOut &out, const std::string &text);
