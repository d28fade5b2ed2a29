// Writing one registry key, with everything below it, into a hive file.
#pragma once

#include <string>

#include "platform.h"

// The error box of failed registry saves and replacements: "Fehlernummer: " number " in Datei "
// file, caption "Fehler in " operation, plus an optional tail after the file.
void ShowRegistryError(LONG code, const std::string &file, const std::string &operation,
                       const std::string &tail = "");

// Opens (or creates) a key with backup-restore semantics, as both hive operations do.
LONG OpenForBackupRestore(HKEY root, const std::string &subKey, HKEY *key);

// 0 when written (or the root is unknown), -1 when the key cannot be opened, else a failure code.
LONG SaveHive(const std::string &keyPath, const std::string &targetFile);

// SaveHive into targetFile, whose failure boxes name shownFile instead.
LONG SaveHiveAs(const std::string &keyPath, const std::string &targetFile,
                const std::string &shownFile);

// Saves into tempFile (a file name of its own in the same folder) and only then puts the new file
// in place of file, clearing the old file's read-only, hidden and system attributes: a failed
// save leaves the earlier file as it was and removes the temporary one. Boxes name file.
// 0 when file holds the new hive.
LONG SaveHiveInPlace(const std::string &keyPath, const std::string &file,
                     const std::string &tempFile);

// Wine marks its ntdll with wine_get_version.
bool RunningOnWine();
