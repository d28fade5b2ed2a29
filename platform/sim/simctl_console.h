// Test control of how the simulated program was started: its command line, the console or
// redirected output it writes to, and the Application event log it reports to.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {

// The text GetCommandLineW returns (default: "Brovink.exe").
void SetCommandLine(const std::u16string &commandLine);

// How the process was started. None: by Explorer or the Task Scheduler, no console and no
// standard handles. ParentConsole: from a console window, which AttachConsole(ATTACH_PARENT_PROCESS)
// finds. Redirected: from a console window with standard output redirected into a file or pipe,
// which GetStdHandle returns at once.
enum class StartedFrom { None, ParentConsole, Redirected };
void SetStartedFrom(StartedFrom from);
// A console-subsystem program (Brovink.com) gets a console from Windows at its start, its parent's
// or a new one: GetStdHandle gives the console (or the redirection) at once, AttachConsole fails
// with 5 and FreeConsole lets it go.
void SetConsoleProgram(bool console);
// The console's output code page (chcp); 0, the default, is the OEM code page (850).
void SetConsoleCodePage(UINT codePage);
// The file GetModuleFileNameW names for the program (default "C:\Program Files\Brovink\Brovink.exe").
void SetProgramFile(const std::u16string &path);
std::u16string ConsoleText();     // what WriteConsoleW wrote to the parent's console
std::string RedirectedOutput();   // the bytes WriteFile wrote to the redirected standard output
bool ConsoleAttached();

// The Application event log, entries in the order reported.
struct EventRecord {
  std::string source;  // as registered
  WORD type;
  WORD category;
  DWORD id;
  std::vector<std::string> strings;
};
const std::vector<EventRecord> &EventLogEntries();

}  // namespace sim
