// "dellog.bat" in the Startup folder: removes the staged copies' log files at the next log-on.
#pragma once

#include <string>

std::string FindStartupFolder();

namespace CleanupScript {
void Open(const std::string &startupFolder);
void AddHive(const std::string &configFolder, const std::string &hive);
void Finish(const std::string &startupFolder);
}  // namespace CleanupScript
