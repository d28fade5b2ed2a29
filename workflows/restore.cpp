// The restore run: the hive files of the backup set are staged in the configuration folder, all of
// them before the first is registered to replace its loaded hive at the next start; "dellog.bat"
// cleans up afterwards.
#include "workflows/restore.h"

#include <string>
#include <vector>

#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/folder_lock.h"
#include "services/hive_replace.h"
#include "services/report.h"
#include "services/text_ops.h"
#include "workflows/backup_set.h"
#include "workflows/cleanup_script.h"
#include "workflows/hive_list.h"

namespace {

const char kRefusedCaption[] = "Wiederherstellung abgebrochen";
const char kIncompleteCaption[] = "Wiederherstellung unvollständig";
const char kCleanupCaption[] = "Autostart-Ordner nicht gefunden";

// A refused set's box names at most this many files, then how many more there are.
const size_t kListedFiles = 20;

// A volatile key that a restore makes before its first copy and keeps once it has registered a
// replacement. The system drops volatile keys at its next start, the start that puts the
// replacements in place; so while the key is there, a restore runs or its replacements wait.
// (Wine's RegReplaceKey registers nothing and holds no file, so this key is the only trace of a
// restore there.)
const char kPendingKey[] = "SOFTWARE\\Brovink-Wiederherstellung";

// One hive that the restore puts in place.
struct SetHive {
  std::string hive;        // "SOFTWARE", ..., or the user hive name: names the .tmp and .bak files
  std::string backupFile;  // in the backup set
  std::string stagedName;  // in the configuration folder ("SOFTWARE.TMP" for SOFTWARE)
  std::string keyPath;
  bool staged = false;
  bool registered = false;
};

void Refuse(const std::string &folder, const std::string &text) {
  ReportEntry entry;
  entry.kind = ReportKind::SetCheck;
  entry.caption = kRefusedCaption;
  entry.text = text;
  entry.file = folder;
  Report(entry);
}

// One report for all files that failed, so that nothing of a damaged set is put in place. A long
// list would make a box taller than the screen: the first files, then how many more.
bool ReportBadFiles(const std::string &folder, const std::vector<HiveFileCheck> &checks) {
  std::string lines;
  size_t bad = 0;
  for (const HiveFileCheck &check : checks) {
    if (check.state == HiveFileState::Good) continue;
    if (++bad <= kListedFiles) lines += "\r\n" + check.file + " " + SetFileReason(check);
  }
  if (bad == 0) return false;
  if (bad > kListedFiles) lines += "\r\nund " + std::to_string(bad - kListedFiles) + " weitere";
  Refuse(folder, "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n" + lines);
  return true;
}

// A staged copy that the system holds open: the file of a replacement registered earlier, which
// the system keeps open until the restart.
bool HeldOpen(const std::string &path) {
  if (PathExists(path) != 1) return false;
  HandleOwner file(CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

// A staged copy that the system holds for an earlier registration: of any machine hive (also one
// this set lacks, which the next start would take from the earlier set), or of the set's user
// hives.
bool StagedCopyHeld(const std::vector<SetHive> &hives, const std::string &configFolder) {
  for (const MachineHive &machine : kMachineHives) {
    if (HeldOpen(configFolder + "\\" + machine.staged)) return true;
  }
  for (const SetHive &hive : hives) {
    if (HeldOpen(configFolder + "\\" + hive.stagedName)) return true;
  }
  return false;
}

// Claims the configuration folder for this restore: false when the mark is there already (a
// restore that waits for the restart, or one that runs in another process right now). Creating the
// key is the one step that two restores cannot both win. A mark that cannot be made at all does
// not stop the restore: the staged copies the system holds still show a pending one.
bool ClaimRestore() {
  KeyOwner key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPendingKey, 0, const_cast<char *>(""), REG_OPTION_VOLATILE,
                      KEY_QUERY_VALUE, nullptr, key.Receive(), &disposition) != ERROR_SUCCESS) {
    return true;
  }
  return disposition != REG_OPENED_EXISTING_KEY;
}

// Nothing was registered: the mark goes, so that the next restore is not refused.
void ReleaseRestore() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPendingKey); }

// Whether a file of the set is there: a file the system cannot look at is neither there nor
// missing, and a restore that passed it over would put the rest of the set in place without it.
bool LookAtSetFile(const std::string &path, bool *present, std::string *unreadable) {
  *present = false;
  if (!FitsBuffer(path, MAX_PATH + 1)) return true;  // no file of the set can have such a path
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    *present = true;
    return true;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
  *unreadable = path + " ist nicht lesbar (Fehler " + std::to_string(code) + ")";
  return false;
}

// The hives of the set in the restore's order: the machine hives whose file is there, then the
// loaded user hives whose file is there. False (with the file's line in *unreadable) when a file
// cannot be looked at.
bool ListSetHives(const std::string &folder, std::vector<SetHive> *hives, std::string *unreadable) {
  bool present = false;
  for (const MachineHive &machine : kMachineHives) {
    const std::string backupFile = folder + "\\" + machine.hive;
    if (!LookAtSetFile(backupFile, &present, unreadable)) return false;
    if (present) hives->push_back(SetHive{machine.hive, backupFile, machine.staged, machine.keyPath});
  }
  bool readable = true;
  WalkUserHives([&](const std::string &hiveName, const std::string &) {
    const std::string backupFile = folder + "\\" + hiveName;
    if (!readable || !IsUsableHiveName(hiveName)) return;
    readable = LookAtSetFile(backupFile, &present, unreadable);
    if (readable && present) {
      hives->push_back(SetHive{hiveName, backupFile, hiveName + ".tmp", "HKEY_USERS\\" + hiveName});
    }
  });
  return readable;
}

// Removes the staged copies that this run made and that no registration holds.
void RemoveUnregisteredCopies(const std::vector<SetHive> &hives, const std::string &configFolder) {
  for (const SetHive &hive : hives) {
    if (!hive.staged || hive.registered) continue;
    const std::string staged = configFolder + "\\" + hive.stagedName;
    SetFileAttributesA(staged.c_str(), FILE_ATTRIBUTE_NORMAL);  // a copy of a read-only set file
    DeleteFileA(staged.c_str());
  }
}

// Copies every hive file of the set to its staged name, with the status line and progress of each
// hive. Stops at the first copy that fails (reported): false.
bool StageAll(RunView &view, std::vector<SetHive> &hives, const std::string &configFolder) {
  size_t next = 0;
  auto stage = [&](SetHive &hive) {
    const std::string staged = configFolder + "\\" + hive.stagedName;
    // CopyFile refuses to overwrite a read-only file: one left from a run that ended between its
    // copy and making it writable is made writable and the copy tried once more.
    bool copied = CopyFileOver(hive.backupFile, staged) == 0;
    if (!copied && GetLastError() == ERROR_ACCESS_DENIED) {
      const DWORD attributes = GetFileAttributesA(staged.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
          !(attributes & FILE_ATTRIBUTE_DIRECTORY) && MakeWritable(staged)) {
        copied = CopyFileOver(hive.backupFile, staged) == 0;
      } else {
        SetLastError(ERROR_ACCESS_DENIED);
      }
    }
    if (!copied) {
      ReportRegistryError(ReportKind::HiveRestore, static_cast<LONG>(GetLastError()), staged,
                          "CopyFile");
      return false;
    }
    hive.staged = true;
    if (!MakeWritable(staged)) {
      ReportRegistryError(ReportKind::HiveRestore, static_cast<LONG>(GetLastError()), staged,
                          "SetFileAttributes");
      return false;
    }
    return true;
  };
  for (const MachineHive &machine : kMachineHives) {
    view.SetStatus(machine.status);
    if (next < hives.size() && hives[next].hive == machine.hive) {
      if (!stage(hives[next++])) return false;
      view.SetProgress(machine.progress);
    }
  }
  // Every loaded user hive shows its status; the bar moves for those whose file is staged. One that
  // joined the list since the set was looked at is passed over like a missing file, and one that
  // left it is not restored.
  int accumulator = 0;
  bool copied = true;
  WalkUserHives([&](const std::string &hiveName, const std::string &) {
    if (!copied) return;
    view.SetStatus("läuft... " + hiveName);
    if (next >= hives.size() || hives[next].hive != hiveName) return;
    copied = stage(hives[next++]);
    if (!copied) return;
    accumulator += 10;
    view.SetProgress(40 + accumulator);
  });
  if (!copied) return false;
  hives.resize(next);
  return true;
}

std::string HiveNames(const std::vector<SetHive> &hives, bool registered) {
  std::string names;
  for (const SetHive &hive : hives) {
    if (hive.registered == registered) names += "\r\n" + hive.hive;
  }
  return names;
}

// Some hives are registered, the others not: the next start would mix two points in time.
void ReportIncomplete(const std::string &folder, const std::vector<SetHive> &hives) {
  ReportEntry entry;
  entry.kind = ReportKind::HiveRestore;
  entry.caption = kIncompleteCaption;
  entry.text = "Die Wiederherstellung ist unvollständig. Beim nächsten Start werden nur diese Hives "
               "ersetzt:\r\n" + HiveNames(hives, true) +
               "\r\n\r\nNicht ersetzt werden:\r\n" + HiveNames(hives, false) +
               "\r\n\r\nStellen Sie die Registry bitte in der Wiederherstellungskonsole über die "
               "Batchdatei ConsoleBackup.bat aus dem Ordner „" + folder +
               "“ vollständig wieder her.";
  entry.file = folder;
  Report(entry);
}

// Writes dellog.bat for the registered hives. When no Startup folder can be found or written, the
// user is told which log files to delete by hand.
void WriteCleanupScript(const std::vector<SetHive> &hives, const std::string &configFolder,
                        const std::string &startupFolder) {
  TextFile cleanup;
  bool written = !startupFolder.empty() && CleanupScript::Open(cleanup, startupFolder) == 0;
  std::string logs;
  for (const SetHive &hive : hives) {
    if (!hive.registered) continue;
    if (written) written = CleanupScript::AddHive(cleanup, configFolder, hive.hive) == 0;
    logs += "\r\n" + configFolder + "\\" + hive.hive + ".tmp.log";
  }
  if (written) written = CleanupScript::Finish(cleanup, startupFolder) == 0;
  if (written) return;
  ReportEntry entry;
  entry.kind = ReportKind::HiveRestore;
  entry.caption = kCleanupCaption;
  entry.text = "Die Datei dellog.bat konnte nicht in den Autostart-Ordner geschrieben werden. "
               "Löschen Sie bitte nach dem Neustart diese Dateien von Hand:\r\n" + logs;
  entry.file = startupFolder;
  Report(entry);
}

}  // namespace

// Whole or not at all: the set is checked as it is at this moment, an earlier restore that waits
// for the restart refuses this one, every file is staged before the first registration, and a
// failed copy removes this run's copies. A registration can still fail after others succeeded;
// that is told as it is, with what the user can do.
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
  auto finish = [&]() {
    view.SetStatus("");
    view.SetProgress(0);
    view.EnableRunButtons(true);
    return result;
  };

  // Checked before anything is written: not even the configuration folder is created, nor the
  // clean-up script of an earlier restore that waits for its log-on emptied. The claim comes last.
  std::vector<SetHive> hives;
  std::string unreadable;
  if (!OffersRestore(folder)) {
    Refuse(folder, "Der Ordner „" + folder + "“ enthält keine vollständige Sicherung (SOFTWARE, "
                   "SYSTEM und SAM), es wurde nichts wiederhergestellt.");
    result.setRefused = true;
  } else if (ReportBadFiles(folder, CheckBackupSet(folder))) {
    result.setRefused = true;
  } else if (!ListSetHives(folder, &hives, &unreadable)) {
    Refuse(folder, "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:\r\n\r\n" +
                       unreadable);
    result.setRefused = true;
  } else if (StagedCopyHeld(hives, configFolder) || !ClaimRestore()) {
    Refuse(folder, "Eine frühere Wiederherstellung wartet noch auf den Neustart des Rechners. "
                   "Starten Sie den Rechner bitte zuerst neu; es wurde nichts geändert.");
    result.setRefused = true;
  }
  if (result.setRefused) {
    view.EnableRunButtons(true);
    return result;
  }

  if (PathExists(configFolder) != 1) CreateFolder(configFolder);
  view.SetProgress(1);
  bool staged = StageAll(view, hives, configFolder);
  for (size_t i = 0; staged && i < hives.size(); i++) {
    staged = KeepOldHiveFile(configFolder, hives[i].hive + ".bak") == ERROR_SUCCESS;
  }
  size_t registered = 0;
  for (size_t i = 0; staged && i < hives.size(); i++) {
    SetHive &hive = hives[i];
    ReplaceHive(hive.keyPath, hive.hive + ".tmp", hive.hive + ".bak", &hive.registered);
    if (!hive.registered) break;
    registered++;
  }
  result.failedHives = static_cast<int>(hives.size() - registered);
  RemoveUnregisteredCopies(hives, configFolder);
  if (registered == 0) ReleaseRestore();
  if (registered > 0) WriteCleanupScript(hives, configFolder, startupFolder);
  if (registered > 0 && registered < hives.size()) ReportIncomplete(folder, hives);
  return finish();
}
