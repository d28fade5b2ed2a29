// The restore run behind "Wiederherstellen".
#pragma once

#include <string>
#include <vector>

#include "services/hive_file_check.h"
#include "workflows/run_view.h"

// setRefused when a file of the set failed the check and nothing was done; failedHives counts
// the hives reported as not staged or not registered.
RunResult RunRestore(RunView &view);

// Every file of the backup set in folder that a restore would use, in the restore's order (the
// machine hives, then the loaded user hives), each with the result of its check.
std::vector<HiveFileCheck> CheckBackupSet(const std::string &folder);
