// "dellog.bat" in the Startup folder: at the next log-on it removes the log files that the staged
// hive copies left in the configuration folder, then deletes itself.
#include "workflows/cleanup_script.h"

#include <cstring>

#include "platform.h"
#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/text_ops.h"

namespace {
// The reference to the profile folder that the "Startup" value may hold.
const char kProfileReference[] = "%userprofile%";
const size_t kProfileReferenceLength = sizeof kProfileReference - 1;
}  // namespace

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
  if (text.empty()) return EnvironmentValue("userprofile") + "\\Startmenü\\Programme\\Autostart";
  // The reference is replaced where it stands (lower-casing keeps every byte's position).
  const int position = SearchText(1, LowerCase(text), kProfileReference);
  if (position != 0) {
    const size_t at = static_cast<size_t>(position) - 1;
    return text.substr(0, at) + EnvironmentValue("userprofile") +
           text.substr(at + kProfileReferenceLength);
  }
  return text;
}

namespace CleanupScript {

void Open(TextFile &script, const std::string &startupFolder) {
  TextFileOpen(script, startupFolder + "\\dellog.bat");
}

void AddHive(TextFile &script, const std::string &configFolder, const std::string &hive) {
  const std::string log = "\"" + configFolder + "\\" + hive + ".tmp.log\"";
  TextFileWriteLine(script, "attrib -r -s -h " + log);
  TextFileWriteLine(script, "del " + log);
}

// The console runs the batch file in its OEM code page: lower-casing folds the code page 437
// capitals, and "ü" (0xFC in Windows-1252) becomes 0x81, its OEM byte.
void Finish(TextFile &script, const std::string &startupFolder) {
  const std::string converted = ReplaceText("\xFC", "\x81", LowerCase(startupFolder));
  TextFileWriteLine(script, "cd /d \"" + converted + "\"");
  TextFileWriteLine(script, "del /f dellog.bat");
  TextFileClose(script);
}

}  // namespace CleanupScript
