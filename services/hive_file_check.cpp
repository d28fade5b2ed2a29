// Whether a file can be handed to the system as a hive. The registry's hive file begins with a
// 4096-byte base block: "regf", and at 0x1FC the XOR of the block's first 127 DWORDs (0 stored as
// 1, 0xFFFFFFFF as 0xFFFFFFFE). Wine's RegSaveKey writes its own text form instead.
#include "services/hive_file_check.h"

#include <cstring>

#include "services/handles.h"
#include "services/hive_save.h"
#include "services/text_ops.h"

namespace {

const DWORD kBaseBlockSize = 4096;
const DWORD kChecksumOffset = 0x1FC;
const char kWineHeader[] = "WINE REGISTRY Version 2";

DWORD LittleEndianDword(const unsigned char *bytes) {
  return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
         static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
}

bool HasValidBaseBlock(const unsigned char *block, DWORD size) {
  if (size < kBaseBlockSize || memcmp(block, "regf", 4) != 0) return false;
  DWORD sum = 0;
  for (DWORD offset = 0; offset < kChecksumOffset; offset += 4) sum ^= LittleEndianDword(block + offset);
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFF) sum = 0xFFFFFFFE;
  return LittleEndianDword(block + kChecksumOffset) == sum;
}

// Reads up to the base block's size from the start of the file.
DWORD ReadHead(const std::string &file, unsigned char *buffer, DWORD *size) {
  *size = 0;
  HandleOwner handle(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return GetLastError();
  DWORD error = 0;
  while (*size < kBaseBlockSize) {
    DWORD read = 0;
    if (!ReadFile(handle.Get(), buffer + *size, kBaseBlockSize - *size, &read, nullptr)) {
      error = GetLastError();
      break;
    }
    if (read == 0) break;
    *size += read;
  }
  return error;
}

}  // namespace

HiveFileCheck CheckHiveFile(const std::string &file) {
  HiveFileCheck check;
  check.file = file;
  if (!FitsBuffer(file, MAX_PATH)) {
    check.state = HiveFileState::Unreadable;
    check.error = ERROR_FILENAME_EXCED_RANGE;
    return check;
  }
  const DWORD attributes = GetFileAttributesA(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    check.state = HiveFileState::Unreadable;
    check.error = GetLastError();
    return check;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    check.state = HiveFileState::Folder;
    return check;
  }
  unsigned char head[kBaseBlockSize];
  DWORD size = 0;
  check.error = ReadHead(file, head, &size);
  if (check.error != 0) {
    check.state = HiveFileState::Unreadable;
  } else if (size == 0) {
    check.state = HiveFileState::Empty;
  } else if (!HasValidBaseBlock(head, size) &&
             !(RunningOnWine() && size >= sizeof kWineHeader - 1 &&
               memcmp(head, kWineHeader, sizeof kWineHeader - 1) == 0)) {
    check.state = HiveFileState::NotAHive;
  }
  return check;
}

std::string HiveFileReason(const HiveFileCheck &check) {
  switch (check.state) {
    case HiveFileState::Good:
      return "";
    case HiveFileState::Folder:
      return "ist ein Ordner";
    case HiveFileState::Unreadable:
      return "ist nicht lesbar (Fehler" + NumberText(static_cast<long>(check.error)) + ")";
    case HiveFileState::Empty:
      return "ist leer";
    case HiveFileState::NotAHive:
      return "ist keine Registry-Datei";
  }
  return "";
}
