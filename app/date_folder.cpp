// The date sub-folder that the date check box and the unattended "/date" add to a folder.
#include "app/date_folder.h"

#include "services/text_ops.h"

// Folding each pair of backslashes gives a drive root ("C:\") a single backslash before the date.
// The leading pair of a network path (\\server\share) is kept: folding it would turn the path into
// one on the current drive.
std::string WithDateFolder(const std::string &folder, const std::string &date) {
  std::string joined = folder + "\\" + date;
  std::string prefix;
  if (joined.compare(0, 2, "\\\\") == 0) {
    prefix = "\\\\";
    joined.erase(0, 2);
  }
  return prefix + ReplaceText("\\\\", "\\", joined);
}

std::string WithDateFolder(const std::string &folder) { return WithDateFolder(folder, DateText()); }
