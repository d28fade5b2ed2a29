// The process's command line, its standard output and console, code-page conversion to UTF-16,
// the Application event log, and the removal of folders.
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

// The process id names a run's temporary files: never 0, a multiple of 4, the same on every call.
void CheckProcessId() {
  const DWORD id = GetCurrentProcessId();
  ok(id != 0 && id % 4 == 0 && GetCurrentProcessId() == id, "GetCurrentProcessId: %lu", (unsigned long)id);
}

}  // namespace

void CheckProcess() {
  CheckProcessId();
  CheckCommandLine();
  CheckStandardOutput();
  CheckMultiByteToWideChar();
  CheckEventLog();
  CheckRemoveDirectory();
}

}  // namespace conf
