// The backup run: the four machine hives and every loaded user hive into the backup folder, with
// "ConsoleBackup.bat" beside them and the Recovery Console's "SetCommand" policy set.
#include "workflows/backup.h"

#include <string>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "services/file_helpers.h"
#include "services/hive_save.h"
#include "services/text_ops.h"
#include "workflows/console_script.h"
#include "workflows/hive_list.h"
#include "workflows/run_window.h"

namespace {

struct MachineHive {
  const char *status;
  const char *hive;
  const char *keyPath;
  int progress;
};

const MachineHive kMachineHives[] = {
    {"läuft... SOFTWARE", "SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", 10},
    {"läuft... SYSTEM", "SYSTEM", "HKEY_LOCAL_MACHINE\\SYSTEM", 20},
    {"läuft... SECURITY", "SECURITY", "HKEY_LOCAL_MACHINE\\SECURITY", 30},
    {"läuft... SAM", "SAM", "HKEY_LOCAL_MACHINE\\SAM", 40},
};

// The Recovery Console copies files back only with "SetCommand" = 1. The key is opened, never
// created: where the console is not installed nothing is written.
void AllowRecoveryConsoleCopy() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole", 0,
                    KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return;
  }
  const DWORD one = 1;
  RegSetValueExA(key, "SetCommand", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                 sizeof one);
  RegCloseKey(key);
}

// An old hive file is removed first: the save calls refuse to overwrite.
void SaveOneHive(const std::string &keyPath, const std::string &file) {
  if (PathExists(file) == 1) ForceDelete(file);
  SaveHive(keyPath, file);
}

}  // namespace

int RunBackup(HWND mainWindow) {
  EnableRunButtons(mainWindow, FALSE);
  const std::string folder = ReadFolderField(mainWindow);
  if (PathExists(folder) == 0) CreateFolder(folder);
  SetProgress(mainWindow, IDC_PROGRESS, 1);
  AllowRecoveryConsoleCopy();

  TextFile script;
  ConsoleScriptOpen(script, folder);
  for (const MachineHive &machine : kMachineHives) {
    SetStatus(mainWindow, machine.status);
    SaveOneHive(machine.keyPath, folder + "\\" + machine.hive);
    ConsoleScriptAddMachineHive(script, folder, machine.hive);
    SetProgress(mainWindow, IDC_PROGRESS, machine.progress);
  }

  int accumulator = 0;
  WalkUserHives([&](const std::string &hiveName, const std::string &hiveFile) {
    SetStatus(mainWindow, "läuft... " + hiveName);
    accumulator += 10;
    const std::string file = folder + "\\" + hiveName;
    if (IsNameOfSetFile(hiveName)) {
      // Its file would take the place of a machine hive's file or of the script.
      ShowRegistryError(ERROR_ALREADY_EXISTS, file, "RegSaveKey");
    } else {
      SaveOneHive("HKEY_USERS\\" + hiveName, file);
      for (const std::string &drivePath : MapToDrivePath(hiveFile)) {
        ConsoleScriptAddUserHive(script, folder, hiveName, drivePath);
      }
    }
    SetProgress(mainWindow, IDC_PROGRESS, 40 + accumulator);
  });

  ConsoleScriptClose(script);
  SetStatus(mainWindow, "");
  SetProgress(mainWindow, IDC_PROGRESS, 0);
  EnableRunButtons(mainWindow, TRUE);
  return 0;
}
