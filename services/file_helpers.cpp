// Existence test and forced delete of one file.
#include "services/file_helpers.h"

#include "platform.h"
#include "services/text_ops.h"

// A path too long for the 261-byte buffer is not tested at all: cut, it would name another file.
int16_t PathExists(const std::string &path) {
  if (!FitsBuffer(path, MAX_PATH + 1)) return 0;
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}

// Clears the attributes first so that a read-only, hidden or system file goes too; when they
// cannot be cleared, nothing is deleted.
int16_t ForceDelete(const std::string &path) {
  if (PathExists(path) != 1) return 53;
  int result = SetAttributes(path, 0);
  if (result == 0) result = DeleteFiles(path);
  return static_cast<int16_t>(result);
}
