// Fuzzes the command-line splitter with arbitrary argument lists. Input: the arguments separated
// by NUL bytes, each byte a Windows-1252 character (0x80-0x9F and 0xA0-0xFF as the code page has
// them). Each argument is quoted as a program that starts Brovink would quote it (blanks and tabs
// in quotes, quotes escaped with a backslash, backslashes before a quote doubled), the arguments are
// joined with a blank behind a program name, and SplitCommandLine must give back exactly the list.
// The parse of the same line then gives the window exactly when no argument is a mode switch.
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

void AppendQuoted(const std::string &argument, std::vector<WCHAR> *line) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
    for (char c : argument) line->push_back(Wide(static_cast<unsigned char>(c)));
    return;
  }
  line->push_back('"');
  size_t slashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      slashes++;
      continue;
    }
    line->insert(line->end(), c == '"' ? 2 * slashes + 1 : slashes, '\\');
    slashes = 0;
    line->push_back(Wide(static_cast<unsigned char>(c)));
  }
  line->insert(line->end(), 2 * slashes, '\\');
  line->push_back('"');
}

bool IsModeSwitch(const std::string &argument) {
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return false;
  const std::string name = LowerCase(argument.substr(1));
  return name == "backup" || name == "verify" || name == "?";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FreshMachine();
  std::vector<std::string> arguments;
  std::string current;
  for (size_t i = 0; i < size; i++) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 0) arguments.push_back(current);

  const std::u16string program = u"\"C:\\Program Files\\Brovink\\Brovink.exe\"";
  std::vector<WCHAR> line(program.begin(), program.end());
  for (const std::string &argument : arguments) {
    line.push_back(' ');
    AppendQuoted(argument, &line);
  }
  line.push_back(0);

  const std::vector<Argument> split = SplitCommandLine(line.data());
  FUZZ_CHECK(split.size() == arguments.size());
  bool anyMode = false;
  for (size_t i = 0; i < split.size() && i < arguments.size(); i++) {
    FUZZ_CHECK(split[i].exact);
    FUZZ_CHECK(split[i].text == arguments[i]);
    anyMode = anyMode || IsModeSwitch(arguments[i]);
  }
  const Command command = ParseCommandLine(line.data());
  FUZZ_CHECK((command.mode == CommandMode::Window) == !anyMode);
  FUZZ_CHECK((command.mode == CommandMode::Invalid) == !command.error.empty());
  if (command.mode == CommandMode::Backup || command.mode == CommandMode::Verify) FUZZ_CHECK(!command.folder.empty());
  return 0;
}
