// "dellog.bat" in the Startup folder: removes the staged copies' log files at the next log-on.
#pragma once

#include <string>

#include "services/file_helpers.h"

std::string FindStartupFolder();

namespace CleanupScript {
// The script is the caller's, open from Open to Finish for one restore run.
void Open(TextFile &script, const std::string &startupFolder);
void AddHive(TextFile &script, const std::string &configFolder, const std::string &hive);
void Finish(TextFile &script, const std::string &startupFolder);
}  // namespace CleanupScript
