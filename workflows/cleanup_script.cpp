// "dellog.bat" in the Startup folder: at the next log-on it removes the log files that the staged
// hive copies left in the configuration folder, then deletes itself.
#include "workflows/cleanup_script.h"

#include <cstring>

#include "platform.h"
#include "services/text_ops.h"

namespace {
TextFile g_script;  // open for exactly one restore run
}

std::string FindStartupFolder() {
  char buffer[256] = {0};
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD size = sizeof buffer;
    DWORD type = REG_SZ;
    // A failed read (a value longer than the buffer) may leave part of it behind: use none of it.
    if (RegQueryValueExA(key, "Startup", nullptr, &type, reinterpret_cast<BYTE *>(buffer),
                         &size) != ERROR_SUCCESS) {
      memset(buffer, 0, sizeof buffer);
    }
    RegCloseKey(key);
  }
  const std::string text(buffer, strnlen(buffer, sizeof buffer));
  if (text.empty()) return EnvironmentValue("userprofile") + "\\Startmenü\\Programme\\Autostart";
  // The reference is replaced where it stands (lower-casing keeps every byte's position).
  const int position = SearchText(1, LowerCase(text), "%userprofile%");
  if (position != 0) {
    const size_t at = static_cast<size_t>(position) - 1;
    return text.substr(0, at) + EnvironmentValue("userprofile") + text.substr(at + 13);
  }
  return text;
}

namespace CleanupScript {

void Open(const std::string &startupFolder) {
  TextFileOpen(g_script, startupFolder + "\\dellog.bat");
}

void AddHive(const std::string &configFolder, const std::string &hive) {
  const std::string log = "\"" + configFolder + "\\" + hive + ".tmp.log\"";
  TextFileWriteLine(g_script, "attrib -r -s -h " + log);
  TextFileWriteLine(g_script, "del " + log);
}

// The console runs the batch file in its OEM code page: lower-casing folds the code page 437
// capitals, and "ü" (0xFC in Windows-1252) becomes 0x81, its OEM byte.
void Finish(const std::string &startupFolder) {
  const std::string converted = ReplaceText("\xFC", "\x81", LowerCase(startupFolder));
  TextFileWriteLine(g_script, "cd /d \"" + converted + "\"");
  TextFileWriteLine(g_script, "del /f dellog.bat");
  TextFileClose(g_script);
}

}  // namespace CleanupScript
