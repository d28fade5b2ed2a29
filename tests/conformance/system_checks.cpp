// Devices, the environment block, the local time and run-time linking.
#include <cstring>
#include <string>

#include "check.h"

namespace conf {
namespace {

void CheckDevices() {
  char current[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof current, current);
  ok(length > 2 && length < sizeof current && current[1] == ':' && strlen(current) == length,
     "GetCurrentDirectoryA: %lu \"%s\"", (unsigned long)length, current);
  char small[2];
  DWORD needed = GetCurrentDirectoryA(sizeof small, small);
  ok(needed == length + 1, "GetCurrentDirectoryA into 2 bytes asks for %lu", (unsigned long)needed);

  const char drive[3] = {current[0], ':', 0};
  char target[MAX_PATH];
  memset(target, 'x', sizeof target);
  DWORD stored = QueryDosDeviceA(drive, target, sizeof target);
  // One device name, its NUL and the list's NUL.
  ok(stored > 2 && strlen(target) == stored - 2 && target[stored - 1] == 0,
     "QueryDosDeviceA %s: %lu \"%s\"", drive, (unsigned long)stored, target);
  ok(strncmp(target, "\\Device\\", 8) == 0 || strncmp(target, "\\??\\", 4) == 0, "device of %s: \"%s\"", drive,
     target);
  SetLastError(0xdeadbeef);
  stored = QueryDosDeviceA(drive, target, 3);
  ok(stored == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "QueryDosDeviceA into 3 characters: %lu, %lu",
     (unsigned long)stored, (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  stored = QueryDosDeviceA("BROVINKNODEVICE", target, sizeof target);
  ok(stored == 0 && GetLastError() == ERROR_FILE_NOT_FOUND, "QueryDosDeviceA of an unknown name: %lu, %lu",
     (unsigned long)stored, (unsigned long)GetLastError());
}

void CheckEnvironment() {
  LPSTR block = GetEnvironmentStringsA();
  ok(block != nullptr, "GetEnvironmentStringsA");
  if (!block) return;
  // "NAME=value" entries, each ended by a NUL, the block by one more; names that begin with "="
  // (the current folders of drives) are entries too.
  int entries = 0;
  bool allHaveEquals = true, systemRoot = false;
  for (const char *entry = block; *entry; entry += strlen(entry) + 1) {
    entries++;
    const char *equals = strchr(entry + 1, '=');
    if (!equals) allHaveEquals = false;
    if (equals && equals - entry == 10) {
      std::string name(entry, 10);
      for (char &c : name) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c);
      if (name == "SYSTEMROOT" && equals[1] && equals[2] == ':') systemRoot = true;
    }
  }
  ok(entries > 0 && allHaveEquals, "%d entries, each with a '='", entries);
  ok(systemRoot, "the block names SystemRoot as a drive path");
  ok(FreeEnvironmentStringsA(block), "FreeEnvironmentStringsA");
}

void CheckTime() {
  SYSTEMTIME time;
  memset(&time, 0xff, sizeof time);
  GetLocalTime(&time);
  ok(time.wYear >= 2000 && time.wYear < 2200 && time.wMonth >= 1 && time.wMonth <= 12 && time.wDay >= 1 &&
         time.wDay <= 31 && time.wHour < 24 && time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000,
     "GetLocalTime %u-%u-%u %u:%u:%u.%u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
     time.wSecond, time.wMilliseconds);
  // The weekday belongs to the date (0 = Sunday).
  int y = time.wYear, m = time.wMonth;
  if (m < 3) {
    m += 12;
    y -= 1;
  }
  int weekday = (time.wDay + 13 * (m + 1) / 5 + y + y / 4 - y / 100 + y / 400 + 6) % 7;
  ok(time.wDayOfWeek == weekday, "weekday %u of %u-%u-%u, expected %d", time.wDayOfWeek, time.wYear, time.wMonth,
     time.wDay, weekday);
}

// SetErrorMode hands back the mode it replaces, so a run can put it back.
void CheckErrorMode() {
  const UINT wanted = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  const UINT before = SetErrorMode(wanted);
  const UINT set = SetErrorMode(before);
  ok((set & wanted) == wanted, "SetErrorMode gives back the mode set before: %x", set);
}

void CheckModules() {
  ok(GetModuleHandleA(nullptr) != nullptr, "GetModuleHandleA(NULL)");
  HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
  ok(advapi != nullptr, "LoadLibraryA advapi32");
  if (advapi) {
    ok(GetProcAddress(advapi, "RegSaveKeyExA") != nullptr, "RegSaveKeyExA is exported");
    SetLastError(0xdeadbeef);
    FARPROC none = GetProcAddress(advapi, "BrovinkNoSuchExport");
    ok(!none && GetLastError() == ERROR_PROC_NOT_FOUND, "unknown export: %lu", (unsigned long)GetLastError());
    ok(FreeLibrary(advapi), "FreeLibrary");
  }
  HMODULE comctl = LoadLibraryA("comctl32.dll");
  ok(comctl && GetProcAddress(comctl, "InitCommonControlsEx"), "comctl32 exports InitCommonControlsEx");
  if (comctl) FreeLibrary(comctl);
  SetLastError(0xdeadbeef);
  HMODULE none = LoadLibraryA("brovink_no_such_module.dll");
  ok(!none && GetLastError() == ERROR_MOD_NOT_FOUND, "LoadLibraryA of a missing module: %lu",
     (unsigned long)GetLastError());
}

}  // namespace

void CheckSystem() {
  CheckDevices();
  CheckEnvironment();
  CheckTime();
  CheckErrorMode();
  CheckModules();
}

}  // namespace conf
