// The backup run: the four machine hives and every loaded user hive into the backup folder, with
// "ConsoleBackup.bat" beside them and the Recovery Console's "SetCommand" policy set.
#include "workflows/backup.h"

#include <string>
#include <vector>

#include "services/file_helpers.h"
#include "services/folder_lock.h"
#include "services/handles.h"
#include "services/hive_save.h"
#include "services/fingerprint.h"
#include "services/report.h"
#include "workflows/backup_set.h"
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

// A folder whose set would have a path too long for the calls that write it: refused before
// anything is written, rather than found out halfway with a set that lacks its script.
void ReportFolderTooLong(const std::string &folder) {
  ReportEntry entry;
  entry.kind = ReportKind::SetFolder;
  entry.caption = "Sicherung abgebrochen";
  entry.file = LongestSetPath(folder);
  entry.text = "Der Ordner " + folder + " ist für die Sicherung zu lang: " + entry.file +
               " hätte mehr als 255 Zeichen. Es wurde nichts geschrieben.";
  entry.code = ERROR_FILENAME_EXCED_RANGE;
  Report(entry);
}

// The script and the fingerprint are the set as much as its hives: one that is not written
// completely is a failed backup, with a box naming the file and the system's code.
void ReportSetFileFailed(const std::string &file, DWORD code, const char *call) {
  ReportRegistryError(ReportKind::SetFile, static_cast<LONG>(code), file, call);
}

}  // namespace

RunResult RunBackup(RunView &view) {
  RunResult result;
  view.EnableRunButtons(false);
  const std::string folder = view.FolderText();
  if (!SetPathsFit(folder)) {
    ReportFolderTooLong(folder);
    view.EnableRunButtons(true);
    result.folderRefused = true;
    return result;
  }
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
  std::vector<std::string> written;  // the files of the set this run wrote, for the fingerprint
  ConsoleScriptOpen(script, folder);
  for (const MachineHive &machine : kMachineHives) {
    view.SetStatus(machine.status);
    if (SaveOneHive(folder, machine.keyPath, machine.hive, access)) {
      written.push_back(machine.hive);
    } else {
      result.failedHives++;
    }
    ConsoleScriptAddMachineHive(script, folder, machine.hive);
    view.SetProgress(machine.progress);
  }

  int accumulator = 0;
  WalkUserHives([&](const std::string &hiveName, const std::string &hiveFile) {
    view.SetStatus("läuft... " + hiveName);
    accumulator += 10;
    const std::string file = SetFilePath(folder, hiveName);
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
      if (SaveOneHive(folder, "HKEY_USERS\\" + hiveName, hiveName, access)) {
        written.push_back(hiveName);
      } else {
        result.failedHives++;
      }
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

  const DWORD scriptError = ConsoleScriptClose(script);
  access.Release();
  if (scriptError != 0) {
    ReportSetFileFailed(SetFilePath(folder, kConsoleScriptName), scriptError, script.failedCall);
    result.failedFiles++;
  } else {
    written.push_back(kConsoleScriptName);
  }
  // A hive whose save failed is not listed, so that an older file left under its name fails the
  // set's check later.
  FingerprintError fingerprintError;
  if (!WriteSetFingerprint(folder, written, &fingerprintError)) {
    ReportSetFileFailed(SetFilePath(folder, kFingerprintName), fingerprintError.code, fingerprintError.call);
    result.failedFiles++;
  }
  lock.Release();
  view.SetStatus("");
  view.SetProgress(0);
  view.EnableRunButtons(true);
  return result;
}
