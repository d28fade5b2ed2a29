// The backup run behind "Sichern".
#pragma once

#include "workflows/run_view.h"

// The four machine hives and every loaded user hive into view's folder; failedHives counts the
// hives that were reported as not saved.
RunResult RunBackup(RunView &view);
