// The restore run behind "Wiederherstellen".
#pragma once

#include <string>
#include <vector>

#include "workflows/backup_set.h"  // CheckBackupSet, which the restore runs first
#include "workflows/run_view.h"

// setRefused when a file of the set failed the check, the folder holds no set, or an earlier
// restore waits for the restart: then nothing was done (a box said why). failedHives counts the
// hives not registered (0: every hive of the set is registered for the next start).
RunResult RunRestore(RunView &view);
