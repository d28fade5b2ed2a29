// Lines of text for the console the program was started from.
#include "services/console_out.h"

#include <vector>

namespace {

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// The code page in which a console would read what goes to a file or pipe. A GUI program attaches
// to its parent's console only to ask and lets it go again, so that the console's Ctrl+C does not
// end a run that its parent is not waiting for.
UINT RedirectedCodePage() {
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0 && AttachConsole(ATTACH_PARENT_PROCESS)) {
    codePage = GetConsoleOutputCP();
    FreeConsole();
  }
  return codePage != 0 ? codePage : GetOEMCP();
}

std::vector<WCHAR> Wide(const std::string &text) {
  const int bytes = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  if (size <= 0) return {};
  std::vector<WCHAR> wide(static_cast<size_t>(size));
  size = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide.data(), size);
  wide.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return wide;
}

// The text in the code page; UTF-8 takes neither flags nor a default character, the others write
// '?' for what they lack (a best-fit letter would pass for the real one). Empty when the code page
// cannot be used.
std::string InCodePage(const std::vector<WCHAR> &wide, UINT codePage) {
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char *defaultChar = utf8 ? nullptr : "?";
  const int units = static_cast<int>(wide.size());
  int size = WideCharToMultiByte(codePage, flags, wide.data(), units, nullptr, 0, defaultChar, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  size = WideCharToMultiByte(codePage, flags, wide.data(), units, bytes.data(), size, defaultChar, nullptr);
  bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return bytes;
}

}  // namespace

ConsoleOut OpenConsoleOut() {
  ConsoleOut out;
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!Usable(handle) && AttachConsole(ATTACH_PARENT_PROCESS)) handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!Usable(handle)) return out;
  DWORD mode = 0;
  out.handle = handle;
  out.console = GetConsoleMode(handle, &mode) != FALSE;
  if (!out.console) out.codePage = RedirectedCodePage();
  return out;
}

void WriteConsoleLine(const ConsoleOut &out, const std::string &text) {
  if (!out.handle) return;
  const std::string line = text + "\r\n";
  const std::vector<WCHAR> wide = Wide(line);
  if (wide.empty()) return;
  DWORD written = 0;
  if (out.console) {
    WriteConsoleW(out.handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // A code page that cannot be used leaves the Windows-1252 bytes: better misread letters than no
  // line at all.
  std::string bytes = InCodePage(wide, out.codePage);
  if (bytes.empty()) bytes = line;
  WriteFile(out.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
