// "ConsoleBackup.bat": copy commands for putting the saved hives back from the Recovery Console.
#pragma once

#include <string>

#include "services/file_helpers.h"

void ConsoleScriptOpen(TextFile &script, const std::string &backupFolder);
void ConsoleScriptAddMachineHive(TextFile &script, const std::string &backupFolder,
                                 const std::string &hive);
void ConsoleScriptAddUserHive(TextFile &script, const std::string &backupFolder,
                              const std::string &hiveName, const std::string &drivePath);
void ConsoleScriptClose(TextFile &script);
