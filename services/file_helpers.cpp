// Existence test and forced delete of one file.
#include "services/file_helpers.h"

#include <cstring>

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

namespace {

// The device names live in every folder. Windows also takes the superscript digits of the code
// page (\xB9 \xB2 \xB3: ¹ ² ³) as COM and LPT numbers, and a device name stays one before an
// extension and before trailing blanks ("nul .txt").
bool IsDeviceName(const std::string &name) {
  std::string base = name.substr(0, name.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  for (char &c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
    return false;
  }
  const char digit = base[3];
  return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
}

}  // namespace

bool IsPlainFileName(const std::string &name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name) {
    if (c < 0x20 || strchr("\\/:*?\"<>|", c)) return false;
  }
  // A "~" may make it the short (8.3) alias of another file: CONSOL~1.BAT is ConsoleBackup.bat.
  if (name.find('~') != std::string::npos) return false;
  return !IsDeviceName(name);
}
