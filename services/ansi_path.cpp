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

bool ExactOemText(const std::string &ansi, std::string *oem) {
  oem->clear();
  if (ansi.empty()) return true;
  const int bytes = static_cast<int>(ansi.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
  if (units <= 0) return false;
  std::vector<WCHAR> wide(static_cast<size_t>(units));
  if (MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, wide.data(), units) != units) return false;
  const UINT codePage = GetOEMCP();
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  oem->assign(static_cast<size_t>(size), '\0');
  const int written =
      WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), units, oem->data(), size, nullptr, &usedDefault);
  if (written != size || usedDefault) {
    oem->clear();
    return false;
  }
  return true;
}
