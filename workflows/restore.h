// The restore run behind "Wiederherstellen".
#pragma once

#include "platform.h"

#include <string>
#include <vector>

#include "services/hive_file_check.h"

// 0 when the set was restored; 1 when a file of it failed the check and nothing was done.
int RunRestore(HWND mainWindow);

// Every file of the backup set in folder that a restore would use, in the restore's order (the
// machine hives, then the loaded user hives), each with the result of its check.
std::vector<HiveFileCheck> CheckBackupSet(const std::string &folder);
