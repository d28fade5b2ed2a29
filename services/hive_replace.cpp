// Registering a staged hive file to replace a loaded hive at the next start.
#include "services/hive_replace.h"

#include "services/file_helpers.h"
#include "services/hive_save.h"
#include "services/key_path.h"
#include "services/privileges.h"
#include "services/report.h"
#include "services/text_ops.h"

namespace {

// Sub-key, new and old path travel in fixed fields of 254 characters (255 bytes with the NUL).
const size_t kField = 255;

const char *const kRestoreHint =
    "\r\n\r\nStellen Sie Ihre Registry bitte "
    "in der Wiederherstellungskonsole über die Batchdatei ConsoleBackup.BAT aus dem "
    "Backup-Verzeichnis wieder her.";

// Kept copies of one hive per day before the names are taken as used up.
const int kMaxKeptNumber = 999;

}  // namespace

// The operating system keeps the current hive file under the old name (which must be free: see
// KeepOldHiveFile) and puts the new one in
// place at the next start. RegReplaceKeyA gets the sub-key again: a sub-key that is no hive root
// stands for the hive that holds it, which is the hive opened here.
LONG ReplaceHive(const std::string &keyPath, const std::string &newName,
                 const std::string &oldName, bool *registered) {
  bool unused = false;
  if (!registered) registered = &unused;
  *registered = false;
  const std::string configFolder = EnvironmentValue("systemroot") + "\\System32\\config";
  // A rejected key path (it has been reported) neither deletes a file nor reaches the registry.
  const std::optional<KeyPath> path = ParseKeyPath(keyPath);
  if (!path) return -99999;
  const std::string &subKey = path->subKey;
  const std::string newPath = configFolder + "\\" + newName;
  const std::string oldPath = configFolder + "\\" + oldName;

  // A cut field would name another key or file: nothing is deleted, nothing registered.
  if (!FitsBuffer(subKey, kField) || !FitsBuffer(newPath, kField) || !FitsBuffer(oldPath, kField)) {
    ReportRegistryError(ReportKind::HiveRestore, ERROR_FILENAME_EXCED_RANGE, newPath, "RegReplaceKey",
                        kRestoreHint);
    return -1;
  }

  EnablePrivilege("SeBackupPrivilege");
  EnablePrivilege("SeRestorePrivilege");
  EnablePrivilege("SeTakeOwnershipPrivilege");
  EnablePrivilege("SeDebugPrivilege");
  if (!path->root) return -99999;

  KeyOwner key;
  LONG status = OpenForBackupRestore(path->root, subKey, key.Receive());
  if (status != ERROR_SUCCESS) {
    ReportRegistryError(ReportKind::HiveRestore, status, newName, "RegCreateKeyEx");
    return -1;
  }
  status = RegReplaceKeyA(key.Get(), subKey.c_str(), newPath.c_str(), oldPath.c_str());
  *registered = status == ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) {
    ReportRegistryError(ReportKind::HiveRestore, status, newPath, "RegReplaceKey", kRestoreHint);
  }
  return key.Close();
}

// MoveFileExA without MOVEFILE_REPLACE_EXISTING never takes an existing name: a number already
// taken is skipped, so no earlier kept file is ever overwritten.
LONG KeepOldHiveFile(const std::string &configFolder, const std::string &oldName) {
  const std::string oldPath = configFolder + "\\" + oldName;
  if (PathExists(oldPath) != 1) return ERROR_SUCCESS;
  const std::string dated = oldPath + "-" + DateText() + "-";
  for (int number = 1; number <= kMaxKeptNumber; number++) {
    const std::string kept = dated + std::to_string(number);
    if (MoveFileExA(oldPath.c_str(), kept.c_str(), 0)) return ERROR_SUCCESS;
    const DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
      ReportRegistryError(ReportKind::HiveRestore, static_cast<LONG>(code), oldPath, "MoveFile");
      return static_cast<LONG>(code);
    }
  }
  ReportRegistryError(ReportKind::HiveRestore, ERROR_FILE_EXISTS, oldPath, "MoveFile");
  return ERROR_FILE_EXISTS;
}
