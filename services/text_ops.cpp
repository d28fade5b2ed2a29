// Shared text operations: buffer fit, environment lookup, date text and the small text helpers.
#include "services/text_ops.h"

#include <cstring>
#include <vector>

namespace {

// The environment block as it was read at start.
std::vector<std::string> g_environment;
bool g_environmentRead = false;

// The name buffer of the environment lookup, terminator included.
const size_t kEnvironmentNameBuffer = 257;

}  // namespace

// A text with a NUL inside would also reach the system cut, at the NUL.
bool FitsBuffer(const std::string &text, size_t bytes) {
  return text.size() < bytes && text.find('\0') == std::string::npos;
}

void ReadEnvironmentBlock() {
  g_environment.clear();
  g_environmentRead = true;
  LPSTR block = GetEnvironmentStringsA();
  if (!block) return;
  for (const char *entry = block; *entry; entry += strlen(entry) + 1) g_environment.push_back(entry);
  FreeEnvironmentStringsA(block);
}

// The name matches an entry's name part without regard to case (the names looked up are ASCII); the name part ends at "=",
// a blank or the end of the entry, and the value is what follows that one character.
std::string EnvironmentValue(const std::string &name) {
  if (!g_environmentRead) ReadEnvironmentBlock();
  if (!FitsBuffer(name, kEnvironmentNameBuffer)) return "";
  for (const std::string &entry : g_environment) {
    if (entry.size() < name.size() || !SameNameNoCase(entry.substr(0, name.size()), name)) continue;
    if (entry.size() == name.size()) return "";
    if (entry[name.size()] == '=' || entry[name.size()] == ' ') return entry.substr(name.size() + 1);
  }
  return "";
}

// Decimal digits of a number, with leading zeros up to the given width (no printf: the program's
// one formatted text does not need its engine).
static std::string Digits(unsigned number, size_t width) {
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + number % 10));
    number /= 10;
  } while (number != 0);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string DateText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Digits(now.wMonth, 2) + "-" + Digits(now.wDay, 2) + "-" + Digits(now.wYear, 4);
}

// A-Z, and the capitals Ç Ä Å É Ö Ü Ñ of code page 437; the Windows-1252 capitals stay.
std::string LowerCase(const std::string &text) {
  std::string out = text;
  for (char &c : out) {
    switch (static_cast<unsigned char>(c)) {
      case 0x80: c = '\x87'; break;
      case 0x8E: c = '\x84'; break;
      case 0x8F: c = '\x86'; break;
      case 0x90: c = '\x82'; break;
      case 0x99: c = '\x94'; break;
      case 0x9A: c = '\x81'; break;
      case 0xA5: c = '\xA4'; break;
      default:
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

// NTFS's upper-case table for the Windows-1252 letters: a-z, à-þ but ÷, š œ ž, ÿ; ß and µ have no
// capital in the code page.
char FoldNameCase(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 'a' + 'A');
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
  if (u == 0x9A || u == 0x9C || u == 0x9E) return static_cast<char>(u - 0x10);
  if (u == 0xFF) return static_cast<char>(0x9F);
  return c;
}

bool SameNameNoCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    if (FoldNameCase(a[i]) != FoldNameCase(b[i])) return false;
  }
  return true;
}

int SearchText(int start, const std::string &text, const std::string &find) {
  if (find.empty()) return start;
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return 0;
  const size_t at = text.find(find, static_cast<size_t>(start - 1));
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string ReplaceText(const std::string &find, const std::string &replacement,
                        const std::string &text) {
  if (find.empty()) return text;
  std::string out;
  size_t from = 0;
  for (size_t at = text.find(find); at != std::string::npos; at = text.find(find, from)) {
    out.append(text, from, at - from);
    out += replacement;
    from = at + find.size();
  }
  out.append(text, from, std::string::npos);
  return out;
}

std::string NumberText(long number) {
  return (number >= 0 ? " " : "") + std::to_string(number);
}
