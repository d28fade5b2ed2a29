// The command line of the unattended mode: Windows' argument rules, then the switches.
#include "app/command_line.h"

#include "services/ansi_path.h"
#include "services/text_ops.h"

namespace {

bool IsBlank(WCHAR c) { return c == ' ' || c == '\t'; }

// Index past the program name (up to its closing quote, or to the first blank) and the blanks
// after it.
const WCHAR *SkipProgramName(const WCHAR *at) {
  if (*at == '"') {
    at++;
    while (*at && *at != '"') at++;
    if (*at) at++;
  } else {
    while (*at && !IsBlank(*at)) at++;
  }
  while (IsBlank(*at)) at++;
  return at;
}

// True when argument is "/" or "-" followed by name, without regard to case. Only an exact
// conversion counts: "/" or "-" and a letter the code page lacks (U+0101, U+4E2D) arrive as "/?"
// or "-?" and are no switch.
bool IsSwitch(const Argument &converted, const char *name) {
  const std::string &argument = converted.text;
  return converted.exact && argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-') &&
         SameNameNoCase(argument.substr(1), name);
}

bool IsAnySwitch(const std::string &argument) { return argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-'); }

bool IsModeSwitch(const Argument &argument) {
  return IsSwitch(argument, "backup") || IsSwitch(argument, "verify") || IsSwitch(argument, "offline") ||
         IsSwitch(argument, "?");
}

bool IsKnownSwitch(const Argument &argument) {
  return IsModeSwitch(argument) || IsSwitch(argument, "date") || IsSwitch(argument, "keep");
}

// An argument that looks like a switch and is none (also a folder written with forward slashes,
// "/daten/x") is named as such instead of being taken for something else.
std::string UnknownArgument(const std::string &argument) {
  return (IsAnySwitch(argument) ? "Unbekannter Schalter: " : "Unbekanntes Argument: ") + argument;
}

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

std::vector<Argument> SplitCommandLine(const WCHAR *commandLine) {
  std::vector<Argument> arguments;
  if (!commandLine) return arguments;
  const WCHAR *at = SkipProgramName(commandLine);
  std::vector<WCHAR> argument;
  while (*at) {
    argument.clear();
    bool quoted = false;
    while (*at && (quoted || !IsBlank(*at))) {
      if (*at == '\\') {
        size_t slashes = 0;
        while (*at == '\\') {
          slashes++;
          at++;
        }
        // Before a quote, each pair is one backslash and an odd one makes the quote literal.
        const bool beforeQuote = *at == '"';
        argument.insert(argument.end(), beforeQuote ? slashes / 2 : slashes, '\\');
        if (beforeQuote && slashes % 2 == 1) {
          argument.push_back('"');
          at++;
        }
      } else if (*at == '"') {
        if (quoted && at[1] == '"') {
          argument.push_back('"');  // "" inside quotes: one literal quote, still quoted
          at++;
        } else {
          quoted = !quoted;
        }
        at++;
      } else {
        argument.push_back(*at++);
      }
    }
    argument.push_back(0);
    Argument converted;
    converted.exact = ExactAnsiText(argument.data(), &converted.text);
    arguments.push_back(converted);
    while (IsBlank(*at)) at++;
  }
  return arguments;
}

Command ParseCommandLine(const WCHAR *commandLine) {
  const std::vector<Argument> arguments = SplitCommandLine(commandLine);

  // Only a mode switch leaves the window: other arguments are ignored as they always were.
  bool anyMode = false;
  for (const Argument &argument : arguments) {
    if (IsSwitch(argument, "?")) {
      Command help;
      help.mode = CommandMode::Help;
      return help;
    }
    anyMode = anyMode || IsModeSwitch(argument);
  }
  if (!anyMode) return Command{};

  Command command;
  bool restore = false, offline = false;  // "/restore <folder> /offline [<Windows folder>]"
  for (size_t i = 0; i < arguments.size(); i++) {
    const Argument &argument = arguments[i];
    const std::string &text = argument.text;
    if (IsSwitch(argument, "backup") || IsSwitch(argument, "verify")) {
      if (command.mode != CommandMode::Window) return Invalid("Nur eines von /backup und /verify ist möglich.");
      command.mode = IsSwitch(argument, "backup") ? CommandMode::Backup : CommandMode::Verify;
      if (i + 1 >= arguments.size() || arguments[i + 1].text.empty() || IsKnownSwitch(arguments[i + 1])) {
        return Invalid("Nach " + text + " fehlt der Ordner.");
      }
      if (IsAnySwitch(arguments[i + 1].text)) return Invalid(UnknownArgument(arguments[i + 1].text));
      i++;
      if (!arguments[i].exact) {
        return Invalid("Der Ordner " + arguments[i].text +
                       " lässt sich in der ANSI-Codepage nicht genau schreiben und wird nicht verwendet.");
      }
      command.folder = arguments[i].text;
    } else if (IsSwitch(argument, "restore") || IsSwitch(argument, "offline")) {
      // Without /offline, /restore leaves the program to its window as it always did.
      const bool isRestore = IsSwitch(argument, "restore");
      if (isRestore ? restore : offline) return Invalid(text + " ist doppelt angegeben.");
      (isRestore ? restore : offline) = true;
      const bool hasValue = i + 1 < arguments.size() && !arguments[i + 1].text.empty() &&
                            !IsAnySwitch(arguments[i + 1].text);
      if (isRestore && !hasValue) return Invalid("Nach /restore fehlt der Ordner.");
      if (hasValue) {
        i++;
        if (!arguments[i].exact) {
          return Invalid("Der Ordner " + arguments[i].text +
                         " lässt sich in der ANSI-Codepage nicht genau schreiben und wird nicht verwendet.");
        }
        (isRestore ? command.folder : command.windowsFolder) = arguments[i].text;
      }
    } else if (IsSwitch(argument, "date")) {
      if (command.dateFolder) return Invalid("/date ist doppelt angegeben.");
      command.dateFolder = true;
    } else if (IsSwitch(argument, "keep")) {
      if (command.keep != 0) return Invalid("/keep ist doppelt angegeben.");
      command.keep = i + 1 < arguments.size() ? KeepCount(arguments[i + 1].text) : 0;
      if (command.keep == 0) return Invalid("Nach /keep fehlt eine Anzahl von 1 bis 9999.");
      i++;
    } else {
      return Invalid(UnknownArgument(text));
    }
  }
  if (offline || restore) {
    if (command.mode != CommandMode::Window) return Invalid("/restore /offline steht allein.");
    if (!restore) return Invalid("Zu /offline gehört /restore <Ordner>.");
    if (!offline) return Invalid("/restore gilt nur zusammen mit /offline.");
    command.mode = CommandMode::OfflineRestore;
  }
  if (command.mode != CommandMode::Backup && (command.dateFolder || command.keep != 0)) {
    return Invalid("/date und /keep gehören zu /backup.");
  }
  if (command.keep != 0 && !command.dateFolder) return Invalid("/keep gilt nur zusammen mit /date.");
  return command;
}
