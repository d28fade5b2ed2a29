// The offline restore through the process entry, as from the recovery environment's prompt: the
// running system is X:\Windows, the installation that no longer starts is D:\Windows, the set lies
// on E: and was made when that installation was C:. What the console shows, the exit code, the
// tree of the target afterwards, and the undo script, whose lines the test carries out.
#include <iconv.h>

#include <map>
#include <string>
#include <vector>

#include "sim_test.h"
#include "services/fingerprint.h"
#include "services/text_ops.h"
#include "workflows/offline_restore.h"

namespace {

const std::string kSet = "E:\\Sicherung";
const std::string kConfig = "D:\\Windows\\System32\\config";
const std::string kProfile = "D:\\Users\\u1";
const std::string kStamp = "12-08-2026-101530";
const std::string kAside = kConfig + "\\Brovink-" + kStamp;
const std::string kUndo = kAside + "\\Rueckgaengig.bat";
const char kUser[] = "s-1-5-21-1-2-3-1000";

// Every file with its attributes and bytes and every folder of the drives; the run's own folders
// (Brovink-<stamp>, where the undo script stays) are left out.
std::map<std::string, std::string> Tree() {
  return DriveTree({"C:\\", "D:\\", "E:\\", "X:\\"}, "Brovink-");
}

// The script's bytes in the code page cmd reads them in (the simulated machine's OEM code page
// 850), as Windows-1252 text for the ANSI calls; glibc's iconv is the independent table. Fails on a
// byte that has no character there or a character that Windows-1252 lacks.
std::string FromOem850(const std::string &bytes) {
  iconv_t convert = iconv_open("CP1252", "CP850");
  EXPECT_NE(convert, reinterpret_cast<iconv_t>(-1));
  std::string in = bytes, out(bytes.size() * 2, '\0');
  char *from = in.data(), *to = out.data();
  size_t left = in.size(), room = out.size();
  const size_t converted = iconv(convert, &from, &left, &to, &room);
  iconv_close(convert);
  EXPECT_NE(converted, static_cast<size_t>(-1)) << "the script is no text of code page 850";
  out.resize(out.size() - room);
  return out;
}

// Carries out the undo script as cmd would: "if exist A del /f /q [/a] A" (without /a, del passes a
// hidden or system file over) and "if exist A move /y A B", each path with "%%" for a "%" (a lone
// "%" would start a variable); @echo, chcp to the OEM code page, setlocal and echo lines do nothing
// here. Any other line fails the test.
void RunUndoScript(const std::string &script) {
  const std::string bytes = FromOem850(sim::FileBytes(script));
  ASSERT_FALSE(bytes.empty()) << "no undo script " << script;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "last line without CR LF";
    const std::string line = bytes.substr(start, end - start);
    start = end + 2;
    if (line == "@echo off" || line == "chcp 850 >nul 2>nul" || line == "setlocal DisableDelayedExpansion" ||
        line.rfind("echo ", 0) == 0) {
      continue;
    }
    std::vector<std::string> quoted;
    for (size_t q = line.find('"'); q != std::string::npos; q = line.find('"', line.find('"', q + 1) + 1)) {
      std::string path = line.substr(q + 1, line.find('"', q + 1) - q - 1);
      ASSERT_EQ(ReplaceText("%%", "", path).find('%'), std::string::npos) << "cmd would expand: " << line;
      quoted.push_back(ReplaceText("%%", "%", path));
    }
    const bool allAttributes = line.find("\" del /f /q /a \"") != std::string::npos;
    const bool del = (allAttributes || line.find("\" del /f /q \"") != std::string::npos) && quoted.size() == 2;
    const bool move = line.find("\" move /y \"") != std::string::npos && quoted.size() == 3;
    ASSERT_TRUE(line.rfind("if exist \"", 0) == 0 && (del || move) && quoted[0] == quoted[1]) << line;
    if (GetFileAttributesA(quoted[0].c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (del) {
      const DWORD attributes = GetFileAttributesA(quoted[0].c_str());
      if (!allAttributes && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
      SetFileAttributesA(quoted[0].c_str(), 0);  // /f: read-only files too
      EXPECT_TRUE(DeleteFileA(quoted[0].c_str())) << line;
    } else {
      EXPECT_TRUE(MoveFileExA(quoted[0].c_str(), quoted[2].c_str(), MOVEFILE_REPLACE_EXISTING)) << line;
    }
  }
}

class OfflineRestoreTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Prepare();
  }

  // The recovery environment, the installation on D: and the set on E:.
  static void Prepare() {
    sim::SetEnvironment({"SystemRoot=X:\\Windows", "USERPROFILE=X:\\Users\\Default"});
    ReadEnvironmentBlock();
    sim::SetLocalTime(2026, 12, 8, 10, 15, 30);
    sim::AddDrive('D', "\\Device\\HarddiskVolume2");
    sim::AddDrive('E', "\\Device\\HarddiskVolume3");
    sim::AddDrive('X', "\\Device\\Ramdisk");
    sim::SetStartedFrom(sim::StartedFrom::ParentConsole);
    sim::PutFile("X:\\Windows\\System32\\config\\SYSTEM", "the recovery environment's own");
    for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      sim::PutFile(kConfig + "\\" + hive, std::string("old ") + hive);
      sim::SetRegString(std::string("HKEY_LOCAL_MACHINE\\") + hive + "\\Brovink", "Stand", "gesichert");
      sim::PutFile(kSet + "\\" + hive, sim::HiveSnapshot(std::string("HKEY_LOCAL_MACHINE\\") + hive));
    }
    sim::PutFile(kConfig + "\\SYSTEM.LOG1", "log1", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    sim::PutFile(kConfig + "\\SYSTEM.LOG2", "log2", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    sim::PutFile(kConfig + "\\software.log", "log");
    sim::PutFile(kConfig + "\\SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TM.blf", "blf");
    sim::PutFile(kConfig + "\\SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TMContainer00000000000000000001.regtrans-ms",
                 "tm");
    sim::PutFile(kConfig + "\\SYSTEMPROFILE.LOG1", "not SYSTEM's");
    sim::PutFile(kConfig + "\\netlogon.ftl", "other");
    sim::PutFile(kProfile + "\\NTUSER.DAT", "old user");
    sim::PutFile(kProfile + "\\ntuser.dat.LOG1", "user log");
    sim::PutFile(kSet + "\\" + kUser, sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SAM"));
    sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Users\\u1\\NTUSER.DAT"));
  }

  // The set's script as the backup wrote it on C: (the folder was C:\Sicherung then).
  static std::string ConsoleScript(const std::string &userHiveFile) {
    std::string script = "Set allowallpaths = true\r\n";
    for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      script += std::string("copy \"C:\\Sicherung\\") + hive + "\" C:\\WINDOWS\\System32\\config\\\r\n";
    }
    return script + "copy \"C:\\Sicherung\\" + kUser + "\" \"" + userHiveFile + "\"\r\n";
  }

  static int Start(const std::u16string &arguments) {
    sim::SetCommandLine(u"X:\\Brovink.exe " + arguments);
    return WinMain(sim::ProgramInstance(), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
  }

  static std::string Console() {
    std::string text;  // what Windows-1252 lacks as "?"
    for (char16_t c : sim::ConsoleText()) text += c < 0x100 ? static_cast<char>(c) : '?';
    return text;
  }

  void SweepFileCalls(bool lacking);

  static void ExpectNoWindowAndNothingOpen() {
    EXPECT_EQ(sim::CallCount("CreateDialogIndirectParamA"), 0) << "a window was made";
    EXPECT_TRUE(sim::MessageBoxes().empty()) << "a box was shown";
    EXPECT_EQ(sim::OpenHandleCount(), 0);
  }

  // Each target holds its set file, and nothing of the run is left beside it.
  static void ExpectReplaced() {
    for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      EXPECT_TRUE(sim::FileBytes(kConfig + "\\" + hive) == sim::FileBytes(kSet + "\\" + hive)) << hive;
    }
    EXPECT_TRUE(sim::FileBytes(kProfile + "\\NTUSER.DAT") == sim::FileBytes(kSet + "\\" + kUser));
  }
};

TEST_F(OfflineRestoreTest, ReplacesEveryHiveMovesTheOldFilesAsideAndTheUndoScriptPutsThemBack) {
  const auto before = Tree();
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  ExpectNoWindowAndNothingOpen();
  ExpectReplaced();
  EXPECT_EQ(sim::ErrorMode(), static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX))
      << "a drive without a medium would ask in a box";

  // The old hives and exactly their logs are aside, byte for byte; other files stay.
  const std::vector<std::string> aside = {
      "SAM", "SECURITY", "SOFTWARE", "software.log", "SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2",
      "SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TM.blf",
      "SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TMContainer00000000000000000001.regtrans-ms",
      "Rueckgaengig.bat"};
  for (const std::string &name : aside) {
    EXPECT_TRUE(sim::FileExists(kAside + "\\" + name)) << name;
    if (name.find('.') != std::string::npos) {
      EXPECT_FALSE(sim::FileExists(kConfig + "\\" + name)) << name;
    }
  }
  EXPECT_EQ(sim::ListFolder(kAside).size(), aside.size());
  EXPECT_EQ(sim::FileBytes(kAside + "\\SYSTEM.LOG1"), "log1");
  EXPECT_EQ(sim::FileAttributes(kAside + "\\SYSTEM.LOG1"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(sim::FileBytes(kConfig + "\\SYSTEMPROFILE.LOG1"), "not SYSTEM's");
  EXPECT_EQ(sim::FileBytes(kConfig + "\\netlogon.ftl"), "other");
  EXPECT_EQ(sim::FileBytes(kProfile + "\\Brovink-" + kStamp + "\\NTUSER.DAT"), "old user");
  EXPECT_EQ(sim::FileBytes(kProfile + "\\Brovink-" + kStamp + "\\ntuser.dat.LOG1"), "user log");
  EXPECT_FALSE(sim::FileExists(kProfile + "\\ntuser.dat.LOG1"));
  EXPECT_EQ(sim::FileBytes("X:\\Windows\\System32\\config\\SYSTEM"), "the recovery environment's own");

  const std::string console = Console();
  for (const std::string &line : std::vector<std::string>{
           "Ziel: D:\\Windows",
           "geprüft: E:\\Sicherung\\SOFTWARE ist in Ordnung",
           "geprüft: E:\\Sicherung\\s-1-5-21-1-2-3-1000 ist in Ordnung",
           "bereitgelegt: D:\\Users\\u1\\NTUSER.DAT.Brovink-" + kStamp + ".tmp",
           "Rückgängig: " + kUndo,
           "beiseitegelegt: D:\\Windows\\System32\\config\\SYSTEM.LOG2 -> " + kAside + "\\SYSTEM.LOG2",
           "ersetzt: D:\\Windows\\System32\\config\\SAM",
           "ersetzt: D:\\Users\\u1\\NTUSER.DAT",
           "Wiederherstellung fertig: 5 Hive(s) in D:\\Windows ersetzt. Rückgängig mit " + kUndo}) {
    EXPECT_NE(console.find(line + "\r\n"), std::string::npos) << line << "\n" << console;
  }

  // Each of the five staged copies and the undo script is on the disk before the first move.
  int flushedBeforeMoves = 0;
  for (const std::string &call : sim::CallLog()) {
    if (call.rfind("MoveFileExA ", 0) == 0) break;
    flushedBeforeMoves += call == "FlushFileBuffers";
  }
  EXPECT_EQ(flushedBeforeMoves, 6);

  // A start of the restored Windows that went wrong wrote logs of the new hives that the old ones did
  // not have; they belong to the new hives and go with them.
  sim::PutFile(kConfig + "\\SYSTEM.LOG", "new SYSTEM's log", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  sim::PutFile(kProfile + "\\NTUSER.DAT.LOG2", "new user log", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  RunUndoScript(kUndo);
  EXPECT_TRUE(Tree() == before);
}

TEST_F(OfflineRestoreTest, TargetsThatCannotBeUsedAreRefusedWithNothingChanged) {
  struct Row {
    const char *name;
    std::u16string arguments;
    void (*setup)();
    std::string console;  // a line the console shows
  };
  const Row rows[] = {
      {"the running system's Windows, given", u"/restore E:\\Sicherung /offline x:\\windows\\", nullptr,
       "Abgebrochen: x:\\windows ist das laufende Windows"},
      {"a second Windows on F: found", u"/restore E:\\Sicherung /offline",
       [] {
         sim::AddDrive('F', "\\Device\\HarddiskVolume4");
         sim::PutFile("F:\\Windows\\System32\\config\\SYSTEM", "another");
       },
       "Abgebrochen: Mehrere Windows-Ordner gefunden; bitte einen angeben:\r\n  D:\\Windows\r\n  F:\\Windows"},
      {"none found but the running one", u"/restore E:\\Sicherung /offline",
       [] { MoveFileExA((kConfig + "\\SYSTEM").c_str(), (kConfig + "\\SYSTEM.alt").c_str(), 0); },
       "Abgebrochen: Kein Windows-Ordner gefunden"},
      {"a relative Windows folder", u"/restore E:\\Sicherung /offline Windows", nullptr, "ist kein Windows-Ordner"},
      {"a trailing dot", u"/restore E:\\Sicherung /offline D:\\Windows.", nullptr, "ist kein Windows-Ordner"},
      {"a parent reference", u"/restore E:\\Sicherung /offline D:\\Users\\..\\Windows", nullptr, "ist kein Windows-Ordner"},
      {"no configuration folder", u"/restore E:\\Sicherung /offline D:\\Users", nullptr, "ist kein Windows-Ordner"},
      {"a missing set folder", u"/restore E:\\Fehlt /offline D:\\Windows", nullptr,
       "Abgebrochen: Der Ordner E:\\Fehlt ist nicht verwendbar."},
      {"/offline without /restore", u"/offline D:\\Windows", nullptr, "Befehlszeile nicht verwendbar"},
      // A link names its target with the drive letters of the installation that made it.
      {"a Windows folder that is a link", u"/restore E:\\Sicherung /offline D:\\Windows",
       [] { sim::MakeReparsePoint("D:\\Windows"); },
       "Abgebrochen: D:\\Windows ist eine Verknüpfung, deren Ziel hier auf einem anderen Laufwerk liegen kann; "
       "bitte den Windows-Ordner angeben, auf den sie zeigt."},
      {"a configuration folder that is a link", u"/restore E:\\Sicherung /offline D:\\Windows",
       [] { sim::MakeReparsePoint(kConfig); }, "Abgebrochen: " + kConfig + " ist eine Verknüpfung"},
      // A profile folder the ANSI calls cannot name (longer than MAX_PATH) cannot be looked at: the
      // target is refused with the code the call would give, not a stale one that could make the
      // folder "missing" or the set "unbrauchbar".
      {"a profile folder too long to look at", u"/restore E:\\Sicherung /offline D:\\Windows",
       [] {
         const std::string folder = "Users\\" + std::string(200, 'p') + "\\" + std::string(60, 'q');
         sim::PutFile("D:\\" + folder + "\\NTUSER.DAT", "old user");
         sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\" + folder + "\\NTUSER.DAT"));
       },
       "lässt sich nicht prüfen (Fehler 206)."},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    if (row.setup) row.setup();
    const auto before = Tree();
    EXPECT_EQ(Start(row.arguments), 2);
    EXPECT_NE(Console().find(row.console), std::string::npos) << Console();
    EXPECT_TRUE(Tree() == before);
    ExpectNoWindowAndNothingOpen();
    ResetForNextRow();
    Prepare();
  }
}

TEST_F(OfflineRestoreTest, ASetThatFailsItsCheckChangesNothing) {
  struct Row {
    const char *name;
    void (*damage)();
    std::string console;
  };
  const Row rows[] = {
      {"an empty machine hive", [] { sim::PutFile(kSet + "\\SYSTEM", ""); }, "geprüft: E:\\Sicherung\\SYSTEM ist leer"},
      {"a damaged user hive", [] { sim::PutFile(kSet + std::string("\\") + kUser, "regf"); },
       "geprüft: E:\\Sicherung\\s-1-5-21-1-2-3-1000 "},
      {"a missing machine hive", [] { DeleteFileA((kSet + "\\SAM").c_str()); }, "geprüft: E:\\Sicherung\\SAM fehlt"},
      {"a missing user hive", [] { DeleteFileA((kSet + std::string("\\") + kUser).c_str()); },
       "geprüft: E:\\Sicherung\\s-1-5-21-1-2-3-1000 fehlt"},
      {"no ConsoleBackup.bat", [] { DeleteFileA((kSet + "\\ConsoleBackup.bat").c_str()); }, "ConsoleBackup.bat ist nicht lesbar"},
      {"a foreign line in the script",
       [] { sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Users\\u1\\NTUSER.DAT") + "del C:\\x\r\n"); },
       "ConsoleBackup.bat Zeile 7 ist keine Zeile einer Sicherung"},
      {"a user hive aimed at a parent folder",
       [] { sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Users\\..\\Windows\\System32\\config\\SAM")); },
       "Zeile 6 ist keine Zeile einer Sicherung"},
      {"a user hive named like a machine hive",
       [] {
         std::string script = ConsoleScript("c:\\Users\\u1\\NTUSER.DAT");
         script.replace(script.find(kUser), strlen(kUser), "system");
         sim::PutFile(kSet + "\\ConsoleBackup.bat", script);
       },
       "Zeile 6 ist keine Zeile einer Sicherung"},
      {"a user hive aimed at a file that holds no hive",
       [] { sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Windows\\explorer.exe")); },
       "Zeile 6 ist keine Zeile einer Sicherung"},
      // One user's hive put into another user's profile as well: a backup names each file once.
      {"one user hive aimed at two profiles",
       [] {
         sim::PutFile("D:\\Users\\u2\\NTUSER.DAT", "the other user's");
         sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Users\\u1\\NTUSER.DAT") + "copy \"C:\\Sicherung\\" +
                                                        kUser + "\" \"c:\\Users\\u2\\NTUSER.DAT\"\r\n");
       },
       "Zeile 7 ist keine Zeile einer Sicherung"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    row.damage();
    const auto before = Tree();
    EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 1);
    EXPECT_NE(Console().find(row.console), std::string::npos) << Console();
    EXPECT_NE(Console().find("ist unbrauchbar; nichts geändert."), std::string::npos) << Console();
    EXPECT_TRUE(Tree() == before);
    EXPECT_FALSE(sim::FolderExists(kAside));
    ExpectNoWindowAndNothingOpen();
    ResetForNextRow();
    Prepare();
  }
}

// A user hive aimed (from another drive letter on the backup day, so taken as written) at a file
// that is no user hive's (a machine hive, a log Windows would replay into one), at a profile's hive
// twice, or into the set itself (also when the set is given relative, with a trailing dot): refused
// before anything is written.
TEST_F(OfflineRestoreTest, UserHivesAimedAtFilesOfOthersAreRefused) {
  struct Row {
    const char *name;
    std::string path;
    const char16_t *arguments;
    int exitCode;
    std::string console;
  };
  const char16_t *const kGiven = u"/restore E:\\Sicherung /offline D:\\Windows";
  const Row rows[] = {
      {"a machine hive's file", "d:\\windows\\system32\\CONFIG\\sam", kGiven, 1, "Zeile 6 ist keine Zeile einer Sicherung"},
      {"a machine hive's log", "d:\\Windows\\System32\\config\\system.log", kGiven, 1, "Zeile 6 ist keine Zeile"},
      {"a machine hive's transaction log", "d:\\Windows\\System32\\config\\SOFTWARE{1}.TM.blf", kGiven, 1,
       "Zeile 6 ist keine Zeile"},
      {"a profile's hive twice", "d:\\USERS\\u1\\ntuser.dat", kGiven, 2, "D:\\Users\\u1\\NTUSER.DAT käme zweimal vor."},
      {"the set itself", "e:\\sicherung\\NTUSER.DAT", kGiven, 2, "e:\\sicherung\\NTUSER.DAT liegt in der Sicherung selbst."},
      {"the set itself, given relative", "e:\\sicherung\\NTUSER.DAT", u"/restore Sicherung. /offline D:\\Windows", 2,
       "e:\\sicherung\\NTUSER.DAT liegt in der Sicherung selbst."},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    std::string script = ConsoleScript(row.path);
    if (std::string(row.name) == "a profile's hive twice") {
      // the second line from the backup day's C:, so moved to the target's drive
      script += "copy \"C:\\Sicherung\\s-1-5-21-1-2-3-1001\" \"c:\\Users\\u1\\NTUSER.DAT\"\r\n";
      sim::PutFile(kSet + "\\s-1-5-21-1-2-3-1001", sim::FileBytes(kSet + "\\" + kUser));
    }
    sim::PutFile(kSet + "\\ConsoleBackup.bat", script);
    sim::SetCurrentDirectory("E:\\");
    const auto before = Tree();
    EXPECT_EQ(Start(row.arguments), row.exitCode);
    EXPECT_NE(Console().find(row.console), std::string::npos) << Console();
    EXPECT_TRUE(Tree() == before);
    ExpectNoWindowAndNothingOpen();
    ResetForNextRow();
    Prepare();
  }
}

// A profile folder that is gone, or one reached through a link (whose target may be another disk's
// folder in the recovery environment): its hive is skipped, named, and the machine hives go in.
TEST_F(OfflineRestoreTest, AProfileFolderMissingOrBehindALinkSkipsItsHiveAndTheRestIsReplaced) {
  struct Row {
    const char *name;
    const char *userHiveFile;
    const char *link;  // made a link before the run, or nullptr
    const char *skipped;
  };
  const Row rows[] = {
      {"missing", "c:\\Users\\weg\\NTUSER.DAT", nullptr, "der Ordner D:\\Users\\weg fehlt"},
      {"the profile a link", "c:\\Users\\u1\\NTUSER.DAT", "D:\\Users\\u1",
       "der Ordner D:\\Users\\u1 ist eine Verknüpfung, deren Ziel hier auf einem anderen Laufwerk liegen kann"},
      {"the folder of all profiles a link", "c:\\Users\\u1\\NTUSER.DAT", "D:\\Users",
       "der Ordner D:\\Users ist eine Verknüpfung"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript(row.userHiveFile));
    if (row.link) sim::MakeReparsePoint(row.link);
    EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline D:\\Windows"), 0) << Console();
    EXPECT_NE(Console().find(std::string("übersprungen: E:\\Sicherung\\s-1-5-21-1-2-3-1000 (") + row.skipped),
              std::string::npos)
        << Console();
    EXPECT_NE(Console().find("Wiederherstellung fertig: 4 Hive(s)"), std::string::npos) << Console();
    EXPECT_TRUE(sim::FileBytes(kConfig + "\\SAM") == sim::FileBytes(kSet + "\\SAM"));
    if (!row.link) {  // a link is not followed here
      EXPECT_EQ(sim::FileBytes(kProfile + "\\NTUSER.DAT"), "old user");
    }
    EXPECT_FALSE(sim::FolderExists("D:\\Users\\weg"));
    ExpectNoWindowAndNothingOpen();
    ResetForNextRow();
    Prepare();
  }
}

// cmd reads the undo script in the OEM code page (850 here), and a "%" in a batch file starts a
// variable: a profile "Jörg" and a transaction log with "%OS%" in its name go back all the same.
TEST_F(OfflineRestoreTest, TheUndoScriptSpellsUmlautsAndPercentSignsAsCmdReadsThem) {
  const std::string profileJoerg = "D:\\Users\\Jörg";
  sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Users\\Jörg\\NTUSER.DAT"));
  sim::PutFile(profileJoerg + "\\NTUSER.DAT", "old Jörg");
  sim::PutFile(profileJoerg + "\\NTUSER.DAT{%OS%}.TM.blf", "blf");
  const auto before = Tree();
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  EXPECT_EQ(sim::FileBytes(profileJoerg + "\\Brovink-" + kStamp + "\\NTUSER.DAT{%OS%}.TM.blf"), "blf");
  const std::string script = sim::FileBytes(kUndo);
  EXPECT_NE(script.find("\"D:\\Users\\J\x94rg\\NTUSER.DAT{%%OS%%}.TM.blf\""), std::string::npos) << script;
  EXPECT_EQ(script.find("J\xF6rg"), std::string::npos) << "Windows-1252 bytes in the script";
  EXPECT_EQ(script.rfind("@echo off\r\nchcp 850 >nul 2>nul\r\n", 0), 0u) << script;
  RunUndoScript(kUndo);
  EXPECT_TRUE(Tree() == before);
}

// A path that the OEM code page cannot spell would stand in the undo script as another file or
// none, and a name that the ANSI calls get best-fitted would name another file: refused before
// anything is staged.
TEST_F(OfflineRestoreTest, APathTheUndoScriptCannotSpellIsRefusedWithNothingChanged) {
  struct Row {
    const char *name;
    void (*setup)();
    std::string console;
  };
  const Row rows[] = {
      {"a profile folder with a letter 850 lacks",
       [] {
         sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("c:\\Users\\Šimon\\NTUSER.DAT"));
         sim::PutFile("D:\\Users\\Šimon\\NTUSER.DAT", "old");
       },
       "Abgebrochen: D:\\Users\\?imon lässt sich in der Codepage 850 der Eingabeaufforderung nicht schreiben; "
       "Rueckgaengig.bat könnte es nicht zurücklegen."},
      {"a file whose best-fitted name is a log's",
       [] { sim::PutFile(kConfig + "\\" + sim::FsName(u"SYSTEM.L\u014CG"), "not SYSTEM's"); },
       "Abgebrochen: " + kConfig + "\\SYSTEM.LOG lässt sich nicht genau benennen."},
      {"the same beside the log itself",
       [] { sim::PutFile(kConfig + "\\" + sim::FsName(u"SYSTEM.L\u014CG1"), "not SYSTEM's"); },
       "Abgebrochen: " + kConfig + "\\SYSTEM.LOG1 käme zweimal vor."},
      {"a log of a machine hive with the euro sign", [] { sim::PutFile(kConfig + "\\SYSTEM{€}.TM.blf", "blf"); },
       "Abgebrochen: " + kConfig + "\\SYSTEM{?}.TM.blf lässt sich in der Codepage 850"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    row.setup();
    const auto before = Tree();
    EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline D:\\Windows"), 2);
    EXPECT_NE(Console().find(row.console), std::string::npos) << Console();
    EXPECT_TRUE(Tree() == before);
    EXPECT_FALSE(sim::FolderExists(kAside));
    ExpectNoWindowAndNothingOpen();
    ResetForNextRow();
    Prepare();
  }
}

// One run per set: a set another run holds (a backup writing it, a /verify, a second restore) is
// refused before anything is looked at in the target; the lock file goes with the run. One run per
// installation likewise.
TEST_F(OfflineRestoreTest, ASetAnotherRunHoldsIsRefused) {
  HANDLE other = CreateFileA((kSet + "\\~brovink.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  const auto before = Tree();
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 2);
  EXPECT_NE(Console().find("Wiederherstellung abgebrochen: Der Ordner E:\\Sicherung wird gerade von einer anderen "
                           "Sicherung, Wiederherstellung oder Prüfung verwendet. Es wurde nichts geändert.\r\n"),
            std::string::npos)
      << Console();
  EXPECT_EQ(Console().find("Ziel:"), std::string::npos) << Console();
  EXPECT_TRUE(Tree() == before);
  CloseHandle(other);
  EXPECT_FALSE(sim::FileExists(kSet + "\\~brovink.lock"));
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  EXPECT_FALSE(sim::FileExists(kSet + "\\~brovink.lock"));
  ExpectNoWindowAndNothingOpen();

  // An installation another restore holds (with another set) is refused as well.
  ResetForNextRow();
  Prepare();
  other = CreateFileA((kConfig + "\\~brovink.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  const auto untouched = Tree();
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 2);
  EXPECT_NE(Console().find("Wiederherstellung abgebrochen: Der Ordner " + kConfig + " wird gerade von einer anderen"),
            std::string::npos)
      << Console();
  EXPECT_TRUE(Tree() == untouched);
  CloseHandle(other);

  // A set on a write-protected stick takes no lock file and is restored all the same.
  ResetForNextRow();
  Prepare();
  sim::DenyWrites(kSet);
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  ExpectReplaced();
  ExpectNoWindowAndNothingOpen();
}

// Read-only files: a set from a CD gives read-only copies, which must not become hive files that
// Windows cannot write; a read-only old hive moves aside and back as it was.
TEST_F(OfflineRestoreTest, ReadOnlySetFilesGiveWritableHivesAndReadOnlyOldHivesGoBack) {
  SetFileAttributesA((kSet + "\\SYSTEM").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((kSet + "\\" + kUser).c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((kConfig + "\\SAM").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto before = Tree();
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  ExpectReplaced();
  EXPECT_EQ(sim::FileAttributes(kConfig + "\\SYSTEM") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(sim::FileAttributes(kProfile + "\\NTUSER.DAT") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(sim::FileAttributes(kAside + "\\SAM"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  RunUndoScript(kUndo);
  EXPECT_TRUE(Tree() == before);

  // A read-only copy that cannot be made writable is taken back with the others.
  ResetForNextRow();
  Prepare();
  SetFileAttributesA((kSet + "\\SAM").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto untouched = Tree();
  sim::FailCall("SetFileAttributesA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 1) << Console();
  EXPECT_NE(Console().find("SAM.Brovink-" + kStamp + ".tmp ließ sich nicht beschreibbar machen (Fehler 5)"),
            std::string::npos)
      << Console();
  EXPECT_TRUE(Tree() == untouched);
  EXPECT_FALSE(sim::FolderExists(kAside));
}

// A profile that was on another drive than Windows on the backup day is taken as written.
TEST_F(OfflineRestoreTest, AProfileOnAnotherDriveStaysOnItsDrive) {
  sim::PutFile(kSet + "\\ConsoleBackup.bat", ConsoleScript("e:\\Profile\\u2\\NTUSER.DAT"));
  sim::PutFile("E:\\Profile\\u2\\NTUSER.DAT", "u2");
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  EXPECT_TRUE(sim::FileBytes("E:\\Profile\\u2\\NTUSER.DAT") == sim::FileBytes(kSet + "\\" + kUser));
  EXPECT_EQ(sim::FileBytes("E:\\Profile\\u2\\Brovink-" + kStamp + "\\NTUSER.DAT"), "u2");
  EXPECT_EQ(sim::FileBytes(kProfile + "\\NTUSER.DAT"), "old user");
}

// A set with a fingerprint: every file a restore puts in place must be one the last run wrote, with
// the bytes it wrote. A user hive that a failed save left from an earlier run (the script still
// names it, the fingerprint does not) or one changed since fails the set, in the words /verify uses.
TEST_F(OfflineRestoreTest, AFingerprintedSetRestoresOnlyWhatItsLastRunWrote) {
  struct Row {
    const char *name;
    std::vector<std::string> listed;  // the files SHA256SUMS names, with their hashes as they are now
    void (*change)();                 // after the list was written
    std::string console;
  };
  const std::vector<std::string> all = {"SOFTWARE", "SYSTEM", "SECURITY", "SAM", "ConsoleBackup.bat", kUser};
  const std::vector<std::string> withoutUser(all.begin(), all.end() - 1);
  const Row rows[] = {
      {"a user hive the last run did not write", withoutUser, nullptr,
       "geprüft: E:\\Sicherung\\s-1-5-21-1-2-3-1000 wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)"},
      {"a user hive changed after the backup", all,
       [] { sim::PutFile(kSet + "\\" + kUser, sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SECURITY")); },
       "geprüft: E:\\Sicherung\\s-1-5-21-1-2-3-1000 wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"},
      {"a machine hive changed after the backup", all,
       [] { sim::PutFile(kSet + "\\SYSTEM", sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SYSTEM") + std::string(4096, '\0')); },
       "geprüft: E:\\Sicherung\\SYSTEM wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"},
  };
  // A machine hive the last run wrote, gone: said once.
  const Row gone = {"a machine hive gone", all, [] { DeleteFileA((kSet + "\\SAM").c_str()); },
                    "geprüft: E:\\Sicherung\\SAM fehlt"};
  for (const Row &row : {rows[0], rows[1], rows[2], gone}) {
    SCOPED_TRACE(row.name);
    std::vector<FingerprintLine> lines;
    for (const std::string &name : row.listed) {
      FingerprintError error;
      lines.push_back({HashFile(kSet + "\\" + name, &error), name});
    }
    FingerprintError error;
    ASSERT_TRUE(WriteFingerprint(kSet + "\\SHA256SUMS", kSet + "\\sums.tmp", lines, &error));
    if (row.change) row.change();
    const auto before = Tree();
    EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 1) << Console();
    const size_t at = Console().find(row.console + "\r\n");
    EXPECT_NE(at, std::string::npos) << Console();
    EXPECT_EQ(Console().find(row.console + "\r\n", at + 1), std::string::npos) << "said twice: " << Console();
    EXPECT_NE(Console().find("ist unbrauchbar; nichts geändert."), std::string::npos) << Console();
    EXPECT_TRUE(Tree() == before);
    ExpectNoWindowAndNothingOpen();
    ResetForNextRow();
    Prepare();
  }
}

// An installation that lacks one of its hive files (the reason it no longer starts): the set's file
// goes where none was, and when a later step fails, the run says so and leaves the undo script that
// removes it again, rather than "Nichts geändert.". The set's files are hidden system files (copied
// so from a stick), which cmd's del passes over unless told otherwise.
TEST_F(OfflineRestoreTest, AFailureAfterAHiveWentWhereNoneWasLeavesTheWayBack) {
  DeleteFileA((kConfig + "\\SOFTWARE").c_str());
  DeleteFileA((kConfig + "\\software.log").c_str());
  for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
    SetFileAttributesA((kSet + "\\" + hive).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }
  const auto before = Tree();
  // The first move of the run is SOFTWARE's staged copy into its place; the second moves SYSTEM aside.
  sim::FailCall("MoveFileExA", ERROR_SHARING_VIOLATION, 1, 1);
  EXPECT_EQ(Start(u"/restore E:\\Sicherung /offline"), 1) << Console();
  sim::ClearFaults();
  const std::string console = Console();
  EXPECT_NE(console.find("ersetzt: " + kConfig + "\\SOFTWARE\r\n"), std::string::npos) << console;
  EXPECT_EQ(console.find("Nichts geändert."), std::string::npos) << console;
  EXPECT_NE(console.find("Bereits ersetzt: " + kConfig + "\\SOFTWARE."), std::string::npos) << console;
  EXPECT_NE(console.find(kUndo + " stellt alle Dateien wieder her, wie sie vorher waren."), std::string::npos) << console;
  ExpectNoWindowAndNothingOpen();
  RunUndoScript(kUndo);
  EXPECT_TRUE(Tree() == before) << console;
}

// Every file call of the run fails in turn, once and then every time. Afterwards the tree is as it
// was, or the run said that the undo script puts it back and the script does; a run that ends with
// 0 has put every set file in place. Twice: with every old hive there, and with an installation that
// lacks SOFTWARE and its log and a profile that holds only its hive's log (hives put where none was).
TEST_F(OfflineRestoreTest, EveryFailingFileCallLeavesTheTreeOrAWayBack) {
  for (const bool lacking : {false, true}) {
    SCOPED_TRACE(lacking ? "old hives missing" : "every old hive there");
    ResetForNextRow();
    Prepare();
    SweepFileCalls(lacking);
    if (HasFailure()) return;
  }
}

void OfflineRestoreTest::SweepFileCalls(bool lacking) {
  const std::vector<std::pair<const char *, DWORD>> faults = {
      {"GetFileAttributesA", ERROR_ACCESS_DENIED}, {"FindFirstFileA", ERROR_ACCESS_DENIED},
      {"FindNextFileA", ERROR_ACCESS_DENIED},     {"CreateFileA", ERROR_SHARING_VIOLATION},
      {"ReadFile", ERROR_LOCK_VIOLATION},         {"CopyFileA", ERROR_DISK_FULL},
      {"CreateDirectoryA", ERROR_ACCESS_DENIED},  {"WriteFile", ERROR_DISK_FULL},
      {"SetFilePointer", ERROR_INVALID_HANDLE},   {"SetEndOfFile", ERROR_DISK_FULL},
      {"CloseHandle", ERROR_INVALID_HANDLE},      {"MoveFileExA", ERROR_SHARING_VIOLATION},
      {"DeleteFileA", ERROR_ACCESS_DENIED},       {"RemoveDirectoryA", ERROR_DIR_NOT_EMPTY},
      {"SetFileAttributesA", ERROR_ACCESS_DENIED}, {"FlushFileBuffers", ERROR_DISK_FULL},
  };
  // A set file from a CD: its copy must be made writable, one more call that can fail.
  const auto readOnlySetFile = [lacking] {
    SetFileAttributesA((kSet + "\\SAM").c_str(), FILE_ATTRIBUTE_READONLY);
    if (lacking) {
      DeleteFileA((kConfig + "\\SOFTWARE").c_str());
      DeleteFileA((kConfig + "\\software.log").c_str());
      DeleteFileA((kProfile + "\\NTUSER.DAT").c_str());
    }
  };
  readOnlySetFile();
  std::map<std::string, int> made;
  for (const auto &fault : faults) made[fault.first] = sim::CallCount(fault.first);
  ASSERT_EQ(Start(u"/restore E:\\Sicherung /offline"), 0) << Console();
  for (const auto &fault : faults) made[fault.first] = sim::CallCount(fault.first) - made[fault.first];
  EXPECT_GT(made["MoveFileExA"], 10);

  int cases = 0;
  for (const auto &fault : faults) {
    for (int index = -1; index < made[fault.first]; index++) {
      ResetForNextRow();
      Prepare();
      readOnlySetFile();
      SCOPED_TRACE(std::string(fault.first) + (index < 0 ? " fails every time" : " fails at call " + std::to_string(index)));
      const auto before = Tree();
      sim::FailCall(fault.first, fault.second, index < 0 ? 0 : index, index < 0 ? -1 : 1);
      const int exitCode = Start(u"/restore E:\\Sicherung /offline");
      sim::ClearFaults();
      const std::string console = Console();
      if (std::string(fault.first) != "CloseHandle") {
        EXPECT_EQ(sim::OpenHandleCount(), 0);
      }
      // The run is the whole process: Windows closes what it left open when it ends. Only an
      // injected CloseHandle failure leaves a handle (on Windows the close of a valid handle of the
      // process's own does not fail); the set's lock file, opened with FILE_FLAG_DELETE_ON_CLOSE, goes
      // then, so the tree below is compared as the user would find it, strictly.
      sim::EndProcess();
      EXPECT_TRUE(sim::MessageBoxes().empty());
      if (exitCode == 0) ExpectReplaced();
      // A staged copy that would not go (a read-only copy whose attribute would not clear either)
      // is named and is the only change: no hive or log was touched.
      const bool leftNamed = console.find("Keine Hive ersetzt, keine Datei verschoben") != std::string::npos;
      if (leftNamed) {
        const auto after = Tree();
        for (const auto &entry : before) {
          EXPECT_TRUE(after.count(entry.first) && after.at(entry.first) == entry.second) << entry.first;
        }
        for (const auto &entry : after) {
          if (before.count(entry.first)) continue;
          EXPECT_NE(entry.first.find(".Brovink-" + kStamp + ".tmp"), std::string::npos) << entry.first;
          EXPECT_NE(console.find("Nicht entfernt: " + entry.first + " ("), std::string::npos) << entry.first;
        }
      } else if (Tree() != before) {
        EXPECT_TRUE(exitCode == 0 || console.find("Rueckgaengig.bat stellt alle Dateien wieder her") != std::string::npos)
            << "changed without a way back:\n" << console;
        RunUndoScript(kUndo);
        EXPECT_TRUE(Tree() == before) << console;
      }
      cases++;
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(cases, 50);
}

}  // namespace
