// "dellog.bat" in the Startup folder: removes the staged copies' log files at the next log-on.
#pragma once

#include <string>

#include "services/file_helpers.h"

// The current user's Startup folder, its variables expanded; "" when there is none to name.
std::string FindStartupFolder();

namespace CleanupScript {
// The script is the caller's, open from Open to Finish for one restore run. Each returns 0, or the
// error number of the first step that failed (the script is then not whole).
int Open(TextFile &script, const std::string &startupFolder);
int AddHive(TextFile &script, const std::string &configFolder, const std::string &hive);
int Finish(TextFile &script, const std::string &startupFolder);
}  // namespace CleanupScript
