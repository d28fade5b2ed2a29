// The restore run behind "Wiederherstellen".
#pragma once

#include <string>
#include <vector>

#include "workflows/backup_set.h"  // CheckBackupSet, which the restore runs first
#include "workflows/run_view.h"

// setRefused when a file of the set failed the check and nothing was done; failedHives counts
// the hives reported as not staged or not registered.
RunResult RunRestore(RunView &view);
