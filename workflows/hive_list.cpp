// The loaded-hive list under HKLM\SYSTEM\CurrentControlSet\Control\hivelist: one value per loaded
// hive, named by its place in the registry ("\REGISTRY\USER\S-1-5-...") with its file's device
// path as data.
#include "workflows/hive_list.h"

#include <cstring>

#include "platform.h"
#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/key_path.h"
#include "services/report.h"
#include "services/text_ops.h"

namespace {
// A user hive's value name holds "\user\" and then its hive name.
const char kUserMarker[] = "\\user\\";
const size_t kUserMarkerLength = sizeof kUserMarker - 1;
}  // namespace

namespace {
// ERROR_DATATYPE_MISMATCH: a user hive's entry whose data is no text.
const LONG kWrongType = 1629;

// The value name of an entry whose name or data did not fit: read again without the data, into a
// buffer for the longest value name the registry allows. False when that fails too.
bool FullValueName(HKEY list, DWORD index, std::string *fullName) {
  std::vector<char> name(16384);
  DWORD nameLength = static_cast<DWORD>(name.size());
  if (RegEnumValueA(list, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  fullName->assign(name.data(), strnlen(name.data(), name.size()));
  return true;
}

bool IsUserEntry(const std::string &name) { return SearchText(1, LowerCase(name), kUserMarker) != 0; }
}  // namespace

void WalkUserHives(const std::function<void(const std::string &, const std::string &)> &onHive,
                   const std::function<void(const HiveListFault &)> &onFault) {
  auto fault = [&](DWORD index, const std::string &name, LONG code, bool restOfList = false) {
    if (onFault) onFault(HiveListFault{index, name, code, restOfList});
  };
  const std::optional<KeyPath> path =
      ParseKeyPath("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist");
  KeyOwner list;
  const LONG opened = RegOpenKeyExA(path->root, path->subKey.c_str(), 0, KEY_QUERY_VALUE, list.Receive());
  if (opened != ERROR_SUCCESS) {
    if (opened != ERROR_FILE_NOT_FOUND) fault(0, "", opened, true);
    return;
  }
  for (DWORD index = 0;; index++) {
    char name[256];
    BYTE data[256];
    DWORD nameLength = sizeof name;
    DWORD dataLength = sizeof data;
    DWORD type = REG_SZ;
    const LONG status = RegEnumValueA(list.Get(), index, name, &nameLength, nullptr, &type, data, &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {
      // A machine hive's entry is none of the run's business; any other may be a user hive's. An
      // entry that cannot even be named says nothing of the list after it.
      std::string fullName;
      if (!FullValueName(list.Get(), index, &fullName)) {
        fault(index, "", status, true);
        break;
      }
      if (IsUserEntry(fullName)) fault(index, fullName, status);
      continue;
    }
    if (status != ERROR_SUCCESS) {
      fault(index, "", status, true);
      break;
    }
    const std::string valueName(name, strnlen(name, sizeof name));
    std::string lowered = LowerCase(valueName);
    int position = SearchText(1, lowered, kUserMarker);
    if (position == 0) continue;
    if (type != REG_SZ) {
      fault(index, valueName, kWrongType);
      continue;
    }
    std::string hiveName = lowered.substr(static_cast<size_t>(position) - 1 + kUserMarkerLength);
    // The data ends at its first NUL or at the length the call returned, never past it.
    const char *text = reinterpret_cast<const char *>(data);
    std::string hiveFile(text, strnlen(text, dataLength <= sizeof data ? dataLength : sizeof data));
    onHive(hiveName, hiveFile);
  }
}

void ReportHiveListFault(const HiveListFault &fault) {
  ReportEntry entry;
  entry.kind = ReportKind::HiveSave;
  entry.caption = "Fehler in RegEnumValue";
  const std::string number = "Nr. " + NumberText(static_cast<long>(fault.index)).substr(1);
  entry.text = "Fehlernummer: " + NumberText(fault.code);
  if (fault.restOfList) {
    entry.text += " in der Liste geladener Hives ab Eintrag " + number + ": die Hives ab dort wurden nicht gesichert.";
  } else {
    entry.text += " in Eintrag " + (fault.name.empty() ? number : fault.name) +
                  " der Liste geladener Hives: seine Hive wurde nicht gesichert.";
  }
  entry.file = fault.name;
  entry.code = fault.code;
  Report(entry);
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
