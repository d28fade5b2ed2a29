// "ConsoleBackup.bat": one copy command per saved hive, for the Recovery Console.
#include "workflows/console_script.h"

#include "services/text_ops.h"
#include "workflows/backup_set.h"

void ConsoleScriptOpen(TextFile &script, const std::string &backupFolder) {
  TextFileOpen(script, SetFilePath(backupFolder, kConsoleScriptName));
  TextFileWriteLine(script, "Set allowallpaths = true");
}

// The target is the configuration folder, unquoted, ending in a backslash.
void ConsoleScriptAddMachineHive(TextFile &script, const std::string &backupFolder,
                                 const std::string &hive) {
  TextFileWriteLine(script, "copy \"" + backupFolder + "\\" + hive + "\" " +
                                EnvironmentValue("systemroot") + "\\System32\\config\\");
}

void ConsoleScriptAddUserHive(TextFile &script, const std::string &backupFolder,
                              const std::string &hiveName, const std::string &drivePath) {
  TextFileWriteLine(script,
                    "copy \"" + backupFolder + "\\" + hiveName + "\" \"" + drivePath + "\"");
}

DWORD ConsoleScriptClose(TextFile &script) {
  TextFileClose(script);
  return script.error;
}
