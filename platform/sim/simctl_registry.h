// Test control of the simulated process token and registry.
//
// The machine after sim::Reset(): an elevated administrator whose token holds SeBackupPrivilege,
// SeRestorePrivilege, SeTakeOwnershipPrivilege, SeDebugPrivilege and SeShutdownPrivilege, none of
// them enabled. HKEY_LOCAL_MACHINE holds the hives SOFTWARE, SYSTEM, SECURITY and SAM with a few
// keys and values each; SAM and SECURITY open only with REG_OPTION_BACKUP_RESTORE and an
// enabled backup or restore privilege. The loaded-hive list
// HKLM\SYSTEM\CurrentControlSet\Control\hivelist (a volatile key, as on Windows) names the four
// machine hives; no user hive is loaded. HKEY_CURRENT_USER holds an empty
// "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" key.
//
// Key paths of the control calls begin with a root name (HKEY_LOCAL_MACHINE, HKEY_USERS,
// HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG or the short HKLM, HKU, HKCU) and name
// keys case-insensitively. They bypass access checks. A path with another root throws.
//
// Hive files: RegSaveKeyA/RegSaveKeyExA write the registry's own format (base block, hive bins,
// nk, vk, lh/ri, sk and db cells; string data in UTF-16), which the distribution's hive parsers
// read; volatile keys are left out, as Windows leaves them out. HiveSnapshot returns exactly what
// a save of that key would write, so sim::PutFile(path, sim::HiveSnapshot(key)) stages a valid
// hive file.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {

// ---- process token ------------------------------------------------------------------------------
// Not elevated: a standard user's token (no backup, restore, take-ownership or debug privilege),
// for which every key of HKEY_LOCAL_MACHINE opens for reading only: a request to write (set a
// value, create a sub-key) gives 5, as the hives' default security gives it.
void SetElevated(bool elevated);
void HoldPrivilege(const std::string &name, bool held);  // not held: also disabled
bool PrivilegeEnabled(const std::string &name);
void SetPrivilegeEnabled(const std::string &name, bool enabled);  // only a held privilege enables

// ---- registry content ---------------------------------------------------------------------------
// HKEY_USERS\name as a hive root, and the hive list value "\REGISTRY\USER\name" = deviceFile.
void LoadUserHive(const std::string &name, const std::string &deviceFile);
void AddHiveListValue(const std::string &valueName, const std::string &data);  // raw REG_SZ entry
void SetRegString(const std::string &keyPath, const std::string &name, const std::string &value);
void SetRegDword(const std::string &keyPath, const std::string &name, DWORD value);
void SetRegValue(const std::string &keyPath, const std::string &name, DWORD type,
                 const std::string &data);  // bytes as stored; creates the keys
bool GetRegValue(const std::string &keyPath, const std::string &name, DWORD *type,
                 std::string *data);
bool RegKeyExists(const std::string &keyPath);
void DeleteRegKey(const std::string &keyPath);  // with its subtree; open handles then get 1018
int OpenKeyCount();                             // key handles opened and not yet closed

// ---- hive files ---------------------------------------------------------------------------------
std::string HiveSnapshot(const std::string &keyPath);  // "" when the key is missing
std::string HiveFileSnapshot(
    const std::string &file);  // a hive file loaded and saved again; "" if unreadable or unsound
std::string SavedDescriptor(
    const std::string &file);  // SDDL given when the file was created by a save

// ---- hive replacement ---------------------------------------------------------------------------
// RegReplaceKeyA (backup and restore privilege) validates the new file, keeps its content as it is
// at that moment and holds the file open, unshared, until the next start (as Windows does), writes
// the current hive under the old file's name and records the replacement. The staged file stays
// where it is.
struct Replacement {
  std::string hive;     // e.g. "HKEY_LOCAL_MACHINE\SOFTWARE" or "HKEY_USERS\S-1-5-21-..."
  std::string newFile;  // as passed
  std::string oldFile;  // as passed
};
std::vector<Replacement> Replacements();  // registered, not yet in place
// The next start: every registered replacement puts its content in place of its hive (open handles
// into the replaced hive then get 1018), volatile keys are gone (the loaded-hive list is kept, as the
// kernel makes it again), registered files are no longer held, and the new process token has no
// privilege enabled.
void Restart();

}  // namespace sim
