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
#include "workflows/backup_set.h"
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
    {"ExpandEnvironmentStringsA", {ERROR_NOT_ENOUGH_MEMORY}},
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
    {"RegDeleteKeyA", {ERROR_ACCESS_DENIED}},
    {"RegSetValueExA", {ERROR_ACCESS_DENIED}},
    {"RegQueryValueExA", {ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA}},
    {"RegEnumValueA", {ERROR_MORE_DATA, ERROR_ACCESS_DENIED, ERROR_REGISTRY_IO_FAILED}},
    {"RegSaveKeyExA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_DISK_FULL,
                       ERROR_ALREADY_EXISTS}},
    {"RegSaveKeyA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_DISK_FULL}},
    {"RegReplaceKeyA", {ERROR_ACCESS_DENIED, ERROR_PRIVILEGE_NOT_HELD, ERROR_ALREADY_EXISTS}},
    // NTSTATUS: STATUS_NO_MEMORY, STATUS_INVALID_HANDLE
    {"BCryptOpenAlgorithmProvider", {0xC0000017}},
    {"BCryptCreateHash", {0xC0000017}},
    {"BCryptHashData", {0xC0000008}},
    {"BCryptFinishHash", {0xC0000008}},
};

const std::vector<std::string> kHives = {"HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SYSTEM",
                                         "HKEY_LOCAL_MACHINE\\SECURITY", "HKEY_LOCAL_MACHINE\\SAM",
                                         std::string("HKEY_USERS\\") + kUser};

// Every file with its attributes and bytes, every folder, on the simulated drives.
std::map<std::string, std::string> FileSystem() { return DriveTree({"C:\\", "D:\\"}); }

bool IsUnder(const std::string &path, const std::string &folder) {
  return path == folder || path.rfind(folder + "\\", 0) == 0;
}

class FaultSweepTest : public RunTest {
 protected:
  // A machine with a user hive, a complete backup set from an earlier run, a stale staged copy of
  // an earlier restore and the hive file kept by it in the configuration folder, and a Startup
  // value that names its folder through a variable.
  void Prepare() {
    DestroyLeftWindows();  // the case before's window, and the object it keeps
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
    sim::PutFile(kConfig + "\\SAM.bak", "way back");
    sim::SetRegString(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        "Startup", "%USERPROFILE%\\Startmenü\\Programme\\Autostart");
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

  // Set while GetFileAttributesA reports an existing file as not found: the restore then passes
  // that hive's file over as missing, as it does for a set without it.
  bool fileSeenMissing = false;
  // Cleared while the calls that read the loaded-hive list fail: the restore then knows of no user
  // hive and restores the machine hives alone, as it does when no user hive is loaded.
  bool userHivesListed = true;

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
        const bool refusal = box.text.rfind("Die Sicherung ist unbrauchbar", 0) == 0 ||
                             box.text.rfind("Der Ordner „" + kBackup + "“ enthält keine", 0) == 0 ||
                             box.text.rfind("Eine frühere Wiederherstellung wartet", 0) == 0;
        EXPECT_TRUE(refusal) << box.text;
      } else if (box.caption == "Wiederherstellung unvollständig" ||
                 box.caption == "Autostart-Ordner nicht gefunden") {
        // Checked against the registrations below.
      } else if (box.caption == "Ordner wird verwendet") {
        EXPECT_EQ(sim::MessageBoxes().size(), 1u) << "a refused run shows nothing else";
        EXPECT_EQ(box.text.rfind("Der Ordner " + std::string(kBackup) + " wird gerade", 0), 0u) << box.text;
      } else {
        // The registry and copy calls of the hives (a copy made writable too); the file and CNG
        // calls of the script and the fingerprint; the loaded-hive list's entries.
        static const std::vector<std::string> kOwnCalls = {
            "RegSaveKey", "RegCreateKeyEx", "RegReplaceKey", "CopyFile", "CreateFile", "WriteFile",
            "SetEndOfFile", "CloseHandle", "ReadFile", "MoveFile", "MoveFileEx", "BCryptOpenAlgorithmProvider",
            "BCryptCreateHash", "BCryptHashData", "BCryptFinishHash", "RegEnumValue", "SetFileAttributes"};
        bool ownBox = false;
        for (const std::string &call : kOwnCalls) ownBox = ownBox || box.caption == "Fehler in " + call;
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

    // The hive file kept by an earlier restore survives every failure, under its name or a dated one.
    bool wayBack = false;
    for (const std::string &name : sim::ListFolder(kConfig)) {
      wayBack = wayBack || sim::FileBytes(kConfig + "\\" + name) == "way back";
    }
    EXPECT_TRUE(wayBack) << "the earlier SAM.bak is gone";

    sim::Restart();
    if (!fileSeenMissing) ExpectRegisteredAllOrNone(hivesBefore, backupFile);
    for (const auto &hive : kHives) {
      const std::string now = sim::HiveSnapshot(hive);
      EXPECT_TRUE(now == hivesBefore.at(hive) || now == sim::HiveFileSnapshot(backupFile(hive)))
          << hive << " holds data that is neither its own nor its backup's";
    }
  }

  // A backup that reports no failure leaves a set that passes its check (unless the loaded-hive
  // list could not be read, which the run passes over silently and which leaves an earlier user
  // hive's file behind). A set that passes its check is one run's set, never a mix: every hive file
  // holds the hive as it is now, or every one still holds what the earlier backup wrote (a run
  // whose fingerprint could not be written leaves the earlier one, which matches only those).
  static void ExpectSetAsReported(const RunResult &result, const std::string &api,
                                  const std::map<std::string, std::string> &setBefore) {
    const SetCheck check = CheckSet(kBackup);
    if (result.failedHives == 0 && result.failedFiles == 0 && api != "RegEnumValueA" && api != "RegOpenKeyExA") {
      EXPECT_TRUE(IsCompleteSet(check)) << "a backup without a failure left a set that fails its check";
    }
    if (!IsCompleteSet(check)) return;
    bool allNow = true, allEarlier = true;
    for (const auto &hive : kHives) {
      const std::string file = kBackup + "\\" + LowerCaseUser(hive.substr(hive.rfind('\\') + 1));
      allNow = allNow && sim::HiveFileSnapshot(file) == sim::HiveSnapshot(hive);
      allEarlier = allEarlier && sim::FileBytes(file) == setBefore.at(hive);
    }
    EXPECT_TRUE(allNow || allEarlier) << "a set that passes its check mixes this run's hives with earlier files";
  }
  static std::string LowerCaseUser(const std::string &name) {
    return name == kUser ? "s-1-5-21-1-2-3-1000" : name;
  }
  // Whole or not at all: after the restart either every hive holds what it held before, or every
  // hive holds its backup, or a box said exactly which hives the start put in place.
  void ExpectRegisteredAllOrNone(const std::map<std::string, std::string> &hivesBefore,
                                 const std::string &backupFile(const std::string &)) {
    std::vector<std::string> replaced, kept;
    for (const auto &hive : kHives) {
      if (!userHivesListed && hive.rfind("HKEY_USERS", 0) == 0) continue;
      const std::string now = sim::HiveSnapshot(hive);
      if (now == hivesBefore.at(hive)) {
        kept.push_back(hive);
      } else if (now == sim::HiveFileSnapshot(backupFile(hive))) {
        replaced.push_back(hive);
      }
    }
    if (replaced.empty() || kept.empty()) return;
    std::string told;
    for (const auto &box : sim::MessageBoxes()) {
      if (box.caption == "Wiederherstellung unvollständig") told = box.text;
    }
    ASSERT_FALSE(told.empty()) << "a part of the set was put in place without a word";
    const std::string list = told.substr(0, told.find("Nicht ersetzt"));
    for (const auto &hive : replaced) {
      std::string name = hive.substr(hive.rfind('\\') + 1);
      if (hive.rfind("HKEY_USERS", 0) == 0) name = LowerCase(name);
      EXPECT_NE(list.find("\r\n" + name + "\r\n"), std::string::npos) << name << " not named: " << told;
    }
    for (const auto &hive : kept) {
      std::string name = hive.substr(hive.rfind('\\') + 1);
      if (hive.rfind("HKEY_USERS", 0) == 0) name = LowerCase(name);
      EXPECT_EQ(list.find("\r\n" + name + "\r\n"), std::string::npos) << name << " named wrongly: " << told;
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
          userHivesListed = std::string(call.api) != "RegOpenKeyExA" &&
                            std::string(call.api) != "RegEnumValueA";
          fileSeenMissing = std::string(call.api) == "GetFileAttributesA" &&
                            (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
          SCOPED_TRACE(std::string(call.api) + " fails with " + std::to_string(code) +
                       (index < 0 ? " every time" : " at call " + std::to_string(index)));
          const RunResult result = run(window);
          sim::ClearFaults();
          const std::string api = call.api;
          if (api != "CloseHandle" && api != "RegCloseKey" && api != "FreeLibrary") ExpectNothingLeftOpen();
          if (run == BackupIn) ExpectSetAsReported(result, api, setBefore);
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
    DestroyLeftWindows();
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
