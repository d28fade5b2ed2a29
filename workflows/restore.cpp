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

// A user hive's file in the set, or "" when the restore passes the hive over (a name that is no
// file of its own in the set, or no file of that name).
std::string UserHiveFile(const std::string &folder, const std::string &hiveName) {
  const std::string backupFile = folder + "\\" + hiveName;
  if (!IsUsableHiveName(hiveName) || PathExists(backupFile) != 1) return "";
  return backupFile;
}

// One box for all files that failed, so that nothing of a damaged set is put in place.
bool ReportBadFiles(const std::vector<HiveFileCheck> &checks) {
  std::string lines;
  for (const HiveFileCheck &check : checks) {
    if (check.state != HiveFileState::Good) lines += "\r\n" + check.file + " " + HiveFileReason(check);
  }
  if (lines.empty()) return false;
  const std::string text =
      "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n" + lines;
  MessageBoxA(nullptr, text.c_str(), "Wiederherstellung abgebrochen", MB_OK | MB_ICONEXCLAMATION);
  return true;
}

}  // namespace

std::vector<HiveFileCheck> CheckBackupSet(const std::string &folder) {
  std::vector<HiveFileCheck> checks;
  for (const MachineHive &machine : kMachineHives) {
    const std::string backupFile = folder + "\\" + machine.hive;
    if (PathExists(backupFile) == 1) checks.push_back(CheckHiveFile(backupFile));
  }
  WalkUserHives([&](const std::string &hiveName, const std::string &) {
    const std::string backupFile = UserHiveFile(folder, hiveName);
    if (!backupFile.empty()) checks.push_back(CheckHiveFile(backupFile));
  });
  return checks;
}

int RunRestore(HWND mainWindow) {
  const std::string configFolder = EnvironmentValue("systemroot") + "\\System32\\config";
  const std::string startupFolder = FindStartupFolder();
  EnableRunButtons(mainWindow, FALSE);
  const std::string folder = ReadFolderField(mainWindow);
  // Checked before anything is written: not even the configuration folder is created, nor the
  // clean-up script of an earlier restore that waits for its log-on emptied.
  if (ReportBadFiles(CheckBackupSet(folder))) {
    EnableRunButtons(mainWindow, TRUE);
    return 1;
  }
  if (PathExists(configFolder) != 1) CreateFolder(configFolder);
  CleanupScript::Open(startupFolder);
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
    const std::string backupFile = UserHiveFile(folder, hiveName);
    if (backupFile.empty()) return;
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
