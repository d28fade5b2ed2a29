// Fault injection over both runs: every platform call that a run makes fails in turn, with the
// codes Windows gives for it. After each run the window must be back in its idle state, every box
// shown must be one of the system's own error boxes, nothing may have changed outside the backup,
// configuration and Startup folders, and after a restart every hive must hold either what it held
// before or exactly what its backup file holds. A backup over an earlier set leaves each hive's
// file either as the earlier backup wrote it or holding the hive as it is now, never missing.
#include <gtest/gtest.h>

#include <map>

#include "run_fixture.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

namespace {

const std::string kBackup = "D:\\Backup";
const std::string kConfig = "C:\\WINDOWS\\System32\\config";
const std::string kStartup = "C:\\Users\\admin\\Startmenü\\Programme\\Autostart";
const char *const kUser = "S-1-5-21-1-2-3-1000";

struct CallFaults {
  const char *api;
  std::vector<DWORD> codes;
};

// The calls the runs make, each with the failures Windows reports for it.
const std::vector<CallFaults> kFaults = {
    {"GetFileAttributesA", {ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND}},
    {"SetFileAttributesA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
    {"FindFirstFileA", {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED}},
    {"FindNextFileA", {ERROR_ACCESS_DENIED}},
    {"DeleteFileA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
    {"CopyFileA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_PATH_NOT_FOUND,
                   ERROR_DISK_FULL}},
    {"CreateDirectoryA", {ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND}},
    {"CreateFileA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_PATH_NOT_FOUND}},
    {"ReadFile", {ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION}},
    {"MoveFileExA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL}},
    {"WriteFile", {ERROR_DISK_FULL, ERROR_ACCESS_DENIED}},
    {"SetFilePointer", {ERROR_INVALID_HANDLE}},
    {"SetEndOfFile", {ERROR_DISK_FULL}},
    {"CloseHandle", {ERROR_INVALID_HANDLE}},
    {"QueryDosDeviceA", {ERROR_FILE_NOT_FOUND, ERROR_INSUFFICIENT_BUFFER}},
    {"OpenProcessToken", {ERROR_ACCESS_DENIED}},
    {"LookupPrivilegeValueA", {ERROR_NO_SUCH_PRIVILEGE}},
    {"AdjustTokenPrivileges", {ERROR_ACCESS_DENIED, ERROR_NOT_ALL_ASSIGNED}},
    {"LoadLibraryA", {ERROR_MOD_NOT_FOUND}},
    {"GetProcAddress", {ERROR_PROC_NOT_FOUND}},
    {"FreeLibrary", {ERROR_INVALID_HANDLE}},
    {"ConvertStringSecurityDescriptorToSecurityDescriptorA", {ERROR_NOT_ENOUGH_MEMORY}},
    {"RegOpenKeyExA", {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
    {"RegCreateKeyExA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_FILE_NOT_FOUND}},
    {"RegCloseKey", {ERROR_INVALID_HANDLE}},
    {"RegSetValueExA", {ERROR_ACCESS_DENIED}},
    {"RegQueryValueExA", {ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA}},
    {"RegEnumValueA", {ERROR_MORE_DATA, ERROR_ACCESS_DENIED, ERROR_REGISTRY_IO_FAILED}},
    {"RegSaveKeyExA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_DISK_FULL,
                       ERROR_ALREADY_EXISTS}},
    {"RegSaveKeyA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_DISK_FULL}},
    {"RegReplaceKeyA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_ALREADY_EXISTS}},
};

const std::vector<std::string> kHives = {"HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SYSTEM",
                                         "HKEY_LOCAL_MACHINE\\SECURITY", "HKEY_LOCAL_MACHINE\\SAM",
                                         std::string("HKEY_USERS\\") + kUser};

// Every file with its attributes and bytes, every folder, on the simulated drives.
void Collect(const std::string &folder, std::map<std::string, std::string> &out) {
  for (const std::string &name : sim::ListFolder(folder)) {
    if (name == "." || name == "..") continue;
    const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
    if (sim::FolderExists(path)) {
      out[path] = "<folder>";
      Collect(path, out);
    } else {
      out[path] = std::to_string(sim::FileAttributes(path)) + ":" + sim::FileBytes(path);
    }
  }
}

std::map<std::string, std::string> FileSystem() {
  std::map<std::string, std::string> all;
  Collect("C:\\", all);
  Collect("D:\\", all);
  return all;
}

bool IsUnder(const std::string &path, const std::string &folder) {
  return path == folder || path.rfind(folder + "\\", 0) == 0;
}

class FaultSweepTest : public RunTest {
 protected:
  // A machine with a user hive, a complete backup set from an earlier run, and a stale staged
  // copy of an earlier restore in the configuration folder.
  void Prepare() {
    sim::Reset();  // each case's boxes are unanswered by design; CheckAfterRun looks at them
    ReadEnvironmentBlock();
    InitCommonControls();
    window = CreateMainWindow(nullptr);
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders(kStartup);
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u1\\NTUSER.DAT");
    for (const auto &hive : kHives) sim::SetRegString(hive + "\\Brovink", "Stand", "gesichert");
    SetFolder(kBackup);
    BackupIn(window);
    for (const auto &hive : kHives) sim::SetRegString(hive + "\\Brovink", "Stand", "geändert");
    sim::PutFile(kConfig + "\\SYSTEM.tmp", sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    sim::ClearCallLog();
  }

  std::map<std::string, int> CleanCallCounts(RunResult (*run)(HWND)) {
    Prepare();
    std::map<std::string, int> before, counts;
    for (const auto &call : kFaults) before[call.api] = sim::CallCount(call.api);
    run(window);
    for (const auto &call : kFaults) counts[call.api] = sim::CallCount(call.api) - before[call.api];
    return counts;
  }

  void CheckAfterRun(const std::map<std::string, std::string> &filesBefore,
                     const std::map<std::string, std::string> &hivesBefore,
                     const std::string &backupFile(const std::string &)) {
    for (int id : {IDC_BROWSE, IDC_BACKUP, IDC_RESTORE, IDC_QUIT}) {
      EXPECT_TRUE(sim::ControlEnabled(id)) << "button " << id << " left disabled";
    }
    EXPECT_EQ(sim::ControlText(IDC_STATUS), "");
    // A lock file that cannot be opened for sharing reasons is another run's: that run did nothing.
    const bool refused = !sim::MessageBoxes().empty() && sim::MessageBoxes()[0].caption == "Ordner wird verwendet";
    if (!refused) {
      ASSERT_FALSE(sim::ProgressHistory(IDC_PROGRESS).empty());
      EXPECT_EQ(sim::ProgressHistory(IDC_PROGRESS).back(), 0);
    }

    for (const auto &box : sim::MessageBoxes()) {
      if (box.caption == "Wiederherstellung abgebrochen") {
        EXPECT_EQ(box.text.rfind("Die Sicherung ist unbrauchbar", 0), 0u) << box.text;
      } else if (box.caption == "Ordner wird verwendet") {
        EXPECT_EQ(sim::MessageBoxes().size(), 1u) << "a refused run shows nothing else";
        EXPECT_EQ(box.text.rfind("Der Ordner " + std::string(kBackup) + " wird gerade", 0), 0u) << box.text;
      } else {
        const bool ownBox = box.caption == "Fehler in RegSaveKey" ||
                            box.caption == "Fehler in RegCreateKeyEx" ||
                            box.caption == "Fehler in RegReplaceKey" ||
                            box.caption == "Fehler in CopyFile" ||
                            box.caption == "Fehler in RegEnumValue";
        EXPECT_TRUE(ownBox) << box.caption << ": " << box.text;
        EXPECT_EQ(box.text.rfind("Fehlernummer: ", 0), 0u) << box.text;
      }
      EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      EXPECT_EQ(box.owner, nullptr);
    }

    const auto filesAfter = FileSystem();
    std::map<std::string, std::string> changed;
    for (const auto &entry : filesBefore) {
      auto it = filesAfter.find(entry.first);
      if (it == filesAfter.end() || it->second != entry.second) changed[entry.first] = "changed";
    }
    for (const auto &entry : filesAfter) {
      if (!filesBefore.count(entry.first)) changed[entry.first] = "added";
    }
    for (const auto &entry : changed) {
      EXPECT_TRUE(IsUnder(entry.first, kBackup) || IsUnder(entry.first, kConfig) ||
                  IsUnder(entry.first, kStartup))
          << entry.second << " outside the run's folders: " << entry.first;
    }

    sim::Restart();
    for (const auto &hive : kHives) {
      const std::string now = sim::HiveSnapshot(hive);
      EXPECT_TRUE(now == hivesBefore.at(hive) || now == sim::HiveFileSnapshot(backupFile(hive)))
          << hive << " holds data that is neither its own nor its backup's";
    }
  }

  // Runs `run` once for every call index of every listed call and every code.
  void Sweep(RunResult (*run)(HWND), const std::string &backupFile(const std::string &)) {
    const auto counts = CleanCallCounts(run);
    int cases = 0;
    for (const auto &call : kFaults) {
      const int made = counts.at(call.api);
      for (DWORD code : call.codes) {
        for (int index = -1; index < made; index++) {  // -1: every call fails
          Prepare();
          const auto filesBefore = FileSystem();
          std::map<std::string, std::string> hivesBefore, setBefore;
          for (const auto &hive : kHives) {
            hivesBefore[hive] = sim::HiveSnapshot(hive);
            setBefore[hive] = sim::FileBytes(backupFile(hive));
          }
          sim::FailCall(call.api, code, index < 0 ? 0 : index, index < 0 ? -1 : 1);
          SCOPED_TRACE(std::string(call.api) + " fails with " + std::to_string(code) +
                       (index < 0 ? " every time" : " at call " + std::to_string(index)));
          run(window);
          sim::ClearFaults();
          const std::string api = call.api;
          if (api != "CloseHandle" && api != "RegCloseKey" && api != "FreeLibrary") ExpectNothingLeftOpen();
          for (const auto &hive : kHives) {
            const std::string bytes = sim::FileBytes(backupFile(hive));
            EXPECT_TRUE(bytes == setBefore.at(hive) || bytes == sim::HiveSnapshot(hive))
                << backupFile(hive) << " lost the earlier backup without holding the new one";
          }
          CheckAfterRun(filesBefore, hivesBefore, backupFile);
          cases++;
          if (HasFailure()) return;  // the first failing case says enough
        }
      }
    }
    EXPECT_GT(cases, 200);
    sim::Reset();  // the boxes of the sweep were answered by design
  }
};

const std::string &BackupFileOf(const std::string &hive) {
  static std::string file;
  file = kBackup + "\\" + hive.substr(hive.rfind('\\') + 1);
  return file;
}

TEST_F(FaultSweepTest, BackupRun) { Sweep(BackupIn, BackupFileOf); }

TEST_F(FaultSweepTest, RestoreRun) { Sweep(RestoreIn, BackupFileOf); }

}  // namespace
