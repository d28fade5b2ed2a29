// The restore run: each hive file of the backup set is staged in the configuration folder and
// registered to replace its loaded hive at the next start; "dellog.bat" cleans up afterwards.
#include "workflows/restore.h"

#include <string>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "services/file_helpers.h"
#include "services/hive_replace.h"
#include "services/hive_save.h"
#include "services/text_ops.h"
#include "workflows/cleanup_script.h"
#include "workflows/hive_list.h"
#include "workflows/run_window.h"

namespace {

struct MachineHive {
  const char *status;
  const char *hive;
  const char *staged;  // SOFTWARE's staged copy is written as ".TMP": the same file on Windows
  const char *keyPath;
  int progress;
};

const MachineHive kMachineHives[] = {
    {"läuft... SOFTWARE", "SOFTWARE", "SOFTWARE.TMP", "HKEY_LOCAL_MACHINE\\SOFTWARE", 10},
    {"läuft... SYSTEM", "SYSTEM", "SYSTEM.tmp", "HKEY_LOCAL_MACHINE\\SYSTEM", 20},
    {"läuft... SECURITY", "SECURITY", "SECURITY.tmp", "HKEY_LOCAL_MACHINE\\SECURITY", 30},
    {"läuft... SAM", "SAM", "SAM.tmp", "HKEY_LOCAL_MACHINE\\SAM", 40},
};

// Stages one hive file and registers its replacement. A copy that fails must not let whatever
// lies in the configuration folder under the staged name (a stale copy of an earlier restore) be
// put in place: the failure is reported and nothing is registered for that hive.
void RestoreOneHive(const std::string &backupFile, const std::string &configFolder,
                    const std::string &stagedName, const std::string &hive,
                    const std::string &keyPath) {
  const std::string staged = configFolder + "\\" + stagedName;
  if (CopyFileOver(backupFile, staged) != 0) {
    ShowRegistryError(static_cast<LONG>(GetLastError()), staged, "CopyFile");
    return;
  }
  CleanupScript::AddHive(configFolder, hive);
  ReplaceHive(keyPath, hive + ".tmp", hive + ".bak");
}

}  // namespace

int RunRestore(HWND mainWindow) {
  const std::string configFolder = EnvironmentValue("systemroot") + "\\System32\\config";
  const std::string startupFolder = FindStartupFolder();
  if (PathExists(configFolder) != 1) CreateFolder(configFolder);
  EnableRunButtons(mainWindow, FALSE);
  CleanupScript::Open(startupFolder);
  const std::string folder = ReadFolderField(mainWindow);
  SetProgress(mainWindow, IDC_PROGRESS, 1);

  for (const MachineHive &machine : kMachineHives) {
    SetStatus(mainWindow, machine.status);
    const std::string backupFile = folder + "\\" + machine.hive;
    if (PathExists(backupFile) != 1) continue;
    RestoreOneHive(backupFile, configFolder, machine.staged, machine.hive, machine.keyPath);
    SetProgress(mainWindow, IDC_PROGRESS, machine.progress);
  }

  int accumulator = 0;
  WalkUserHives([&](const std::string &hiveName, const std::string &) {
    SetStatus(mainWindow, "läuft... " + hiveName);
    // A user hive named like a file of the set has no file of its own in it.
    const std::string backupFile = folder + "\\" + hiveName;
    if (IsNameOfSetFile(hiveName) || PathExists(backupFile) != 1) return;
    accumulator += 10;
    RestoreOneHive(backupFile, configFolder, hiveName + ".tmp", hiveName,
                   "HKEY_USERS\\" + hiveName);
    SetProgress(mainWindow, IDC_PROGRESS, 40 + accumulator);
  });

  CleanupScript::Finish(startupFolder);
  SetStatus(mainWindow, "");
  SetProgress(mainWindow, IDC_PROGRESS, 0);
  EnableRunButtons(mainWindow, TRUE);
  return 0;
}
