// The command line of the unattended mode: "/backup <folder> [/date] [/keep <n>]", "/verify
// <folder>", "/restore <folder> /offline [<Windows folder>]" and "/?". Anything else leaves the
// program to its window.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

enum class CommandMode {
  Window,   // no arguments, or none of the mode switches: the window, as ever
  Backup,   // /backup <folder> [/date] [/keep <n>]
  Verify,   // /verify <folder>
  OfflineRestore,  // /restore <folder> /offline [<Windows folder>]
  Help,     // /?
  Invalid,  // a mode switch with arguments that do not fit (exit code 2)
};

struct Command {
  CommandMode mode = CommandMode::Window;
  std::string folder;  // exact ANSI text of the folder argument
  bool dateFolder = false;
  int keep = 0;        // 0: no retention
  std::string windowsFolder;  // /offline's Windows folder, exact ANSI text; "" to search the drives
  std::string error;   // why an Invalid command line was refused, in German
};

// One argument in the ANSI code page; exact is false when a character has no byte of its own there
// (the text then holds '?' for it).
struct Argument {
  std::string text;
  bool exact;
};

// Splits the arguments after the program name as the C runtime does for argv: blanks and tabs
// separate, double quotes group (a "" inside quotes is one quote), 2n backslashes before a quote
// are n backslashes and the quote groups, 2n+1 are n backslashes and a literal quote, other
// backslashes are literal. The program name is quoted up to the next quote, or else ends at the
// first blank, and takes backslashes literally.
std::vector<Argument> SplitCommandLine(const WCHAR *commandLine);

// The command of a whole command line (GetCommandLineW: the wide text, so that a folder the ANSI
// code page cannot spell is seen as such instead of arriving best-fitted as another folder).
Command ParseCommandLine(const WCHAR *commandLine);
