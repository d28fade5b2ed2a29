// Fuzzes the command-line splitter with arbitrary argument lists. Input: the arguments separated
// by NUL bytes, each byte a Windows-1252 character (0x80-0x9F and 0xA0-0xFF as the code page has
// them), except that 0x01 and the two bytes after it (low byte first) are one UTF-16 unit, most of
// them outside Windows-1252 ("/\x01\x01\x01" is "/" and U+0101). Each argument is quoted as a
// program that starts Brovink would quote it (blanks and tabs in quotes, quotes escaped with a
// backslash, backslashes before a quote doubled), the arguments are joined with a blank behind a
// program name, and SplitCommandLine must give back exactly the list: the Windows-1252 text with
// '?' for a character the code page lacks, exact only without one. The parse of the same line then
// gives the window exactly when no argument is exactly a mode switch ("/" and U+0101 arrives as
// "/?" and is none).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_support.h"

namespace {

// Unicode of the Windows-1252 bytes 0x80 to 0x9F (0x81, 0x8D, 0x8F, 0x90, 0x9D: control characters).
const WCHAR kHighBytes[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                              0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                              0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

WCHAR Wide(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kHighBytes[byte - 0x80] : byte; }

// The Windows-1252 byte of a unit, or -1 when the code page has none.
int Narrow(WCHAR unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100)) return unit;
  for (int i = 0; i < 32; i++) {
    if (kHighBytes[i] == unit) return 0x80 + i;
  }
  return -1;
}

void AppendQuoted(const std::u16string &argument, std::vector<WCHAR> *line) {
  if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos) {
    line->insert(line->end(), argument.begin(), argument.end());
    return;
  }
  line->push_back('"');
  size_t slashes = 0;
  for (char16_t c : argument) {
    if (c == '\\') {
      slashes++;
      continue;
    }
    line->insert(line->end(), c == '"' ? 2 * slashes + 1 : slashes, '\\');
    slashes = 0;
    line->push_back(c);
  }
  line->insert(line->end(), 2 * slashes, '\\');
  line->push_back('"');
}

struct Expected {
  std::string text;  // '?' for a unit without a byte
  bool exact = true;
};

bool IsModeSwitch(const Expected &expected) {
  const std::string &argument = expected.text;
  if (!expected.exact) return false;
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return false;
  const std::string name = LowerCase(argument.substr(1));
  return name == "backup" || name == "verify" || name == "?";
}

// "/?" or "-?", converted exactly.
bool IsHelp(const Expected &expected) {
  const std::string &text = expected.text;
  return expected.exact && text.size() == 2 && text[1] == '?' && (text[0] == '/' || text[0] == '-');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FreshMachine();
  std::vector<std::u16string> arguments;
  std::u16string current;
  for (size_t i = 0; i < size; i++) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else if (data[i] == 1 && i + 2 < size) {
      WCHAR unit = static_cast<WCHAR>(data[i + 1] | data[i + 2] << 8);
      // No NUL and no lone surrogate: a command line cannot carry the one, WideCharToMultiByte
      // would join a pair of the other into one '?'.
      if (unit == 0 || (unit >= 0xD800 && unit < 0xE000)) unit = 0x4E2D;  // U+4E2D, a CJK letter
      current += static_cast<char16_t>(unit);
      i += 2;
    } else {
      current += static_cast<char16_t>(Wide(data[i]));
    }
  }
  if (size > 0) arguments.push_back(current);
  std::vector<Expected> expected(arguments.size());
  for (size_t i = 0; i < arguments.size(); i++) {
    for (char16_t unit : arguments[i]) {
      const int byte = Narrow(unit);
      expected[i].text += byte < 0 ? '?' : static_cast<char>(byte);
      expected[i].exact = expected[i].exact && byte >= 0;
    }
  }

  const std::u16string program = u"\"C:\\Program Files\\Brovink\\Brovink.exe\"";
  std::vector<WCHAR> line(program.begin(), program.end());
  for (const std::u16string &argument : arguments) {
    line.push_back(' ');
    AppendQuoted(argument, &line);
  }
  line.push_back(0);

  const std::vector<Argument> split = SplitCommandLine(line.data());
  FUZZ_CHECK(split.size() == arguments.size());
  bool anyMode = false;
  for (size_t i = 0; i < split.size() && i < arguments.size(); i++) {
    FUZZ_CHECK(split[i].exact == expected[i].exact);
    FUZZ_CHECK(split[i].text == expected[i].text);
    anyMode = anyMode || IsModeSwitch(expected[i]);
  }
  const Command command = ParseCommandLine(line.data());
  FUZZ_CHECK((command.mode == CommandMode::Window) == !anyMode);
  if (command.mode == CommandMode::Help) FUZZ_CHECK(std::any_of(expected.begin(), expected.end(), IsHelp));
  FUZZ_CHECK((command.mode == CommandMode::Invalid) == !command.error.empty());
  if (command.mode == CommandMode::Backup || command.mode == CommandMode::Verify) FUZZ_CHECK(!command.folder.empty());
  return 0;
}
