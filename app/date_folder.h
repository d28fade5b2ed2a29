// The date sub-folder that the date check box and the unattended "/date" add to a folder.
#pragma once

#include <string>

// folder + "\" + date (MM-DD-YYYY, as DateText gives it), with each pair of backslashes folded
// into one; the leading pair of a network path is kept.
std::string WithDateFolder(const std::string &folder, const std::string &date);
// The same with today's date.
std::string WithDateFolder(const std::string &folder);
