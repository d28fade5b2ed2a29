// The unattended mode's command line: Windows' argument rules and the switches, as exit-code
// relevant commands.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "sim_test.h"

namespace {

const WCHAR *Wide(const char16_t *text) { return reinterpret_cast<const WCHAR *>(text); }

std::vector<std::string> Split(const char16_t *line) {
  std::vector<std::string> out;
  for (const Argument &argument : SplitCommandLine(Wide(line))) {
    out.push_back(argument.text);
    EXPECT_TRUE(argument.exact) << argument.text;
  }
  return out;
}

using CommandLineTest = SimTest;

TEST_F(CommandLineTest, ArgumentsSplitAsTheCRuntimeSplitsThem) {
  struct Row {
    const char *name;
    const char16_t *line;
    std::vector<std::string> arguments;
  };
  const Row rows[] = {
      {"program name only", u"Brovink.exe", {}},
      {"quoted program name with blanks", u"\"C:\\Program Files\\Brovink.exe\" /backup D:\\B", {"/backup", "D:\\B"}},
      {"the program name ends at a blank, quote or not", u"C:\\x\\\"a b\" c", {"b c"}},
      {"blanks and tabs separate, runs of them once", u"p  a\t\tb ", {"a", "b"}},
      {"quoted folder with blanks", u"p /backup \"D:\\Meine Sicherung\"", {"/backup", "D:\\Meine Sicherung"}},
      {"quotes inside an argument group only", u"p D:\"Meine Sicherung\"\\x", {"D:Meine Sicherung\\x"}},
      {"a trailing backslash before the closing quote escapes it", u"p \"D:\\B\\\" /date", {"D:\\B\" /date"}},
      {"two backslashes before a quote: one, and the quote groups", u"p \"D:\\B\\\\\" /date", {"D:\\B\\", "/date"}},
      {"three backslashes before a quote: one and a literal quote", u"p a\\\\\\\"b", {"a\\\"b"}},
      {"backslashes elsewhere are literal", u"p \\\\server\\share\\", {"\\\\server\\share\\"}},
      {"\"\" inside quotes is one quote", u"p \"a\"\"b\" c", {"a\"b", "c"}},
      {"an empty quoted argument", u"p \"\" x", {"", "x"}},
      {"an unclosed quote runs to the end", u"p \"a b", {"a b"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Split(row.line), row.arguments);
  }
}

TEST_F(CommandLineTest, SwitchesGiveTheCommandOrARefusal) {
  struct Row {
    const char *name;
    const char16_t *line;
    CommandMode mode;
    std::string folder;
    bool date;
    int keep;
  };
  const Row rows[] = {
      // The window, as ever.
      {"no arguments", u"Brovink.exe", CommandMode::Window, "", false, 0},
      {"arguments without a mode switch", u"Brovink.exe /restore D:\\Sicherung --quiet", CommandMode::Window, "", false, 0},
      {"a folder alone", u"Brovink.exe D:\\B", CommandMode::Window, "", false, 0},
      // Valid command lines.
      {"backup", u"Brovink.exe /backup D:\\B", CommandMode::Backup, "D:\\B", false, 0},
      {"dash and any case", u"Brovink.exe -BACKUP D:\\B -Date -KeEp 14", CommandMode::Backup, "D:\\B", true, 14},
      {"switches in any order", u"Brovink.exe /keep 2 /date /backup D:\\B", CommandMode::Backup, "D:\\B", true, 2},
      {"quoted folder with blanks and umlaut", u"Brovink.exe /backup \"D:\\Meine Sicherung\\Dateien \u00e4\" /date",
       CommandMode::Backup, "D:\\Meine Sicherung\\Dateien \xE4", true, 0},
      {"drive root", u"Brovink.exe /backup D:\\ /date", CommandMode::Backup, "D:\\", true, 0},
      {"verify", u"Brovink.exe /verify \"D:\\B\\12-08-2026\"", CommandMode::Verify, "D:\\B\\12-08-2026", false, 0},
      {"help", u"Brovink.exe /?", CommandMode::Help, "", false, 0},
      {"help wins over everything else", u"Brovink.exe /backup /?", CommandMode::Help, "", false, 0},
      // An argument the ANSI code page cannot spell arrives as "/?" or "-?" and is no switch.
      {"/a-macron is no /?", u"Brovink.exe /\u0101", CommandMode::Window, "", false, 0},
      {"a CJK letter after - is no -?", u"Brovink.exe -\u4e2d", CommandMode::Window, "", false, 0},
      {"the same beside a backup is an unknown argument", u"Brovink.exe /backup D:\\B -\u4e2d", CommandMode::Invalid, "",
       false, 0},
      {"/b-a-macron-ckup is no /backup", u"Brovink.exe /b\u0101ckup D:\\B", CommandMode::Window, "", false, 0},
      // Refused with exit code 2.
      {"unknown switch", u"Brovink.exe /backup D:\\B /force", CommandMode::Invalid, "", false, 0},
      {"second folder", u"Brovink.exe /backup D:\\B E:\\B", CommandMode::Invalid, "", false, 0},
      {"missing folder", u"Brovink.exe /backup", CommandMode::Invalid, "", false, 0},
      {"a switch where the folder belongs", u"Brovink.exe /backup /date", CommandMode::Invalid, "", false, 0},
      {"empty quoted folder", u"Brovink.exe /verify \"\"", CommandMode::Invalid, "", false, 0},
      {"/keep without /date", u"Brovink.exe /backup D:\\B /keep 3", CommandMode::Invalid, "", false, 0},
      {"/keep 0", u"Brovink.exe /backup D:\\B /date /keep 0", CommandMode::Invalid, "", false, 0},
      {"/keep without a number", u"Brovink.exe /backup D:\\B /date /keep", CommandMode::Invalid, "", false, 0},
      {"/keep with a sign", u"Brovink.exe /backup D:\\B /date /keep +3", CommandMode::Invalid, "", false, 0},
      {"/keep past 9999", u"Brovink.exe /backup D:\\B /date /keep 10000", CommandMode::Invalid, "", false, 0},
      {"/date twice", u"Brovink.exe /backup D:\\B /date /date", CommandMode::Invalid, "", false, 0},
      {"backup and verify", u"Brovink.exe /backup D:\\B /verify D:\\B", CommandMode::Invalid, "", false, 0},
      {"verify with /date", u"Brovink.exe /verify D:\\B /date", CommandMode::Invalid, "", false, 0},
      {"a folder the ANSI code page cannot spell", u"Brovink.exe /backup D:\\b\u0101ck", CommandMode::Invalid, "",
       false, 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const Command command = ParseCommandLine(Wide(row.line));
    EXPECT_EQ(command.mode, row.mode);
    EXPECT_EQ(command.folder, row.folder);
    EXPECT_EQ(command.dateFolder, row.date);
    EXPECT_EQ(command.keep, row.keep);
    EXPECT_EQ(command.error.empty(), row.mode != CommandMode::Invalid) << command.error;
  }
}

// "/restore" means the offline restore only together with "/offline"; alone it stays the window's.
TEST_F(CommandLineTest, OfflineRestoreTakesTheSetAndAnOptionalWindowsFolder) {
  struct Row {
    const char *name;
    const char16_t *line;
    CommandMode mode;
    std::string folder, windows;
  };
  const Row rows[] = {
      {"the Windows folder searched", u"Brovink.exe /restore E:\\Set /offline", CommandMode::OfflineRestore, "E:\\Set", ""},
      {"the Windows folder given", u"Brovink.exe -RESTORE \"E:\\Meine Set\" -Offline D:\\Windows",
       CommandMode::OfflineRestore, "E:\\Meine Set", "D:\\Windows"},
      {"/offline first", u"Brovink.exe /offline D:\\Windows /restore E:\\Set", CommandMode::OfflineRestore, "E:\\Set",
       "D:\\Windows"},
      {"/restore alone stays the window's", u"Brovink.exe /restore E:\\Set", CommandMode::Window, "", ""},
      {"/offline without /restore", u"Brovink.exe /offline D:\\Windows", CommandMode::Invalid, "", ""},
      {"/restore without its folder", u"Brovink.exe /restore /offline", CommandMode::Invalid, "", ""},
      {"with /backup", u"Brovink.exe /backup D:\\B /restore E:\\Set /offline", CommandMode::Invalid, "", ""},
      {"with /date", u"Brovink.exe /restore E:\\Set /offline /date", CommandMode::Invalid, "", ""},
      {"/offline twice", u"Brovink.exe /restore E:\\Set /offline /offline", CommandMode::Invalid, "", ""},
      {"a second Windows folder", u"Brovink.exe /restore E:\\Set /offline D:\\Windows F:\\Windows", CommandMode::Invalid,
       "", ""},
      {"a Windows folder the ANSI code page cannot spell", u"Brovink.exe /restore E:\\Set /offline D:\\W\u0101ndows",
       CommandMode::Invalid, "", ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const Command command = ParseCommandLine(Wide(row.line));
    EXPECT_EQ(command.mode, row.mode);
    if (row.mode == CommandMode::Invalid) continue;
    EXPECT_EQ(command.folder, row.folder);
    EXPECT_EQ(command.windowsFolder, row.windows);
  }
}

}  // namespace
