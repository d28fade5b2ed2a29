// The backup set: the names of its files, the paths built from a folder, the one path-length rule
// of a run, and what makes a folder's files a set (one the window offers to restore, one /verify
// calls complete, one retention may remove). Every other part asks here instead of repeating a name
// or a rule.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform.h"
#include "services/hive_file_check.h"

// A machine hive as both runs handle it, in the runs' order.
struct MachineHive {
  const char *status;   // the status line while it is handled
  const char *hive;     // its file in the backup set and in the configuration folder
  const char *staged;   // the restore's staged copy; SOFTWARE's is written ".TMP", the same file
  const char *keyPath;
  int progress;         // the progress bar once it is done
};
extern const MachineHive kMachineHives[4];

extern const char kConsoleScriptName[];  // "ConsoleBackup.bat", the Recovery Console's script
extern const char kFingerprintName[];    // "SHA256SUMS", the fingerprint of what the last run wrote

// A file of the set: the folder text, "\" and the name, joined as they stand (a drive root's folder
// text gives two backslashes in a row).
std::string SetFilePath(const std::string &folder, const std::string &name);

// True when a hive name may name a file of the backup set: one plain file name (IsPlainFileName)
// that is none of the set's own files (the machine hives, the script, the fingerprint, the
// temporary name) by the file system's comparison without case. The loaded-hive list may name any
// key under HKEY_USERS.
bool IsUsableHiveName(const std::string &hiveName);

// The longest path a backup run into folder would write: the set's own files and the file of each
// usable user hive of the loaded-hive list (read once here).
std::string LongestSetPath(const std::string &folder);

// The one path-length rule of a run: every path it writes fits the tightest buffer of the calls
// that write the set (the text file's open and the hive save, 255 characters). Checked once, before anything is
// written; a folder that fails it is refused.
bool SetPathsFit(const std::string &folder);

// The window offers "Wiederherstellen" when the folder holds SOFTWARE, SYSTEM and SAM (file or
// folder; all three looked at, in this order). SECURITY does not count; "" holds nothing.
bool OffersRestore(const std::string &folder);

// An entry of a folder as its listing reports it.
struct SetFolderEntry {
  std::string name;
  DWORD attributes;
};

// Retention may remove a folder whose entries (its listing without "." and "..") are the files of
// one backup set and nothing else: "SOFTWARE", "SYSTEM", "SECURITY", "SAM" and "ConsoleBackup.bat",
// each present, and besides them only the fingerprint "SHA256SUMS" and user hive files; each one
// IsRemovableSetFile, and the set complete by CheckSet (with a fingerprint, every file it names
// still what the run wrote).
bool IsRemovableSet(const std::string &folder, const std::vector<SetFolderEntry> &entries);
// An entry that a set may hold: a plain regular file (no sub-folder, no link or other reparse
// point, no name that stands for another file, none the ANSI calls cannot name exactly) named as
// a file of the set or a user hive, and a hive file passing the restore's check.
bool IsRemovableSetFile(const std::string &folder, const SetFolderEntry &entry);

// Codes of a HiveFileCheck (state Unreadable) for a file that fails the set's fingerprint. Bit 29
// marks application-defined codes, which no system call returns.
const DWORD kFileChanged = 0x20000001;       // differs from the hash of the last run
const DWORD kFileNotFingerprinted = 0x20000002;  // not written by the last run (an older file)
const DWORD kFingerprintedFileMissing = 0x20000003;  // written by the last run, now gone
const DWORD kFingerprintDamaged = 0x20000004;  // SHA256SUMS is not in its form

// A set's check, file by file.
struct SetCheck {
  bool fingerprinted = false;         // the folder holds SHA256SUMS: every file compared with it
  std::vector<std::string> missing;   // machine hives the folder lacks (and the fingerprint omits)
  std::vector<HiveFileCheck> files;   // every file checked
  std::string scriptFault;            // CheckWholeSet: ReadSetScript's fault
};

// Every file of the set in folder: the fingerprint when it is damaged, the machine hives, the
// loaded user hives and the userHives named (by their file names in the set; one that is not there
// fails as missing), then (with a fingerprint) the script and the fingerprint's other files. Each
// hive passes CheckHiveFile; with a fingerprint, each file a restore would use, and the script,
// must be listed in it and have its hash, and each listed file must be there.
SetCheck CheckSet(const std::string &folder, const std::vector<std::string> &userHives = {});

// What /verify checks: CheckSet with the user hives of the set's ConsoleBackup.bat, which must be a
// script as the backup writes it (scriptFault otherwise), so that a set it passes also passes the
// offline restore's check.
SetCheck CheckWholeSet(const std::string &folder);

// /verify's "in Ordnung": no machine hive missing, every file good, and no fault in the script when
// it was read.
bool IsCompleteSet(const SetCheck &check);

// Every file of the backup set in folder that a restore would use, and with a fingerprint every
// file it lists, each with the result of its check (CheckSet's files).
std::vector<HiveFileCheck> CheckBackupSet(const std::string &folder, const std::vector<std::string> &userHives = {});

// The reason in the user's words, such as "ist leer" or "wurde verändert"; "" for a good file.
std::string SetFileReason(const HiveFileCheck &check);

// A user hive's line of the set's ConsoleBackup.bat: its file in the set and its place on the
// backup day.
struct ScriptUserHive {
  std::string hiveName;  // IsUsableHiveName, once in the script (without case)
  std::string path;      // IsPlainFullPath, aimed at NTUSER.DAT, UsrClass.dat or DEFAULT
};
struct SetScript {
  std::vector<ScriptUserHive> userHives;
  char backupDrive = 0;  // the backup day's Windows drive, from the machine-hive lines; 0 unknown
};

// Reads the set's ConsoleBackup.bat as the backup writes it: its first line, a copy line per machine
// hive into the configuration folder, and a copy line per user hive. "" when it is such a script;
// otherwise the fault in the user's words, such as "<script> ist nicht lesbar" or "<script> Zeile 7
// ist keine Zeile einer Sicherung" (also a user hive line aimed at a file that holds no user hive,
// or naming a set file twice).
std::string ReadSetScript(const std::string &folder, SetScript *script);

// The fingerprint of the files a run wrote (names in the set, in the run's order), written into
// the folder through the temporary name. False with the failed call and code otherwise.
struct FingerprintError;
bool WriteSetFingerprint(const std::string &folder, const std::vector<std::string> &written,
                         FingerprintError *error);
