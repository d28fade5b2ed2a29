// The restore run: each hive file of the backup set is staged in the configuration folder and
// registered to replace its loaded hive at the next start; "dellog.bat" cleans up afterwards.
#include "workflows/restore.h"

#include <string>

#include "services/file_helpers.h"
#include "services/folder_lock.h"
#include "services/hive_replace.h"
#include "services/report.h"
#include "services/text_ops.h"
#include "workflows/cleanup_script.h"
#include "workflows/hive_list.h"

namespace {

// Stages one hive file and registers its replacement. A copy that fails must not let whatever
// lies in the configuration folder under the staged name (a stale copy of an earlier restore) be
// put in place: the failure is reported and nothing is registered for that hive. True when the
// replacement is registered.
bool RestoreOneHive(TextFile &cleanup, const std::string &backupFile,
                    const std::string &configFolder, const std::string &stagedName,
                    const std::string &hive, const std::string &keyPath) {
  const std::string staged = configFolder + "\\" + stagedName;
  if (CopyFileOver(backupFile, staged) != 0) {
    ReportRegistryError(ReportKind::HiveRestore, static_cast<LONG>(GetLastError()), staged,
                        "CopyFile");
    return false;
  }
  CleanupScript::AddHive(cleanup, configFolder, hive);
  bool registered = false;
  ReplaceHive(keyPath, hive + ".tmp", hive + ".bak", &registered);
  return registered;
}

// A user hive's file in the set, or "" when the restore passes the hive over (a name that is no
// file of its own in the set, or no file of that name).
std::string UserHiveFile(const std::string &folder, const std::string &hiveName) {
  const std::string backupFile = folder + "\\" + hiveName;
  if (!IsUsableHiveName(hiveName) || PathExists(backupFile) != 1) return "";
  return backupFile;
}

// One report for all files that failed, so that nothing of a damaged set is put in place.
bool ReportBadFiles(const std::string &folder, const std::vector<HiveFileCheck> &checks) {
  std::string lines;
  for (const HiveFileCheck &check : checks) {
    if (check.state != HiveFileState::Good) lines += "\r\n" + check.file + " " + HiveFileReason(check);
  }
  if (lines.empty()) return false;
  ReportEntry entry;
  entry.kind = ReportKind::SetCheck;
  entry.caption = "Wiederherstellung abgebrochen";
  entry.text = "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n" + lines;
  entry.file = folder;
  Report(entry);
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

RunResult RunRestore(RunView &view) {
  RunResult result;
  const std::string configFolder = EnvironmentValue("systemroot") + "\\System32\\config";
  const std::string startupFolder = FindStartupFolder();
  view.EnableRunButtons(false);
  const std::string folder = view.FolderText();
  // A backup into this folder under way would change the set while it is staged.
  FolderLock lock;
  if (lock.Take(folder) == FolderLockState::InUse) {
    ReportFolderInUse(folder);
    view.EnableRunButtons(true);
    result.folderInUse = result.setRefused = true;
    return result;
  }
  // Checked before anything is written: not even the configuration folder is created, nor the
  // clean-up script of an earlier restore that waits for its log-on emptied.
  if (ReportBadFiles(folder, CheckBackupSet(folder))) {
    view.EnableRunButtons(true);
    result.setRefused = true;
    return result;
  }
  if (PathExists(configFolder) != 1) CreateFolder(configFolder);
  TextFile cleanup;
  CleanupScript::Open(cleanup, startupFolder);
  view.SetProgress(1);

  for (const MachineHive &machine : kMachineHives) {
    view.SetStatus(machine.status);
    const std::string backupFile = folder + "\\" + machine.hive;
    if (PathExists(backupFile) != 1) continue;
    if (!RestoreOneHive(cleanup, backupFile, configFolder, machine.staged, machine.hive,
                        machine.keyPath)) {
      result.failedHives++;
    }
    view.SetProgress(machine.progress);
  }

  int accumulator = 0;
  WalkUserHives([&](const std::string &hiveName, const std::string &) {
    view.SetStatus("läuft... " + hiveName);
    const std::string backupFile = UserHiveFile(folder, hiveName);
    if (backupFile.empty()) return;
    accumulator += 10;
    if (!RestoreOneHive(cleanup, backupFile, configFolder, hiveName + ".tmp", hiveName,
                        "HKEY_USERS\\" + hiveName)) {
      result.failedHives++;
    }
    view.SetProgress(40 + accumulator);
  });

  CleanupScript::Finish(cleanup, startupFolder);
  view.SetStatus("");
  view.SetProgress(0);
  view.EnableRunButtons(true);
  return result;
}
