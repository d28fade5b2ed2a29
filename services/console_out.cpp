// Lines of text for the console the program was started from.
#include "services/console_out.h"

#include <vector>

namespace {

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

ConsoleOut OpenConsoleOut() {
  ConsoleOut out;
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!Usable(handle) && AttachConsole(ATTACH_PARENT_PROCESS)) handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!Usable(handle)) return out;
  DWORD mode = 0;
  out.handle = handle;
  out.console = GetConsoleMode(handle, &mode) != FALSE;
  return out;
}

void WriteConsoleLine(const ConsoleOut &out, const std::string &text) {
  if (!out.handle) return;
  const std::string line = text + "\r\n";
  const int bytes = static_cast<int>(line.size());
  if (out.console) {
    int size = MultiByteToWideChar(CP_ACP, 0, line.data(), bytes, nullptr, 0);
    if (size <= 0) return;
    std::vector<WCHAR> wide(static_cast<size_t>(size));
    size = MultiByteToWideChar(CP_ACP, 0, line.data(), bytes, wide.data(), size);
    DWORD written = 0;
    if (size > 0) WriteConsoleW(out.handle, wide.data(), static_cast<DWORD>(size), &written, nullptr);
    return;
  }
  DWORD written = 0;
  WriteFile(out.handle, line.data(), static_cast<DWORD>(bytes), &written, nullptr);
}
