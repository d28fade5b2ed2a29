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
