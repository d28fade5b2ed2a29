// Fuzzes the drive mapping: arbitrary device names for a few drive letters (a NUL inside one
// stands for a list of several names) and an arbitrary hive file path. At most one path per
// letter comes out, none unless a device name is the path's leading part followed by a backslash,
// and each one starts with its drive.
// Input: from the end the number of drives (byte % 7) and each drive's letter (byte % 26); from the
// front each device name as a FuzzedDataProvider string (backslashes doubled, ended by a backslash
// and one other byte), and the rest as the path.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "fuzz_support.h"
#include "workflows/hive_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FreshMachine();
  FuzzedDataProvider input(data, size);
  std::vector<std::string> devices = {"\\Device\\HarddiskVolume1"};  // C: of the start state
  const int drives = input.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < drives; i++) {
    const char letter = static_cast<char>('a' + input.ConsumeIntegralInRange(0, 25));
    const std::string device = input.ConsumeRandomLengthString(300);
    sim::AddDrive(letter, device);
    devices.push_back(UpToNul(device));
  }
  const std::string path = input.ConsumeRemainingBytesAsString();

  const std::vector<std::string> mapped = MapToDrivePath(path);
  FUZZ_CHECK(mapped.size() <= 26);
  bool anyLeads = false;
  for (const std::string &device : devices) {
    anyLeads |= !device.empty() && path.compare(0, device.size(), device) == 0 &&
                path.size() > device.size() && path[device.size()] == '\\';
  }
  FUZZ_CHECK(anyLeads || mapped.empty());
  for (const std::string &mapped_path : mapped) {
    FUZZ_CHECK(mapped_path.size() >= 2 && mapped_path[0] >= 'a' && mapped_path[0] <= 'z' &&
               mapped_path[1] == ':');
  }
  return 0;
}
