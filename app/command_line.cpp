// The command line of the unattended mode: Windows' argument rules, then the switches.
#include "app/command_line.h"

#include "services/ansi_path.h"

namespace {

bool IsBlank(WCHAR c) { return c == ' ' || c == '\t'; }

// Index past the program name (up to its closing quote, or to the first blank) and the blanks
// after it.
size_t SkipProgramName(const WideText &line) {
  size_t i = 0;
  if (i < line.size() && line[i] == '"') {
    i++;
    while (i < line.size() && line[i] != '"') i++;
    if (i < line.size()) i++;
  } else {
    while (i < line.size() && !IsBlank(line[i])) i++;
  }
  while (i < line.size() && IsBlank(line[i])) i++;
  return i;
}

// The switch's name in lower case ASCII when text is "/name" or "-name", else "".
std::string SwitchName(const std::string &text) {
  if (text.size() < 2 || (text[0] != '/' && text[0] != '-')) return "";
  std::string name;
  for (size_t i = 1; i < text.size(); i++) {
    char c = text[i];
    name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return name;
}

bool IsModeSwitch(const std::string &name) { return name == "backup" || name == "verify" || name == "?"; }

// 1 to 9999 in plain decimal digits, else 0.
int KeepCount(const std::string &text) {
  if (text.empty() || text.size() > 4) return 0;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

Command Invalid(const std::string &error) {
  Command command;
  command.mode = CommandMode::Invalid;
  command.error = error;
  return command;
}

}  // namespace

std::vector<WideText> SplitCommandLine(const WCHAR *commandLine) {
  std::vector<WideText> arguments;
  if (!commandLine) return arguments;
  const WideText line(commandLine);
  size_t i = SkipProgramName(line);
  while (i < line.size()) {
    WideText argument;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); i++) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < line.size() && line[i] == '\\') {
          slashes++;
          i++;
        }
        if (i < line.size() && line[i] == '"') {
          argument.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            argument += '"';
            continue;
          }
        } else {
          argument.append(slashes, '\\');
        }
        i--;  // the loop's step takes the character after the backslashes again
        continue;
      }
      if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          argument += '"';  // "" inside quotes: one literal quote, still quoted
          i++;
        } else {
          quoted = !quoted;
        }
        continue;
      }
      argument += line[i];
    }
    arguments.push_back(argument);
    while (i < line.size() && IsBlank(line[i])) i++;
  }
  return arguments;
}

Command ParseCommandLine(const WCHAR *commandLine) {
  std::vector<std::string> arguments;
  std::vector<bool> exact;
  for (const WideText &wide : SplitCommandLine(commandLine)) {
    std::string text;
    exact.push_back(ExactAnsiText(wide.c_str(), &text));
    arguments.push_back(text);
  }

  // Only a mode switch leaves the window: other arguments are ignored as they always were.
  bool anyMode = false;
  for (const std::string &argument : arguments) anyMode = anyMode || IsModeSwitch(SwitchName(argument));
  if (!anyMode) return Command{};
  for (const std::string &argument : arguments) {
    if (SwitchName(argument) == "?") {
      Command help;
      help.mode = CommandMode::Help;
      return help;
    }
  }

  Command command;
  for (size_t i = 0; i < arguments.size(); i++) {
    const std::string name = SwitchName(arguments[i]);
    if (name == "backup" || name == "verify") {
      if (command.mode != CommandMode::Window) return Invalid("Nur eines von /backup und /verify ist möglich.");
      command.mode = name == "backup" ? CommandMode::Backup : CommandMode::Verify;
      if (i + 1 >= arguments.size() || arguments[i + 1].empty() || !SwitchName(arguments[i + 1]).empty()) {
        return Invalid("Nach /" + name + " fehlt der Ordner.");
      }
      i++;
      if (!exact[i]) {
        return Invalid("Der Ordner " + arguments[i] +
                       " lässt sich in der ANSI-Codepage nicht genau schreiben und wird nicht verwendet.");
      }
      command.folder = arguments[i];
    } else if (name == "date") {
      if (command.dateFolder) return Invalid("/date ist doppelt angegeben.");
      command.dateFolder = true;
    } else if (name == "keep") {
      if (command.keep != 0) return Invalid("/keep ist doppelt angegeben.");
      command.keep = i + 1 < arguments.size() ? KeepCount(arguments[i + 1]) : 0;
      if (command.keep == 0) return Invalid("Nach /keep fehlt eine Anzahl von 1 bis 9999.");
      i++;
    } else {
      return Invalid("Unbekanntes Argument: " + arguments[i]);
    }
  }
  if (command.mode == CommandMode::Verify && (command.dateFolder || command.keep != 0)) {
    return Invalid("/date und /keep gehören zu /backup.");
  }
  if (command.keep != 0 && !command.dateFolder) return Invalid("/keep gilt nur zusammen mit /date.");
  return command;
}
