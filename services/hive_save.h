// Writing one registry key, with everything below it, into a hive file.
#pragma once

#include <string>

#include "platform.h"
#include "services/handles.h"

// Opens (or creates) a key with backup-restore semantics, as both hive operations do.
LONG OpenForBackupRestore(HKEY root, const std::string &subKey, HKEY *key);

// The security descriptor the hive files are written with, built at the first save that needs
// it and kept for all saves of a run. A descriptor that could not be built is tried again at the
// next save.
class HiveFileAccess {
 public:
  // The descriptor; nullptr with *error set when it cannot be built.
  PSECURITY_DESCRIPTOR Descriptor(LONG *error);
  void Release() { descriptor_.Close(); }

 private:
  LocalOwner descriptor_;
};

// 0 when written (or the root is unknown), -1 when the key cannot be opened, else a failure code.
// Failures are reported (kind HiveSave). Without access, the save builds a descriptor of its own.
LONG SaveHive(const std::string &keyPath, const std::string &targetFile,
              HiveFileAccess *access = nullptr);

// SaveHive into targetFile, whose failure reports name shownFile instead.
LONG SaveHiveAs(const std::string &keyPath, const std::string &targetFile,
                const std::string &shownFile, HiveFileAccess *access = nullptr);

// Saves into a temporary file of the run's own in folder (a name that was not there before, see
// TemporaryName) and only then puts the new file in place of folder\name, clearing the old file's
// read-only, hidden and system attributes: a failed save leaves the earlier file as it was and
// removes the temporary one, and no other file of the folder is ever removed. Reports name
// folder\name. 0 when it holds the new hive.
LONG SaveHiveInPlace(const std::string &keyPath, const std::string &folder, const std::string &name,
                     HiveFileAccess *access = nullptr);

// A temporary file name of this process's own: "~", the process id and a counter, in hex, at most
// 13 characters. A caller still makes sure that the name is not there before it writes to it.
std::string TemporaryName();

// Wine marks its ntdll with wine_get_version.
bool RunningOnWine();
