// Simulated code-page conversion of the ANSI code page (Windows-1252), and the spelling of names
// that it cannot hold: the file system, the current directory and the folder dialog keep such a
// name with a mark that no ANSI call can pass, and hand it to the ANSI calls as Windows does, with
// the code page's best-fit characters.
#include <cstdio>
#include <cstring>

#include "internal.h"
#include "simctl.h"
#include "window_internal.h"

namespace {

// Unicode of the bytes 0x80 to 0x9F; the five bytes the code page leaves free stand for the
// control characters of the same number, as MultiByteToWideChar gives them.
const WCHAR kHighBytes[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Windows' best-fit table for Windows-1252 on Latin Extended-A (U+0100 to U+017F): mostly the
// letter without its mark; '-' where the table has no entry. The seven characters of the range that
// the code page holds exactly are found before this table is asked.
const char kLatinExtendedA[] =
    "AaAaAaCcCcCcCcDd"
    "\xD0" "dEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIi"
    "Ii--JjKk-LlLlLlL"
    "lLlNnNnNn---OoOo"
    "Oo\x8C\x9CRrRrRrSsSsSs"
    "\x8A\x9ATtTtTtUuUuUuUu"
    "UuUuWwYy\x9FZzZz\x8E\x9E-";

// The mark of a character that the ANSI code page lacks: NUL and four upper-case hex digits of its
// UTF-16 unit. A name from an ANSI call ends at its first NUL, so no ANSI call can name it.
const size_t kMarkLength = 5;

WCHAR WideOfByte(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kHighBytes[byte - 0x80] : byte; }

// The exact byte of a character, or -1.
int ExactByte(WCHAR ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch < 0x100)) return ch;
  for (int i = 0; i < 32; i++) {
    if (kHighBytes[i] == ch) return 0x80 + i;
  }
  return -1;
}

// The best-fit byte of a character without an exact one, or -1.
int BestFitByte(WCHAR ch) {
  if (ch < 0x100 || ch > 0x17F) return -1;
  char fit = kLatinExtendedA[ch - 0x100];
  return fit == '-' ? -1 : static_cast<unsigned char>(fit);
}

bool IsSurrogatePair(const WCHAR *text, size_t at, size_t count) {
  return at + 1 < count && text[at] >= 0xD800 && text[at] < 0xDC00 && text[at + 1] >= 0xDC00 &&
         text[at + 1] < 0xE000;
}

// Converts count units to ANSI: exact bytes, then (unless noBestFit) best-fit ones, else the
// default character; a surrogate pair becomes one default character.
std::string ToAnsi(const WCHAR *text, size_t count, bool noBestFit, char defaultChar, bool *usedDefault) {
  std::string out;
  *usedDefault = false;
  for (size_t i = 0; i < count; i++) {
    int byte = ExactByte(text[i]);
    if (byte < 0 && !noBestFit) byte = BestFitByte(text[i]);
    if (byte < 0) {
      byte = static_cast<unsigned char>(defaultChar);
      *usedDefault = true;
      if (IsSurrogatePair(text, i, count)) i++;
    }
    out.push_back(static_cast<char>(byte));
  }
  return out;
}

}  // namespace

namespace sim_internal {

char FoldNameChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 'a' + 'A');
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);  // à..þ, not ÷
  if (u == 0x9A || u == 0x9C || u == 0x9E) return static_cast<char>(u - 0x10);  // š œ ž
  if (u == 0xFF) return static_cast<char>(0x9F);                                // ÿ
  return c;
}

std::u16string WideFromAnsi(const std::string &text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); i++) out[i] = WideOfByte(static_cast<unsigned char>(text[i]));
  return out;
}

std::string AnsiFromWide(const std::u16string &text) {
  std::string out(text.size(), '?');
  for (size_t i = 0; i < text.size(); i++) {
    const int byte = ExactByte(text[i]);
    if (byte >= 0) out[i] = static_cast<char>(byte);
  }
  return out;
}

std::u16string WideFromName(const std::string &name) {
  std::u16string out;
  for (size_t i = 0; i < name.size(); i++) {
    if (name[i] == '\0' && i + kMarkLength <= name.size()) {
      out.push_back(static_cast<char16_t>(strtoul(name.substr(i + 1, 4).c_str(), nullptr, 16)));
      i += kMarkLength - 1;
    } else {
      out.push_back(WideOfByte(static_cast<unsigned char>(name[i])));
    }
  }
  return out;
}

std::string AnsiFromName(const std::string &name) {
  std::u16string wide = WideFromName(name);
  std::vector<WCHAR> units(wide.begin(), wide.end());
  bool usedDefault;
  return ToAnsi(units.data(), units.size(), false, '?', &usedDefault);
}

}  // namespace sim_internal

namespace sim {

std::string FsName(const std::u16string &text) {
  std::string out;
  for (char16_t ch : text) {
    int byte = ExactByte(ch);
    if (byte >= 0) {
      out.push_back(static_cast<char>(byte));
      continue;
    }
    char digits[8];
    snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(ch));
    out.push_back('\0');
    out.append(digits, 4);
  }
  return out;
}

}  // namespace sim

// ---- kernel32 ----------------------------------------------------------------------------------
// The ANSI code page only (CP_ACP or 1252) and the flags 0 and WC_NO_BEST_FIT_CHARS; a count of -1
// includes the terminating NUL; an output size of 0 asks for the size needed.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  SIM_FAULT_LAST_ERROR("WideCharToMultiByte", 0);
  if (CodePage != CP_ACP && CodePage != 1252) {
    sim_internal::WindowError("WideCharToMultiByte with code page " + std::to_string(CodePage) + " is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t count = 0;
  if (cchWideChar < 0) {
    while (lpWideCharStr[count]) count++;
    count++;  // the NUL
  } else {
    count = static_cast<size_t>(cchWideChar);
  }
  bool usedDefault = false;
  std::string out = ToAnsi(lpWideCharStr, count, (dwFlags & WC_NO_BEST_FIT_CHARS) != 0,
                           lpDefaultChar ? lpDefaultChar[0] : '?', &usedDefault);
  if (cbMultiByte > 0) {
    if (out.size() > static_cast<size_t>(cbMultiByte)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    memcpy(lpMultiByteStr, out.data(), out.size());
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  return static_cast<int>(out.size());
}

// The ANSI code page only (CP_ACP or 1252) and the flags 0; every byte has its character, so no
// input is invalid. A count of -1 includes the terminating NUL; an output size of 0 asks for the
// size needed.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  SIM_FAULT_LAST_ERROR("MultiByteToWideChar", 0);
  if (CodePage != CP_ACP && CodePage != 1252) {
    sim_internal::WindowError("MultiByteToWideChar with code page " + std::to_string(CodePage) + " is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t count = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  if (cchWideChar > 0) {
    if (count > static_cast<size_t>(cchWideChar)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    for (size_t i = 0; i < count; i++) lpWideCharStr[i] = WideOfByte(static_cast<unsigned char>(lpMultiByteStr[i]));
  }
  return static_cast<int>(count);
}
