// The loaded-hive list under HKLM\SYSTEM\CurrentControlSet\Control\hivelist: one value per loaded
// hive, named by its place in the registry ("\REGISTRY\USER\S-1-5-...") with its file's device
// path as data.
#include "workflows/hive_list.h"

#include <cstring>

#include "platform.h"
#include "services/file_helpers.h"
#include "services/key_path.h"
#include "services/text_ops.h"

void WalkUserHives(const std::function<void(const std::string &, const std::string &)> &onHive) {
  std::string subKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist";
  ParseKeyPath(subKey, g_parsedRoot);
  // A failed open leaves the handle null; the first enumeration then fails and ends the walk.
  HKEY list = nullptr;
  RegOpenKeyExA(g_parsedRoot, subKey.c_str(), 0, KEY_QUERY_VALUE, &list);
  for (DWORD index = 0;; index++) {
    char name[256];
    BYTE data[256];
    DWORD nameLength = sizeof name;
    DWORD dataLength = sizeof data;
    DWORD type = REG_SZ;
    if (RegEnumValueA(list, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string lowered = LowerCase(std::string(name, strnlen(name, sizeof name)));
    int position = SearchText(1, lowered, "\\user\\");
    if (position == 0) continue;
    std::string hiveName = lowered.substr(static_cast<size_t>(position) - 1 + 6);
    // The data ends at its first NUL or at the length the call returned, never past it.
    const char *text = reinterpret_cast<const char *>(data);
    std::string hiveFile(text, strnlen(text, dataLength <= sizeof data ? dataLength : sizeof data));
    onHive(hiveName, hiveFile);
  }
  if (list) RegCloseKey(list);
}

const char *const kSaveTempName = "$$$";

bool IsUsableHiveName(const std::string &hiveName) {
  if (!IsPlainFileName(hiveName)) return false;
  static const char *const kSetFiles[] = {"software", "system", "security", "sam",
                                          "consolebackup.bat", kSaveTempName};
  const std::string name = LowerCase(hiveName);
  for (const char *file : kSetFiles) {
    if (name == file) return false;
  }
  return true;
}

bool UserHiveKeyExists(const std::string &hiveName, LONG *status) {
  HKEY key = nullptr;
  *status = RegOpenKeyExA(HKEY_USERS, hiveName.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (*status != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A device name matches only as a whole: \Device\HarddiskVolume1 is no drive of a path on
// \Device\HarddiskVolume12, nor of a path that holds it further on.
std::vector<std::string> MapToDrivePath(const std::string &hiveFile) {
  std::vector<std::string> paths;
  std::string current = hiveFile;
  for (char letter = 'a'; letter <= 'z'; letter++) {
    const std::string drive = {letter, ':'};
    char device[256] = {0};
    if (QueryDosDeviceA(drive.c_str(), device, sizeof device) == 0) continue;
    const std::string deviceName(device, strnlen(device, sizeof device));
    if (deviceName.empty() || current.compare(0, deviceName.size(), deviceName) != 0 ||
        current.size() <= deviceName.size() || current[deviceName.size()] != '\\') {
      continue;
    }
    current = drive + current.substr(deviceName.size());
    paths.push_back(current);
  }
  return paths;
}
