// Timing program of scripts/bench, run under the same Wine as Brovink.exe:
//   brovink_savetime backup
//       clicks "Sichern" in the running program's window and prints the milliseconds from the click
//       until the backup run has ended;
//   brovink_savetime save FOLDER KEYPATH=FILE...
//       makes only the save calls of a backup (RegCreateKeyExA, RegSaveKeyExA or RegSaveKeyA,
//       RegCloseKey) for each key path into FOLDER\FILE and prints the milliseconds they took: the
//       operating system's own save, the physical limit of a backup;
//   brovink_savetime hash FILE...
//       reads each file once in 1 MiB blocks and hashes it with CNG's SHA-256 (BCryptCreateHash,
//       BCryptHashData, BCryptFinishHash), printing one "hash  name" line per file: the physical
//       limit of a fingerprint check;
//   brovink_savetime copy FOLDER FILE...
//       copies each file into FOLDER under its own name with CopyFileA, as a restore stages a set's
//       files: copying a set once, the physical limit of staging it;
//   brovink_savetime run PROGRAM ARGUMENT...
//       starts PROGRAM with the arguments, waits for its end and prints the milliseconds from the
//       start to the end and its exit code, so that two programs are timed alike, each with the
//       start of its process.
#include <windows.h>
#include <bcrypt.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#ifndef REG_NO_COMPRESSION
#define REG_NO_COMPRESSION 4
#endif

namespace {

const char kCaption[] = "Brovink: Registry Sicherung";
const int kStatusLine = 1002;
const int kBackupButton = 1005;
// Hive files are written as Brovink writes them: readable by SYSTEM and the Administrators only.
const char kHiveFileAccess[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

typedef LONG(WINAPI *RegSaveKeyExFunction)(HKEY, LPCSTR, LPSECURITY_ATTRIBUTES, DWORD);

int Fail(const std::string &message) {
  std::fprintf(stderr, "brovink_savetime: %s\n", message.c_str());
  return 1;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

std::string ControlText(HWND control) {
  char text[256] = "";
  DWORD_PTR length = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                      10000, &length);
  return text;
}

int TimeBackup() {
  // The dialog exists before its controls are created one by one: wait for the controls too.
  HWND main = nullptr, button = nullptr, status = nullptr;
  for (int tries = 0; !(button && status) && tries < 600; tries++) {
    main = FindWindowA(nullptr, kCaption);
    button = main ? GetDlgItem(main, kBackupButton) : nullptr;
    status = main ? GetDlgItem(main, kStatusLine) : nullptr;
    if (!(button && status)) Sleep(100);
  }
  if (!main) return Fail("no Brovink window within 60 s");
  if (!button || !status) return Fail("the window has no \"Sichern\" button or status line");
  if (!IsWindowEnabled(button)) return Fail("\"Sichern\" is disabled");
  // The window is idle once it answers an empty message.
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) {
    return Fail("the window does not answer");
  }
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  // Sent without waiting, as a click arrives; the empty message sent after it is answered once the
  // command handler, and with it the synchronous backup run, has returned.
  if (!SendNotifyMessageA(button, BM_CLICK, 0, 0)) return Fail("cannot send the click");
  if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result)) {
    return Fail("the backup did not end within 10 minutes");
  }
  QueryPerformanceCounter(&end);
  // A message box answers the empty message from its own loop: then the run has not ended.
  const std::string text = ControlText(status);
  if (text != "Sicherung fertig") return Fail("the status line shows \"" + text + "\", not the end");
  std::printf("%.1f\n", Milliseconds(start, end));
  return 0;
}

bool EnableBackupPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &privileges.Privileges[0].Luid) &&
                 AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return enabled;
}

int TimeSaves(const std::string &folder, int count, char **targets) {
  // The clock starts before the privilege, the descriptor and the function lookup, as the
  // program's starts at the click, before it does the same.
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!EnableBackupPrivilege()) return Fail("cannot enable SeBackupPrivilege");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kHiveFileAccess, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return Fail("cannot make the security descriptor");
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  // As in Brovink: Wine's RegSaveKey refuses any descriptor (1305), so there the files get none.
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  LPSECURITY_ATTRIBUTES access =
      ntdll && GetProcAddress(ntdll, "wine_get_version") ? nullptr : &attributes;
  // As Brovink does: RegSaveKeyExA where the system exports it, else RegSaveKeyA.
  auto saveEx = reinterpret_cast<RegSaveKeyExFunction>(reinterpret_cast<void *>(
      GetProcAddress(GetModuleHandleA("ADVAPI32.DLL"), "RegSaveKeyExA")));

  for (int i = 0; i < count; i++) {
    const std::string target = targets[i];
    const size_t equals = target.find('=');
    const size_t slash = target.find('\\');
    if (equals == std::string::npos || slash == std::string::npos || slash > equals) {
      return Fail("not KEYPATH=FILE: " + target);
    }
    const std::string rootName = target.substr(0, slash);
    const std::string subKey = target.substr(slash + 1, equals - slash - 1);
    const std::string file = folder + "\\" + target.substr(equals + 1);
    HKEY root = rootName == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
                : rootName == "HKEY_USERS"       ? HKEY_USERS
                                                 : nullptr;
    if (!root) return Fail("unknown root " + rootName);
    char noClass[] = "";
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(root, subKey.c_str(), 0, noClass, REG_OPTION_BACKUP_RESTORE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) return Fail("RegCreateKeyExA " + target + ": " + std::to_string(status));
    // A refused RegSaveKeyExA is followed, as in Brovink, by the removal of what it may have left
    // and by RegSaveKeyA.
    status = saveEx ? saveEx(key, file.c_str(), access, REG_NO_COMPRESSION) : ERROR_PROC_NOT_FOUND;
    if (status != ERROR_SUCCESS) {
      if (saveEx) DeleteFileA(file.c_str());
      status = RegSaveKeyA(key, file.c_str(), access);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return Fail("save of " + target + ": " + std::to_string(status));
  }
  QueryPerformanceCounter(&end);
  LocalFree(descriptor);
  std::printf("%.1f\n", Milliseconds(start, end));
  return 0;
}

int HashFiles(int count, char **files) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) return Fail("no SHA-256");
  std::string block(1 << 20, '\0');
  for (int i = 0; i < count; i++) {
    HANDLE file = CreateFileA(files[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(std::string("cannot open ") + files[i]);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) < 0) return Fail("BCryptCreateHash");
    DWORD read = 0;
    while (ReadFile(file, &block[0], static_cast<DWORD>(block.size()), &read, nullptr) && read > 0) {
      BCryptHashData(hash, reinterpret_cast<PUCHAR>(&block[0]), read, 0);
    }
    unsigned char digest[32];
    BCryptFinishHash(hash, digest, sizeof digest, 0);
    BCryptDestroyHash(hash);
    CloseHandle(file);
    for (unsigned char byte : digest) std::printf("%02x", byte);
    std::printf("  %s\n", files[i]);
  }
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return 0;
}

int CopyFiles(const std::string &folder, int count, char **files) {
  for (int i = 0; i < count; i++) {
    std::string name = files[i];
    name = name.substr(name.find_last_of("\\/:") + 1);
    const std::string target = folder + "\\" + name;
    if (!CopyFileA(files[i], target.c_str(), FALSE)) {
      return Fail(std::string("cannot copy ") + files[i] + ": " + std::to_string(GetLastError()));
    }
  }
  return 0;
}

int TimeRun(int count, char **arguments) {
  std::string line;
  for (int i = 0; i < count; i++) line += std::string(i ? " " : "") + "\"" + arguments[i] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return Fail("cannot start " + line);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("%.1f %lu\n", Milliseconds(start, end), static_cast<unsigned long>(code));
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "backup" && argc == 2) return TimeBackup();
  if (mode == "save" && argc >= 4) return TimeSaves(argv[2], argc - 3, argv + 3);
  if (mode == "hash" && argc >= 3) return HashFiles(argc - 2, argv + 2);
  if (mode == "copy" && argc >= 4) return CopyFiles(argv[2], argc - 3, argv + 3);
  if (mode == "run" && argc >= 3) return TimeRun(argc - 2, argv + 2);
  return Fail(
      "usage: brovink_savetime backup | save FOLDER KEYPATH=FILE... | hash FILE... | copy FOLDER FILE... | "
      "run PROGRAM ARGUMENT...");
}
