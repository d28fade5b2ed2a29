// The process's command line, its standard output and console, code-page conversion to UTF-16,
// the Application event log, and the removal of folders.
#include <cstdio>
#include <cctype>
#include <cstring>
#include <string>

#include "check.h"

namespace conf {
namespace {

void CheckCommandLine() {
  LPWSTR line = GetCommandLineW();
  ok(line != nullptr && line[0] != 0, "GetCommandLineW gives the program's command line");
  ok(GetCommandLineW() == line, "GetCommandLineW gives the same buffer every time");
}

void CheckStandardOutput() {
  SetLastError(0xdeadbeef);
  HANDLE bad = GetStdHandle(0x12345);
  ok(bad == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_HANDLE, "GetStdHandle(0x12345): %p, %lu", bad,
     (unsigned long)GetLastError());

  // A file is no console: GetConsoleMode and WriteConsoleW refuse it with 6.
  const std::string file = ScratchFolder("conformance_process") + "\\out.txt";
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ok(handle != INVALID_HANDLE_VALUE, "CreateFileA %s", file.c_str());
  DWORD mode = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  BOOL result = GetConsoleMode(handle, &mode);
  ok(!result && GetLastError() == ERROR_INVALID_HANDLE, "GetConsoleMode of a file: %d, %lu", result,
     (unsigned long)GetLastError());
  const WCHAR text[] = {'x', 0};
  DWORD written = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  result = WriteConsoleW(handle, text, 1, &written, nullptr);
  ok(!result && GetLastError() == ERROR_INVALID_HANDLE, "WriteConsoleW to a file: %d, %lu", result,
     (unsigned long)GetLastError());
  CloseHandle(handle);
  DeleteFileA(file.c_str());
}

void CheckMultiByteToWideChar() {
  // Windows-1252: a, ä, the euro sign at 0x80, ü, and the NUL of a count of -1.
  const char text[] = "a\xE4\x80\xFC";
  WCHAR wide[8];
  for (WCHAR &c : wide) c = 0xBEEF;
  int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  ok(size == 5, "MultiByteToWideChar asks for %d characters", size);
  int converted = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8);
  ok(converted == 5 && wide[0] == 'a' && wide[1] == 0xE4 && wide[2] == 0x20AC && wide[3] == 0xFC && wide[4] == 0 &&
         wide[5] == 0xBEEF,
     "MultiByteToWideChar: %d, %04x %04x %04x %04x %04x %04x", converted, wide[0], wide[1], wide[2], wide[3], wide[4],
     wide[5]);
  converted = MultiByteToWideChar(CP_ACP, 0, text, 3, wide, 8);
  ok(converted == 3, "MultiByteToWideChar of 3 bytes: %d", converted);
  SetLastError(0xdeadbeef);
  converted = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 2);
  ok(converted == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "MultiByteToWideChar into 2: %d, %lu", converted,
     (unsigned long)GetLastError());
}

// Bytes of a conversion as hex, for the messages.
std::string Hex(const char *bytes, int count) {
  std::string text;
  char digits[4];
  for (int i = 0; i < count && i < 32; i++) {
    snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(bytes[i]));
    text += digits;
  }
  return text;
}

// WideCharToMultiByte into the OEM code pages (exact characters, '?' for the rest without best
// fit) and UTF-8, which takes neither a default character nor its flag.
void CheckWideCharToMultiByte() {
  const UINT oem = GetOEMCP();
  ok(oem == 437 || oem == 850, "GetOEMCP: %u (a US or Western European machine)", oem);

  // ä Ä Ö Ü ß have the same bytes in 437 and 850; ø is 0x9B in 850 and missing from 437; € is in
  // neither.
  const WCHAR text[] = {0xE4, 0xC4, 0xD6, 0xDC, 0xDF, 0xF8, 0x20AC, 'x', 0};
  struct Row {
    UINT codePage;
    const char *bytes;
  } rows[] = {{437, "\x84\x8E\x99\x9A\xE1??x"}, {850, "\x84\x8E\x99\x9A\xE1\x9B?x"}};
  for (const Row &row : rows) {
    char out[16];
    memset(out, 0x55, sizeof out);
    BOOL used = 0x55;
    SetLastError(0xdeadbeef);
    int size = WideCharToMultiByte(row.codePage, WC_NO_BEST_FIT_CHARS, text, -1, out, sizeof out, "?", &used);
    ok(size == 9 && memcmp(out, row.bytes, 9) == 0 && used == TRUE && out[9] == 0x55,
       "WideCharToMultiByte(%u): %d, %s, used %d", row.codePage, size, Hex(out, size).c_str(), used);
    size = WideCharToMultiByte(row.codePage, WC_NO_BEST_FIT_CHARS, text, 5, nullptr, 0, "?", &used);
    ok(size == 5 && used == FALSE, "WideCharToMultiByte(%u) of the exact five asks for %d, used %d", row.codePage,
       size, used);
  }

  char out[16];
  memset(out, 0x55, sizeof out);
  int size = WideCharToMultiByte(CP_UTF8, 0, text, 2, out, sizeof out, nullptr, nullptr);
  ok(size == 4 && memcmp(out, "\xC3\xA4\xC3\x84", 4) == 0, "WideCharToMultiByte(CP_UTF8) of ä Ä: %d, %s", size,
     Hex(out, size).c_str());
  const WCHAR euro[] = {0x20AC, 0xD83D, 0xDE00};  // a pair is one character of four bytes
  size = WideCharToMultiByte(CP_UTF8, 0, euro, 3, out, sizeof out, nullptr, nullptr);
  ok(size == 7 && memcmp(out, "\xE2\x82\xAC\xF0\x9F\x98\x80", 7) == 0,
     "WideCharToMultiByte(CP_UTF8) of the euro and a pair: %d, %s", size, Hex(out, size).c_str());
  if (!skip_on_wine(Utf8TakesDefaultChar)) {
    BOOL used = FALSE;
    SetLastError(0xdeadbeef);
    size = WideCharToMultiByte(CP_UTF8, 0, text, 2, out, sizeof out, nullptr, &used);
    ok(size == 0 && GetLastError() == ERROR_INVALID_PARAMETER, "WideCharToMultiByte(CP_UTF8) with its flag: %d, %lu",
       size, (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    size = WideCharToMultiByte(CP_UTF8, 0, text, 2, out, sizeof out, "?", nullptr);
    ok(size == 0 && GetLastError() == ERROR_INVALID_PARAMETER,
       "WideCharToMultiByte(CP_UTF8) with a default character: %d, %lu", size, (unsigned long)GetLastError());
  }
  // As the undo script of the offline restore asks: the machine's OEM code page, no default
  // character given (the code page's own, '?'), whether it was used. "Jörg" is exact; "Šimon" and
  // the euro sign are in neither code page.
  struct OemRow {
    WCHAR text[6];
    const char *bytes;
    BOOL used;
  } oemRows[] = {{{'J', 0xF6, 'r', 'g', 0}, "J\x94rg", FALSE}, {{0x160, 'i', 'm', 'o', 'n', 0}, "?imon", TRUE},
                 {{0x20AC, 0}, "?", TRUE}};
  for (const OemRow &row : oemRows) {
    memset(out, 0x55, sizeof out);
    BOOL used = 0x55;
    SetLastError(0xdeadbeef);
    const int length = static_cast<int>(strlen(row.bytes));
    size = WideCharToMultiByte(oem, WC_NO_BEST_FIT_CHARS, row.text, length, out, sizeof out, nullptr, &used);
    ok(size == length && memcmp(out, row.bytes, length) == 0 && used == row.used,
       "WideCharToMultiByte(OEM %u) without a default character: %d, %s, used %d", oem, size, Hex(out, size).c_str(),
       used);
  }
  SetLastError(0xdeadbeef);
  size = WideCharToMultiByte(850, WC_NO_BEST_FIT_CHARS, text, -1, out, 4, "?", nullptr);
  ok(size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "WideCharToMultiByte(850) into 4 bytes: %d, %lu", size,
     (unsigned long)GetLastError());
}

// A process without a console gets 0 for its code page; with one, a code page that exists.
void CheckConsoleCodePage() {
  const UINT cp = GetConsoleOutputCP();
  ok(cp == 0 || cp == GetOEMCP() || cp == CP_UTF8 || cp == 1252, "GetConsoleOutputCP: %u", cp);
}

// The program's own file, whole, and cut with a NUL to a buffer too small (Vista and later).
void CheckModuleFileName() {
  WCHAR path[MAX_PATH];
  for (WCHAR &c : path) c = 0xBEEF;
  SetLastError(0xdeadbeef);
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  size_t units = 0;
  while (units < MAX_PATH && path[units]) units++;
  ok(length > 4 && length == units && path[1] == ':' && path[2] == '\\', "GetModuleFileNameW: %lu of %zu units",
     (unsigned long)length, units);
  WCHAR small[5];
  for (WCHAR &c : small) c = 0xBEEF;
  SetLastError(0xdeadbeef);
  const DWORD cut = GetModuleFileNameW(nullptr, small, 4);
  ok(cut == 4 && GetLastError() == ERROR_INSUFFICIENT_BUFFER && small[0] == path[0] && small[2] == path[2],
     "GetModuleFileNameW into 4: %lu, %lu", (unsigned long)cut, (unsigned long)GetLastError());
  if (!skip_on_wine(ModuleNameCutWithoutNul)) {
    ok(small[3] == 0 && small[4] == 0xBEEF, "GetModuleFileNameW into 4 ends with a NUL: %04x %04x", small[3], small[4]);
  }
}

void CheckEventLog() {
  HANDLE source = RegisterEventSourceA(nullptr, "Brovink");
  ok(source != nullptr, "RegisterEventSourceA(NULL, \"Brovink\"): %lu", (unsigned long)GetLastError());
  if (!source) return;
  LPCSTR strings[1] = {"Brovink-Konformitätstest: Sicherung fertig"};
  ok(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr),
     "ReportEventA, information: %lu", (unsigned long)GetLastError());
  ok(ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 2, nullptr, 1, 0, strings, nullptr),
     "ReportEventA, warning: %lu", (unsigned long)GetLastError());
  ok(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr), "ReportEventA, error: %lu",
     (unsigned long)GetLastError());
  ok(DeregisterEventSource(source), "DeregisterEventSource: %lu", (unsigned long)GetLastError());
}

void CheckRemoveDirectory() {
  const std::string root = ScratchFolder("conformance_rmdir");
  const std::string folder = root + "\\set", file = folder + "\\SAM";
  ok(CreateDirectoryA(folder.c_str(), nullptr), "CreateDirectoryA %s", folder.c_str());
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(handle);

  SetLastError(0xdeadbeef);
  BOOL result = RemoveDirectoryA(folder.c_str());
  ok(!result && GetLastError() == ERROR_DIR_NOT_EMPTY, "RemoveDirectoryA of a folder with a file: %d, %lu", result,
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  result = RemoveDirectoryA(file.c_str());
  ok(!result && GetLastError() == ERROR_DIRECTORY, "RemoveDirectoryA of a file: %d, %lu", result,
     (unsigned long)GetLastError());
  ok(DeleteFileA(file.c_str()), "DeleteFileA %s", file.c_str());
  ok(RemoveDirectoryA(folder.c_str()), "RemoveDirectoryA of the emptied folder: %lu", (unsigned long)GetLastError());
  ok(GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES, "the folder is gone");
  SetLastError(0xdeadbeef);
  result = RemoveDirectoryA(folder.c_str());
  ok(!result && GetLastError() == ERROR_FILE_NOT_FOUND, "RemoveDirectoryA of a missing folder: %d, %lu", result,
     (unsigned long)GetLastError());
  SetLastError(0xdeadbeef);
  result = RemoveDirectoryA((folder + "\\deeper").c_str());
  ok(!result && GetLastError() == ERROR_PATH_NOT_FOUND, "RemoveDirectoryA below a missing folder: %d, %lu", result,
     (unsigned long)GetLastError());
}

// The value of a variable as the environment block holds it, its name compared without case.
std::string BlockValue(const char *name) {
  std::string value;
  LPSTR block = GetEnvironmentStringsA();
  for (const char *entry = block; entry && *entry; entry += strlen(entry) + 1) {
    const char *equals = strchr(entry + 1, '=');
    if (!equals || static_cast<size_t>(equals - entry) != strlen(name)) continue;
    bool same = true;
    for (size_t i = 0; name[i] && same; i++) same = tolower(static_cast<unsigned char>(entry[i])) == tolower(name[i]);
    if (same) value = equals + 1;
  }
  if (block) FreeEnvironmentStringsA(block);
  return value;
}

void CheckExpandEnvironmentStrings() {
  const std::string root = BlockValue("SystemRoot");
  ok(!root.empty(), "SystemRoot is set");
  char out[MAX_PATH];
  memset(out, 'x', sizeof out);
  SetLastError(0xdeadbeef);
  DWORD size = ExpandEnvironmentStringsA("%systemROOT%\\a%", out, sizeof out);
  const std::string expected = root + "\\a%";
  ok(size == expected.size() + 1 && expected == out, "ExpandEnvironmentStringsA of a variable in any case: %lu \"%s\"",
     (unsigned long)size, out);
  memset(out, 'x', sizeof out);
  size = ExpandEnvironmentStringsA("x%BROVINK_NOT_SET_XYZ%\\y", out, sizeof out);
  ok(size == 25 && strcmp(out, "x%BROVINK_NOT_SET_XYZ%\\y") == 0,
     "an unknown variable stays as it stands: %lu \"%s\"", (unsigned long)size, out);
  memset(out, 'x', sizeof out);
  size = ExpandEnvironmentStringsA("%SystemRoot%%SystemRoot%", out, 3);
  ok(size >= 2 * root.size() + 1, "a buffer too small: the size needed, %lu", (unsigned long)size);
  size = ExpandEnvironmentStringsA("%SystemRoot%", nullptr, 0);
  ok(size == root.size() + 1, "no buffer: the size needed, %lu", (unsigned long)size);
}

// The process id names a run's temporary files: never 0, a multiple of 4, the same on every call.
void CheckProcessId() {
  const DWORD id = GetCurrentProcessId();
  ok(id != 0 && id % 4 == 0 && GetCurrentProcessId() == id, "GetCurrentProcessId: %lu", (unsigned long)id);
}

}  // namespace

void CheckProcess() {
  CheckExpandEnvironmentStrings();
  CheckProcessId();
  CheckCommandLine();
  CheckStandardOutput();
  CheckMultiByteToWideChar();
  CheckWideCharToMultiByte();
  CheckConsoleCodePage();
  CheckModuleFileName();
  CheckEventLog();
  CheckRemoveDirectory();
}

}  // namespace conf
