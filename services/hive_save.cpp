// Writing one registry key, with everything below it, into a hive file.
#include "services/hive_save.h"

#include <atomic>

#include "services/file_helpers.h"
#include "services/key_path.h"
#include "services/privileges.h"
#include "services/report.h"
#include "services/text_ops.h"

namespace {

// Hive files of SAM, SECURITY and SYSTEM hold password hashes and secrets: they are written
// readable by SYSTEM and the Administrators only, whatever the chosen folder would pass on.
const char *const kHiveFileAccess = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// Sub-key and target path are handed to the registry in buffers of 256 bytes.
const size_t kNameBuffer = 256;

typedef LONG(WINAPI *RegSaveKeyExFunction)(HKEY, LPCSTR, LPSECURITY_ATTRIBUTES, DWORD);

// Removes what a failed save may have left under the target's name, and nothing else. The file
// delete takes wildcards, and a hive name may hold "*" or "?" (registry key names may, file names
// may not): such a target was never written, and as a pattern it would delete the set's other
// files. A name ending in "\" or ":" would likewise stand for a whole folder.
void DeletePartialFile(const std::string &targetFile) {
  if (targetFile.empty() || targetFile.find_first_of("*?") != std::string::npos) return;
  if (targetFile.back() == '\\' || targetFile.back() == ':') return;
  DeleteFiles(targetFile);
}

// RegSaveKeyExA where the system has it (looked up on every call), else the plain save only. A
// failed attempt may leave a partial file: it is removed before the next attempt and at the end.
// For a fresh target (a name that did not exist just before) a refusal because the file exists
// (183) means another program made it meanwhile: that file is not the save's and stays, and the
// save fails. The key is closed here, before the module is freed.
LONG SaveOpenKey(KeyOwner &key, const std::string &targetFile, LPSECURITY_ATTRIBUTES attributes,
                 bool freshTarget) {
  ModuleOwner advapi(LoadLibraryA("ADVAPI32.DLL"));
  FARPROC proc = advapi ? GetProcAddress(advapi.Get(), "RegSaveKeyExA") : nullptr;
  auto saveEx = reinterpret_cast<RegSaveKeyExFunction>(reinterpret_cast<void *>(proc));
  LONG status = ERROR_SUCCESS;
  if (saveEx) {
    status = saveEx(key.Get(), targetFile.c_str(), attributes, REG_NO_COMPRESSION);
    if (status == ERROR_ALREADY_EXISTS && freshTarget) {
      key.Close();
      return status;
    }
    if (status != ERROR_SUCCESS) {
      DeletePartialFile(targetFile);
      status = RegSaveKeyA(key.Get(), targetFile.c_str(), attributes);
      if (status != ERROR_SUCCESS) DeletePartialFile(targetFile);
    }
    key.Close();
  } else {
    status = RegSaveKeyA(key.Get(), targetFile.c_str(), attributes);
    key.Close();
    if (status != ERROR_SUCCESS && !(status == ERROR_ALREADY_EXISTS && freshTarget)) DeletePartialFile(targetFile);
  }
  return status;
}

// Saves into a target that did not exist just before (see SaveOpenKey).
LONG SaveHiveTo(const std::string &keyPath, const std::string &targetFile, const std::string &shownFile,
                HiveFileAccess *access, bool freshTarget);


}  // namespace

// The run's own temporary names: "~", the process id and a counter, in hex. No other process
// makes them, no usable hive name holds a "~", and with at most 13 characters the name is no
// longer than "ConsoleBackup.bat" less its ".bat", so that a folder that fits the set fits them.
// The counter runs through the whole process, so that two runs of one process (the window and a
// test) never meet either.
std::string TemporaryName() {
  static std::atomic<unsigned> counter{0};
  char text[16];
  const char *digits = "0123456789abcdef";
  size_t at = sizeof text;
  text[--at] = '\0';
  for (unsigned n = counter++ % 0x1000;;) {
    text[--at] = digits[n % 16];
    n /= 16;
    if (n == 0) break;
  }
  text[--at] = '.';
  for (DWORD n = GetCurrentProcessId();;) {
    text[--at] = digits[n % 16];
    n /= 16;
    if (n == 0) break;
  }
  text[--at] = '~';
  return text + at;
}

bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

PSECURITY_DESCRIPTOR HiveFileAccess::Descriptor(LONG *error) {
  if (!descriptor_) {
    PSECURITY_DESCRIPTOR built = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kHiveFileAccess, SDDL_REVISION_1,
                                                              &built, nullptr)) {
      *error = static_cast<LONG>(GetLastError());
      return nullptr;
    }
    *descriptor_.Receive() = built;
  }
  return descriptor_.Get();
}

LONG OpenForBackupRestore(HKEY root, const std::string &subKey, HKEY *key) {
  char noClass[] = "";
  DWORD disposition = 0;
  return RegCreateKeyExA(root, subKey.c_str(), 0, noClass, REG_OPTION_BACKUP_RESTORE,
                         KEY_ALL_ACCESS, nullptr, key, &disposition);
}

LONG SaveHive(const std::string &keyPath, const std::string &targetFile,
              HiveFileAccess *access) {
  return SaveHiveAs(keyPath, targetFile, targetFile, access);
}

LONG SaveHiveAs(const std::string &keyPath, const std::string &targetFile,
                const std::string &shownFile, HiveFileAccess *access) {
  return SaveHiveTo(keyPath, targetFile, shownFile, access, false);
}

namespace {
LONG SaveHiveTo(const std::string &keyPath, const std::string &targetFile, const std::string &shownFile,
                HiveFileAccess *access, bool freshTarget) {
  // A rejected key path (it has been reported) reaches no registry call.
  const std::optional<KeyPath> path = ParseKeyPath(keyPath);
  if (!path) return 0;
  EnablePrivilege("SeBackupPrivilege");
  EnablePrivilege("SeTakeOwnershipPrivilege");
  EnablePrivilege("SeDebugPrivilege");
  if (!path->root) return 0;

  // A cut sub-key or path would name another key or file: neither is used.
  if (!FitsBuffer(path->subKey, kNameBuffer) || !FitsBuffer(targetFile, kNameBuffer)) {
    ReportRegistryError(ReportKind::HiveSave, ERROR_FILENAME_EXCED_RANGE, shownFile, "RegSaveKey");
    return ERROR_FILENAME_EXCED_RANGE;
  }

  KeyOwner key;
  LONG status = OpenForBackupRestore(path->root, path->subKey, key.Receive());
  if (status != ERROR_SUCCESS) {
    ReportRegistryError(ReportKind::HiveSave, status, shownFile, "RegCreateKeyEx");
    return -1;
  }

  HiveFileAccess ownAccess;
  HiveFileAccess &use = access ? *access : ownAccess;
  PSECURITY_DESCRIPTOR descriptor = use.Descriptor(&status);
  if (!descriptor) {
    // Without the descriptor the file would be readable by whoever the folder lets in.
    key.Close();
    ReportRegistryError(ReportKind::HiveSave, status, shownFile, "RegSaveKey");
    return status;
  }
  // Wine's RegSaveKey refuses every security descriptor (ERROR_UNKNOWN_REVISION, 1305), and Wine
  // applies no file ACLs of its own: there the hive files are saved without one.
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  status = SaveOpenKey(key, targetFile, RunningOnWine() ? nullptr : &attributes, freshTarget);
  ownAccess.Release();  // a save's own descriptor goes before its report
  if (status != ERROR_SUCCESS) ReportRegistryError(ReportKind::HiveSave, status, shownFile, "RegSaveKey");
  return status;
}
}  // namespace

LONG SaveHiveInPlace(const std::string &keyPath, const std::string &folder, const std::string &name,
                     HiveFileAccess *access) {
  const std::string file = folder + "\\" + name;
  // A folder in the file's place holds no earlier hive and no rename replaces it: the save into
  // it fails and reports that, as ever.
  const DWORD attributes = FitsBuffer(file, MAX_PATH + 1) ? GetFileAttributesA(file.c_str())
                                                          : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ForceDelete(file);
    return SaveHive(keyPath, file, access);
  }
  // A name that is there already (a file of anyone's, also one an interrupted run left) is passed
  // over, never removed.
  std::string tempFile;
  for (int attempt = 0; attempt < 16 && tempFile.empty(); attempt++) {
    const std::string candidate = folder + "\\" + TemporaryName();
    if (PathExists(candidate) == 0) tempFile = candidate;
  }
  if (tempFile.empty()) {
    ReportRegistryError(ReportKind::HiveSave, ERROR_FILE_EXISTS, file, "RegSaveKey");
    return ERROR_FILE_EXISTS;
  }
  LONG status = SaveHiveTo(keyPath, tempFile, file, access, true);
  if (status != ERROR_SUCCESS) {
    if (status != ERROR_ALREADY_EXISTS && PathExists(tempFile) == 1) ForceDelete(tempFile);
    return status;
  }
  // A rename replaces no read-only file; the removal of the old file cleared the same attributes.
  if (PathExists(file) == 1) SetAttributes(file, 0);
  if (!MoveFileExA(tempFile.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    status = static_cast<LONG>(GetLastError());
    ForceDelete(tempFile);
    ReportRegistryError(ReportKind::HiveSave, status, file, "RegSaveKey");
  }
  return status;
}
