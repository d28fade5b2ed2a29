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

// The save calls refuse to overwrite: each hive goes into a temporary file first, which then
// takes the place of the earlier backup's file, so that a failed save leaves that file as it was.
void SaveOneHive(const std::string &folder, const std::string &keyPath, const std::string &name) {
  SaveHiveInPlace(keyPath, folder + "\\" + name, folder + "\\" + kSaveTempName);
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
    SaveOneHive(folder, machine.keyPath, machine.hive);
    ConsoleScriptAddMachineHive(script, folder, machine.hive);
    SetProgress(mainWindow, IDC_PROGRESS, machine.progress);
  }

  int accumulator = 0;
  WalkUserHives([&](const std::string &hiveName, const std::string &hiveFile) {
    SetStatus(mainWindow, "läuft... " + hiveName);
    accumulator += 10;
    const std::string file = folder + "\\" + hiveName;
    LONG status = ERROR_SUCCESS;
    if (!IsUsableHiveName(hiveName)) {
      // Its file would lie outside the folder, stand for a device, a pattern or another file of
      // the set (a machine hive's, the script).
      ShowRegistryError(ERROR_ALREADY_EXISTS, file, "RegSaveKey");
    } else if (!UserHiveKeyExists(hiveName, &status)) {
      // Listed but not loaded: opening it for the save would create an empty key.
      ShowRegistryError(status, file, "RegCreateKeyEx");
    } else {
      SaveOneHive(folder, "HKEY_USERS\\" + hiveName, hiveName);
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
