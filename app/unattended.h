// The unattended mode: a backup or the check of a set without a window (for the Task Scheduler),
// told on the parent's console and in the Application event log, with an exit code.
#pragma once

#include "app/command_line.h"

const int kExitDone = 0;        // every hive saved, or the set is sound (also /?)
const int kExitIncomplete = 1;  // a hive was not saved, or the set failed the check
const int kExitUnusable = 2;    // the command line or the folder cannot be used; nothing written

// Runs a command of the command line other than CommandMode::Window; returns the exit code.
int RunCommandLine(const Command &command);
