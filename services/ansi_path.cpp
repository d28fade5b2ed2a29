// Folders as exact ANSI text, checked through the wide calls without best-fit characters.
#include "services/ansi_path.h"

#include <vector>

#include "services/text_ops.h"

bool ExactAnsiText(const WCHAR *wide, std::string *text) {
  text->clear();
  BOOL usedDefault = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  std::vector<char> buffer(static_cast<size_t>(size), '\0');
  int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, buffer.data(), size, nullptr,
                                    &usedDefault);
  if (written <= 0) return false;
  text->assign(buffer.data());
  return !usedDefault;
}

bool ExactCurrentFolder(std::string *folder) {
  folder->clear();
  WCHAR buffer[MAX_PATH];
  DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return false;
  bool exact = ExactAnsiText(buffer, folder);
  // The ANSI calls take at most MAX_PATH - 1 bytes; a longer text would be cut to another path.
  if (exact && !FitsBuffer(*folder, MAX_PATH)) {
    folder->clear();
    return false;
  }
  return exact;
}
