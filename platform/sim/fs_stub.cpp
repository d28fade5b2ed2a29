// STUB: file-system entry points for hive files, until files.cpp provides them.
#include "internal.h"
namespace simx {
DWORD FsCreateNew(const std::string &, const std::string &) { return 120; }
DWORD FsWrite(const std::string &, const std::string &) { return 120; }
DWORD FsRead(const std::string &, std::string *) { return 120; }
DWORD FsDelete(const std::string &) { return 120; }
bool FsExists(const std::string &) { return false; }
}  // namespace simx
