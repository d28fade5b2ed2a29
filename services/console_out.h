// Lines of text for the console the program was started from, when there is one.
#pragma once

#include <string>

#include "platform.h"

struct ConsoleOut {
  HANDLE handle = nullptr;  // nullptr: nowhere to write
  bool console = false;     // a console window (wide text) rather than a redirected file or pipe
  UINT codePage = 0;        // a file or pipe: the code page its bytes are written in
};

// Redirected standard output when the parent gave one; otherwise the parent's console, attached to
// (a GUI program gets no console of its own). A console program has its console from the start.
// For a file or pipe, the code page a console program's output is read in there: the console's
// output code page when the process has a console or its parent one (attached only to ask), else
// the OEM code page.
ConsoleOut OpenConsoleOut();

// Writes a line of Windows-1252 text and CR LF. A console shows its OEM code page (850 or 437), in
// which the bytes of "ä" or "ü" are other letters: the line goes to a console as UTF-16 through
// MultiByteToWideChar and WriteConsoleW, to a file or pipe in out.codePage (what the console has
// no byte for becomes '?'), so that "type" shows it as the console would.
void WriteConsoleLine(const ConsoleOut &out, const std::string &text);
