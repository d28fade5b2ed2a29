// The restore run behind "Wiederherstellen".
#pragma once

#include <string>
#include <vector>

#include "services/hive_file_check.h"
#include "workflows/run_view.h"

// The restore-availability rule: the folder holds SOFTWARE, SYSTEM and SAM ("" holds nothing).
bool HoldsRestorableSet(const std::string &folder);

// setRefused when a file of the set failed the check, the folder holds no set, or an earlier
// restore waits for the restart: then nothing was done (a box said why). failedHives counts the
// hives not registered (0: every hive of the set is registered for the next start).
RunResult RunRestore(RunView &view);

// Every file of the backup set in folder that a restore would use, in the restore's order (the
// machine hives, then the loaded user hives), each with the result of its check.
std::vector<HiveFileCheck> CheckBackupSet(const std::string &folder);
