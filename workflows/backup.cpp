// The backup run: the four machine hives and every loaded user hive into the backup folder, with
// "ConsoleBackup.bat" beside them and the Recovery Console's "SetCommand" policy set.
#include "workflows/backup.h"

#include <string>

#include "services/file_helpers.h"
#include "services/folder_lock.h"
#include "services/handles.h"
#include "services/hive_save.h"
#include "services/report.h"
#include "workflows/console_script.h"
#include "workflows/hive_list.h"

namespace {

// The Recovery Console copies files back only with "SetCommand" = 1. The key is opened, never
// created: where the console is not installed nothing is written.
void AllowRecoveryConsoleCopy() {
  KeyOwner key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole", 0,
                    KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS) {
    return;
  }
  const DWORD one = 1;
  RegSetValueExA(key.Get(), "SetCommand", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                 sizeof one);
}

// The save calls refuse to overwrite: each hive goes into a temporary file of the run's own
// first, which then takes the place of the earlier backup's file, so that a failed save leaves
// that file as it was. True when the hive's file holds the hive.
bool SaveOneHive(const std::string &folder, const std::string &keyPath, const std::string &name,
                 HiveFileAccess &access) {
  return SaveHiveInPlace(keyPath, folder, name, &access) == ERROR_SUCCESS;
}

}  // namespace

RunResult RunBackup(RunView &view) {
  RunResult result;
  view.EnableRunButtons(false);
  const std::string folder = view.FolderText();
  if (PathExists(folder) == 0) CreateFolder(folder);
  // Another run in the same folder would write the same files: this one does nothing there.
  FolderLock lock;
  if (lock.Take(folder) == FolderLockState::InUse) {
    ReportFolderInUse(folder);
    result.folderInUse = true;
    view.EnableRunButtons(true);
    return result;
  }
  view.SetProgress(1);
  AllowRecoveryConsoleCopy();

  // One descriptor and one drive table serve every hive of the run.
  HiveFileAccess access;
  DriveTable drives;
  TextFile script;
  ConsoleScriptOpen(script, folder);
  for (const MachineHive &machine : kMachineHives) {
    view.SetStatus(machine.status);
    if (!SaveOneHive(folder, machine.keyPath, machine.hive, access)) result.failedHives++;
    ConsoleScriptAddMachineHive(script, folder, machine.hive);
    view.SetProgress(machine.progress);
  }

  int accumulator = 0;
  WalkUserHives([&](const std::string &hiveName, const std::string &hiveFile) {
    view.SetStatus("läuft... " + hiveName);
    accumulator += 10;
    const std::string file = folder + "\\" + hiveName;
    LONG status = ERROR_SUCCESS;
    if (!IsUsableHiveName(hiveName)) {
      // Its file would lie outside the folder, stand for a device, a pattern or another file of
      // the set (a machine hive's, the script).
      ReportRegistryError(ReportKind::HiveSave, ERROR_ALREADY_EXISTS, file, "RegSaveKey");
      result.failedHives++;
    } else if (!UserHiveKeyExists(hiveName, &status)) {
      // Listed but not loaded: opening it for the save would create an empty key.
      ReportRegistryError(ReportKind::HiveSave, status, file, "RegCreateKeyEx");
      result.failedHives++;
    } else {
      if (!SaveOneHive(folder, "HKEY_USERS\\" + hiveName, hiveName, access)) result.failedHives++;
      for (const std::string &drivePath : MapToDrivePath(hiveFile, drives)) {
        ConsoleScriptAddUserHive(script, folder, hiveName, drivePath);
      }
    }
    view.SetProgress(40 + accumulator);
  }, [&](const HiveListFault &fault) {
    // An entry that could not be read may be a user hive's: the set lacks it.
    ReportHiveListFault(fault);
    result.failedHives++;
  });

  ConsoleScriptClose(script);
  access.Release();
  lock.Release();
  view.SetStatus("");
  view.SetProgress(0);
  view.EnableRunButtons(true);
  return result;
}
