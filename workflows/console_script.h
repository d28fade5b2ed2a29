// "ConsoleBackup.bat": copy commands for putting the saved hives back from the Recovery Console.
#pragma once

#include <string>

#include "services/file_helpers.h"

void ConsoleScriptOpen(TextFile &script, const std::string &backupFolder);
void ConsoleScriptAddMachineHive(TextFile &script, const std::string &backupFolder,
                                 const std::string &hive);
void ConsoleScriptAddUserHive(TextFile &script, const std::string &backupFolder,
                              const std::string &hiveName, const std::string &drivePath);
// Closes the script; the system's code of its first failed call (open, a line, the close; the call
// in script.failedCall), 0 when every line is in the file.
DWORD ConsoleScriptClose(TextFile &script);
