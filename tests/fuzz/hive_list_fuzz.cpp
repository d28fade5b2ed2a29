// Fuzzes the loaded-hive list: arbitrary value names, types and data in the list (some of them
// user hives that are really loaded), walked on their own and then by a whole backup and restore
// run, whose hive names become file names, key paths and script lines; a run without a reported
// failure leaves a set that passes its check, and a name too long for the folder refuses the run.
// Input, per list entry: a kind byte taken from the end of the input (bit 0: a loaded user hive
// whose key name is the name; otherwise a raw value of type kTypes[kind >> 1] in the list), and
// from the front the name and the data as FuzzedDataProvider strings (backslashes doubled, each
// ended by a backslash and one other byte).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "fuzz_support.h"
#include "workflows/backup.h"
#include "workflows/backup_set.h"
#include "workflows/hive_list.h"
#include "workflows/restore.h"

namespace {

const char *const kHiveList = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist";
const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_NONE};

// Fills the list from the input; returns how many values were added at most.
size_t FillHiveList(FuzzedDataProvider &input) {
  size_t count = 0;
  for (; count < 24 && input.remaining_bytes() > 0; count++) {
    const uint8_t kind = input.ConsumeIntegral<uint8_t>();
    const std::string name = UpToNul(input.ConsumeRandomLengthString(300));
    const std::string data = input.ConsumeRandomLengthString(300);
    if (kind & 1) {
      // A loaded user hive: a key under HKEY_USERS, whose name cannot hold a backslash.
      std::string hive = name.empty() ? "S-1-5-18" : name;
      std::replace(hive.begin(), hive.end(), '\\', '_');
      sim::LoadUserHive(hive, UpToNul(data));
    } else {
      sim::SetRegValue(kHiveList, name, kTypes[(kind >> 1) % (sizeof kTypes / sizeof kTypes[0])], data);
    }
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FreshMachine();
  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  FuzzedDataProvider input(data, size);
  const size_t added = FillHiveList(input);
  const std::string startup = "C:\\Users\\admin\\Startmen\xFC\\Programme\\Autostart";
  sim::MakeFolders(startup);

  std::vector<std::pair<std::string, std::string>> hives;
  WalkUserHives([&](const std::string &name, const std::string &file) { hives.emplace_back(name, file); });
  FUZZ_CHECK(hives.size() <= added);  // the machine hives of the start state are no user hives
  for (const auto &hive : hives) {
    FUZZ_CHECK(LowerCase(hive.first) == hive.first);
    FUZZ_CHECK(hive.first.size() <= 255 - 6);
    FUZZ_CHECK(hive.second.find('\0') == std::string::npos && hive.second.size() <= 256);
    FUZZ_CHECK(MapToDrivePath(hive.second).size() <= 26);
  }

  InitCommonControls();
  HWND window = CreateMainWindow(nullptr);
  FUZZ_CHECK(window != nullptr);
  SetWindowTextA(GetDlgItem(window, IDC_FOLDER), "D:\\Sicherung");
  // A hive name so long that its file's path would not fit makes the folder unusable for the run:
  // refused before anything is written.
  const bool fits = SetPathsFit("D:\\Sicherung");
  RunResult result;
  {
    MainWindowView view(window);
    result = RunBackup(view);
  }
  FUZZ_CHECK(result.folderRefused == !fits);
  if (!fits) {
    FUZZ_CHECK(sim::ListFolder("D:\\").empty());
    DestroyWindow(window);
    return 0;
  }
  // A run that reports no failure leaves a set that passes its own check.
  FUZZ_CHECK(result.failedHives + result.failedFiles > 0 || IsCompleteSet(CheckSet("D:\\Sicherung")));
  const std::string script = sim::FileBytes("D:\\Sicherung\\ConsoleBackup.bat");
  FUZZ_CHECK(script.rfind("Set allowallpaths = true\r\n", 0) == 0);
  // Whatever the user hives are called, the machine hives' files of the set hold the machine hives.
  for (const std::string machine : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
    FUZZ_CHECK(sim::HiveFileSnapshot("D:\\Sicherung\\" + machine) ==
               sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\" + machine));
  }
  // Nothing is written beside the backup folder, whatever a hive name holds ("..\\x", "").
  FUZZ_CHECK(sim::ListFolder("D:\\") == std::vector<std::string>{"Sicherung"});
  {
    MainWindowView view(window);
    RunRestore(view);
  }
  for (const sim::Replacement &replacement : sim::Replacements()) {
    const size_t slash = replacement.hive.find('\\');
    FUZZ_CHECK(replacement.hive.compare(0, slash, "HKEY_USERS") != 0 ||
               IsUsableHiveName(replacement.hive.substr(slash + 1)));
  }
  // A restore that registered a replacement leaves a whole clean-up script (one that was refused
  // leaves none at all).
  if (!sim::Replacements().empty()) {
    const std::string cleanup = sim::FileBytes(startup + "\\dellog.bat");
    FUZZ_CHECK(cleanup.size() >= 19 && cleanup.compare(cleanup.size() - 19, 19, "del /f dellog.bat\r\n") == 0);
  }
  DestroyWindow(window);
  return 0;
}
