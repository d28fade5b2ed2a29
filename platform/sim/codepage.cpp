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

// The OEM code pages a console shows, 437 (United States) and 850 (Western Europe): Unicode of the
// bytes 0x80 to 0xFF; the bytes below are ASCII. The simulated machine is a German one: OEM 850.
const WCHAR kOem437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
const WCHAR kOem850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};
const UINT kOemCodePage = 850;

const WCHAR *OemHighTable(UINT codePage) {
  return codePage == 437 ? kOem437High : codePage == 850 ? kOem850High : nullptr;
}

// The exact byte of a character in an OEM code page, or -1.
int ExactOemByte(const WCHAR *high, WCHAR ch) {
  if (ch < 0x80) return ch;
  for (int i = 0; i < 128; i++) {
    if (high[i] == ch) return 0x80 + i;
  }
  return -1;
}

// UTF-8 of count units; a lone surrogate becomes U+FFFD, as Windows writes it without
// WC_ERR_INVALID_CHARS.
std::string ToUtf8(const WCHAR *text, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; i++) {
    unsigned long cp = text[i];
    if (IsSurrogatePair(text, i, count)) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      i++;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | cp >> 18));
      out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
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

UINT OemCodePage() { return kOemCodePage; }

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
// The ANSI code page (CP_ACP or 1252), the OEM code pages 437 and 850 and UTF-8 (CP_UTF8). Flags:
// 0 or WC_NO_BEST_FIT_CHARS, for UTF-8 only 0, which also takes neither a default character nor
// its flag (ERROR_INVALID_PARAMETER). A count of -1 includes the terminating NUL; an output size of
// 0 asks for the size needed. The OEM code pages' best-fit tables are not modelled.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  SIM_FAULT_LAST_ERROR("WideCharToMultiByte", 0);
  const WCHAR *oem = OemHighTable(CodePage);
  if (CodePage != CP_ACP && CodePage != 1252 && CodePage != CP_UTF8 && !oem) {
    sim_internal::WindowError("WideCharToMultiByte with code page " + std::to_string(CodePage) + " is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (CodePage == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) || (CodePage == CP_UTF8 && dwFlags)) {
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
  const char defaultChar = lpDefaultChar ? lpDefaultChar[0] : '?';
  std::string out;
  if (CodePage == CP_UTF8) {
    out = ToUtf8(lpWideCharStr, count);
  } else if (oem) {
    for (size_t i = 0; i < count; i++) {
      int byte = ExactOemByte(oem, lpWideCharStr[i]);
      if (byte < 0 && !(dwFlags & WC_NO_BEST_FIT_CHARS)) {
        sim_internal::WindowError("the best-fit table of code page " + std::to_string(CodePage) + " is not modelled");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      if (byte < 0) {
        byte = static_cast<unsigned char>(defaultChar);
        usedDefault = true;
        if (IsSurrogatePair(lpWideCharStr, i, count)) i++;
      }
      out.push_back(static_cast<char>(byte));
    }
  } else {
    out = ToAnsi(lpWideCharStr, count, (dwFlags & WC_NO_BEST_FIT_CHARS) != 0, defaultChar, &usedDefault);
  }
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

UINT WINAPI GetOEMCP(void) {
  SIM_COUNT_CALL("GetOEMCP");
  return kOemCodePage;
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
