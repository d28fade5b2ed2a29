// "dellog.bat" in the Startup folder: at the next log-on it removes the log files that the staged
// hive copies left in the configuration folder, then deletes itself.
#include "workflows/cleanup_script.h"

#include <cstring>
#include <vector>

#include "platform.h"
#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/text_ops.h"

namespace {
// The longest folder the script may name: ExpandEnvironmentStringsA's own limit.
const DWORD kExpandedLimit = 32767;

// The text with every %variable% of the environment put in; "" when it cannot be expanded.
std::string ExpandVariables(const std::string &text) {
  std::vector<char> expanded(MAX_PATH, '\0');
  DWORD needed = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), MAX_PATH);
  if (needed > MAX_PATH && needed <= kExpandedLimit) {
    expanded.assign(needed, '\0');
    needed = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), needed);
  }
  if (needed == 0 || needed > expanded.size()) return "";
  return std::string(expanded.data(), strnlen(expanded.data(), expanded.size()));
}
}  // namespace

// The value may name its folder through variables (%USERPROFILE%, %APPDATA%, ...): all of them are
// put in, wherever they stand. Without a value, the German default below the profile folder; without
// a profile folder, none (""): the root of the current drive is no one's Startup folder.
std::string FindStartupFolder() {
  char buffer[256] = {0};
  KeyOwner key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, key.Receive()) == ERROR_SUCCESS) {
    DWORD size = sizeof buffer;
    DWORD type = REG_SZ;
    // A failed read (a value longer than the buffer) may leave part of it behind: use none of it.
    if (RegQueryValueExA(key.Get(), "Startup", nullptr, &type, reinterpret_cast<BYTE *>(buffer),
                         &size) != ERROR_SUCCESS) {
      memset(buffer, 0, sizeof buffer);
    }
    key.Close();
  }
  const std::string text(buffer, strnlen(buffer, sizeof buffer));
  if (!text.empty()) return ExpandVariables(text);
  const std::string profile = EnvironmentValue("userprofile");
  return profile.empty() ? "" : profile + "\\Startmenü\\Programme\\Autostart";
}

namespace CleanupScript {

int Open(TextFile &script, const std::string &startupFolder) {
  return TextFileOpen(script, startupFolder + "\\dellog.bat");
}

int AddHive(TextFile &script, const std::string &configFolder, const std::string &hive) {
  const std::string log = "\"" + configFolder + "\\" + hive + ".tmp.log\"";
  const int attrib = TextFileWriteLine(script, "attrib -r -s -h " + log);
  const int del = TextFileWriteLine(script, "del " + log);
  return attrib != 0 ? attrib : del;
}

// The console runs the batch file in its OEM code page: lower-casing folds the code page 437
// capitals, and "ü" (0xFC in Windows-1252) becomes 0x81, its OEM byte.
int Finish(TextFile &script, const std::string &startupFolder) {
  const std::string converted = ReplaceText("\xFC", "\x81", LowerCase(startupFolder));
  int result = TextFileWriteLine(script, "cd /d \"" + converted + "\"");
  const int del = TextFileWriteLine(script, "del /f dellog.bat");
  const int close = TextFileClose(script);
  if (result == 0) result = del;
  return result != 0 ? result : close;
}

}  // namespace CleanupScript
