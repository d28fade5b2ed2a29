// The loaded-hive list under HKLM\SYSTEM\CurrentControlSet\Control\hivelist: one value per loaded
// hive, named by its place in the registry ("\REGISTRY\USER\S-1-5-...") with its file's device
// path as data.
#include "workflows/hive_list.h"

#include <cstring>

#include "platform.h"
#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/key_path.h"
#include "services/text_ops.h"

namespace {
// A user hive's value name holds "\user\" and then its hive name.
const char kUserMarker[] = "\\user\\";
const size_t kUserMarkerLength = sizeof kUserMarker - 1;
}  // namespace

void WalkUserHives(const std::function<void(const std::string &, const std::string &)> &onHive) {
  const std::optional<KeyPath> path =
      ParseKeyPath("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist");
  // A failed open leaves the handle null; the first enumeration then fails and ends the walk.
  KeyOwner list;
  RegOpenKeyExA(path->root, path->subKey.c_str(), 0, KEY_QUERY_VALUE, list.Receive());
  for (DWORD index = 0;; index++) {
    char name[256];
    BYTE data[256];
    DWORD nameLength = sizeof name;
    DWORD dataLength = sizeof data;
    DWORD type = REG_SZ;
    if (RegEnumValueA(list.Get(), index, name, &nameLength, nullptr, &type, data, &dataLength) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string lowered = LowerCase(std::string(name, strnlen(name, sizeof name)));
    int position = SearchText(1, lowered, kUserMarker);
    if (position == 0) continue;
    std::string hiveName = lowered.substr(static_cast<size_t>(position) - 1 + kUserMarkerLength);
    // The data ends at its first NUL or at the length the call returned, never past it.
    const char *text = reinterpret_cast<const char *>(data);
    std::string hiveFile(text, strnlen(text, dataLength <= sizeof data ? dataLength : sizeof data));
    onHive(hiveName, hiveFile);
  }
}

bool UserHiveKeyExists(const std::string &hiveName, LONG *status) {
  KeyOwner key;
  *status = RegOpenKeyExA(HKEY_USERS, hiveName.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
  return *status == ERROR_SUCCESS;
}

// A device name matches only as a whole: \Device\HarddiskVolume1 is no drive of a path on
// \Device\HarddiskVolume12, nor of a path that holds it further on.
std::vector<std::string> MapToDrivePath(const std::string &hiveFile, DriveTable &drives) {
  std::vector<std::string> paths;
  std::string current = hiveFile;
  for (char letter = 'a'; letter <= 'z'; letter++) {
    const std::string drive = {letter, ':'};
    const std::string &deviceName = drives.Device(letter);
    if (deviceName.empty() || current.compare(0, deviceName.size(), deviceName) != 0 ||
        current.size() <= deviceName.size() || current[deviceName.size()] != '\\') {
      continue;
    }
    current = drive + current.substr(deviceName.size());
    paths.push_back(current);
  }
  return paths;
}

std::vector<std::string> MapToDrivePath(const std::string &hiveFile) {
  DriveTable drives;
  return MapToDrivePath(hiveFile, drives);
}

const std::string &DriveTable::Device(char letter) {
  if (!read_) {
    read_ = true;
    for (char each = 'a'; each <= 'z'; each++) {
      const std::string drive = {each, ':'};
      char device[256] = {0};
      if (QueryDosDeviceA(drive.c_str(), device, sizeof device) == 0) continue;
      devices_[each - 'a'].assign(device, strnlen(device, sizeof device));
    }
  }
  return devices_[letter - 'a'];
}
