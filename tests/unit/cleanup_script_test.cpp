// The Startup folder rules and the bytes of "dellog.bat".
#include <gtest/gtest.h>

#include "run_fixture.h"
#include "workflows/cleanup_script.h"

namespace {

const char *const kShellFolders =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class CleanupScriptTest : public SimTest {};

TEST_F(CleanupScriptTest, FindStartupFolder) {
  struct Row {
    const char *name;
    const char *startupValue;  // nullptr: no value
    std::vector<std::string> environment;
    std::string expected;
  } rows[] = {
      {"profile reference at the start", "%USERPROFILE%\\Startmenü\\Programme\\Autostart",
       {"USERPROFILE=C:\\Dokumente und Einstellungen\\Benutzer"},
       "C:\\Dokumente und Einstellungen\\Benutzer\\Startmenü\\Programme\\Autostart"},
      {"reference in the middle is replaced where it stands", "X:\\a%userprofile%\\b",
       {"userprofile=P:"}, "X:\\aP:\\b"},
      {"reference at the end, in mixed case", "X:\\%UserProfile%", {"userprofile=P:\\u"},
       "X:\\P:\\u"},
      {"plain folder as read", "C:\\Start", {"USERPROFILE=C:\\P"}, "C:\\Start"},
      {"missing value: German fallback", nullptr, {"USERPROFILE=C:\\P"},
       "C:\\P\\Startmenü\\Programme\\Autostart"},
      // No folder at all rather than one at the root of the current drive.
      {"missing value and profile: none", nullptr, {}, ""},
      {"every variable is expanded", "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
       {"APPDATA=C:\\Users\\admin\\AppData\\Roaming"},
       "C:\\Users\\admin\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
      {"two variables", "%HOMEDRIVE%%HOMEPATH%\\Start", {"HOMEDRIVE=E:", "HOMEPATH=\\Home"}, "E:\\Home\\Start"},
      {"an unknown variable stays as it stands", "%NICHTDA%\\Start", {"USERPROFILE=C:\\P"},
       "%NICHTDA%\\Start"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::SetEnvironment(row.environment);
    ReadEnvironmentBlock();
    if (row.startupValue) sim::SetRegString(kShellFolders, "Startup", row.startupValue);
    EXPECT_EQ(FindStartupFolder(), row.expected);
  }
}

TEST_F(CleanupScriptTest, ValueLongerThanTheBufferIsNotUsedInPart) {
  sim::SetEnvironment({"USERPROFILE=C:\\P"});
  ReadEnvironmentBlock();
  sim::SetRegString(kShellFolders, "Startup", "C:\\" + std::string(300, 'x'));
  EXPECT_EQ(FindStartupFolder(), "C:\\P\\Startmenü\\Programme\\Autostart");
}

TEST_F(CleanupScriptTest, ScriptLinesAndTheConvertedFolder) {
  const std::string startup = "C:\\Dokumente und Einstellungen\\Jürgen Ä ö ß\\Startmenü\\Autostart";
  sim::MakeFolders(startup);
  TextFile script;
  CleanupScript::Open(script, startup);
  CleanupScript::AddHive(script, "C:\\WINDOWS\\System32\\config", "SOFTWARE");
  CleanupScript::AddHive(script, "C:\\WINDOWS\\System32\\config", "s-1-5-21-1-2-3-1000");
  CleanupScript::Finish(script, startup);

  EXPECT_EQ(sim::FileBytes(startup + "\\dellog.bat"),
            Lines({"attrib -r -s -h \"C:\\WINDOWS\\System32\\config\\SOFTWARE.tmp.log\"",
                   "del \"C:\\WINDOWS\\System32\\config\\SOFTWARE.tmp.log\"",
                   "attrib -r -s -h \"C:\\WINDOWS\\System32\\config\\s-1-5-21-1-2-3-1000.tmp.log\"",
                   "del \"C:\\WINDOWS\\System32\\config\\s-1-5-21-1-2-3-1000.tmp.log\"",
                   // lower-cased; ü becomes 0x81; Ä (0xC4), ö and ß stay as they are
                   "cd /d \"c:\\dokumente und einstellungen\\j\x81rgen \xC4 \xF6 \xDF\\startmen\x81\\autostart\"",
                   "del /f dellog.bat"}));
}

TEST_F(CleanupScriptTest, EarlierScriptIsReplaced) {
  sim::PutFile("C:\\S\\dellog.bat", "a much longer script from an earlier restore\r\n");
  TextFile script;
  CleanupScript::Open(script, "C:\\S");
  CleanupScript::Finish(script, "C:\\S");
  EXPECT_EQ(sim::FileBytes("C:\\S\\dellog.bat"), Lines({"cd /d \"c:\\s\"", "del /f dellog.bat"}));
}

}  // namespace
