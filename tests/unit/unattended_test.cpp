// The unattended mode through the process entry: command lines and their exit codes, what is
// written and where the reports go (console, redirected output, event log), retention only after a
// whole run, and /verify. No window and no box may ever appear, except the help without a console.
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "workflows/backup_set.h"
#include "sim_test.h"

namespace {

const char kUser[] = "s-1-5-21-1-2-3-1000";

class UnattendedTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Prepare(sim::StartedFrom::ParentConsole);
  }

  static void Prepare(sim::StartedFrom from) {
    sim::AddDrive('D', "\\Device\\HarddiskVolume2");
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u\\NTUSER.DAT");
    sim::SetStartedFrom(from);
  }

  static int Start(const std::u16string &arguments) {
    sim::SetCommandLine(u"\"C:\\Program Files\\Brovink\\Brovink.exe\" " + arguments);
    return WinMain(sim::ProgramInstance(), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
  }

  // The console's UTF-16 text as Windows-1252 bytes, to compare with the program's literals.
  static std::string Console() {
    std::string text;
    for (char16_t c : sim::ConsoleText()) text += c < 0x100 ? static_cast<char>(c) : '?';
    return text;
  }

  static void ExpectNoWindow() {
    EXPECT_EQ(sim::CallCount("CreateDialogIndirectParamA"), 0) << "a window was made";
    EXPECT_TRUE(sim::MessageBoxes().empty()) << "a box was shown";
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    EXPECT_EQ(sim::OpenKeyCount(), 0);
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
  }

  // The events as "type id text".
  static std::vector<std::string> Events() {
    std::vector<std::string> events;
    for (const sim::EventRecord &record : sim::EventLogEntries()) {
      EXPECT_EQ(record.source, "Brovink");
      EXPECT_EQ(record.strings.size(), 1u);
      events.push_back(std::to_string(record.type) + " " + std::to_string(record.id) + " " +
                       (record.strings.empty() ? "" : record.strings[0]));
    }
    return events;
  }

  // Changes one byte of a value's data inside a file (the text as it stands, or in UTF-16), so that
  // the file keeps its structure and only its fingerprint can tell.
  static void ChangeOneByte(const std::string &path, const std::string &text) {
    std::string bytes = sim::FileBytes(path);
    std::string wide;
    for (char c : text) wide += std::string{c, '\0'};
    size_t at = bytes.find(text);
    size_t last = text.size() - 1;
    if (at == std::string::npos) {
      at = bytes.find(wide);
      last = wide.size() - 2;
    }
    ASSERT_NE(at, std::string::npos) << path;
    bytes[at + last] ^= 0x01;
    sim::PutFile(path, bytes);
  }

  // SHA256SUMS without the line of one file, as a run whose save of it failed writes it.
  static void DropFingerprintLine(const std::string &folder, const std::string &name) {
    std::string sums = sim::FileBytes(folder + "\\SHA256SUMS");
    const size_t at = sums.find("  " + name + "\r\n");
    ASSERT_NE(at, std::string::npos);
    sums.erase(at - 64, 64 + 2 + name.size() + 2);
    sim::PutFile(folder + "\\SHA256SUMS", sums);
  }

  static std::vector<std::string> SetFiles() {
    return {"ConsoleBackup.bat", kUser, "SAM", "SECURITY", "SHA256SUMS", "SOFTWARE", "SYSTEM"};  // NTFS's order
  }
};

TEST_F(UnattendedTest, CommandLinesGiveTheirExitCodeAndWriteOnlyWhatTheyMay) {
  struct Row {
    const char *name;
    std::u16string arguments;
    int exitCode;
    std::string setFolder;  // where a whole set is written; "" for none
    std::string console;    // a line the console shows
    std::vector<std::string> driveD;
    std::string existing = "";  // a folder made beforehand
  };
  const Row rows[] = {
      {"backup into a new folder", u"/backup D:\\B", 0, "D:\\B", "Sicherung fertig: D:\\B", {"B"}},
      {"backup into today's date folder", u"-Backup D:\\B -DATE /keep 3", 0, "D:\\B\\12-08-2026",
       "läuft... SOFTWARE", {"B"}, "D:\\B"},
      {"quoted folder with blanks", u"/backup \"D:\\Meine Sicherung\" /date", 0, "D:\\Meine Sicherung\\12-08-2026",
       "Sicherung fertig: D:\\Meine Sicherung\\12-08-2026", {"Meine Sicherung"}, "D:\\Meine Sicherung"},
      {"drive root with the date", u"/backup D:\\ /date", 0, "D:\\12-08-2026", "Sicherung fertig: D:\\12-08-2026",
       {"12-08-2026"}},
      {"unknown switch", u"/backup D:\\B /force", 2, "", "Unbekannter Schalter: /force", {}},
      {"a forward-slash folder is an unknown switch", u"/backup /daten/x", 2, "", "Unbekannter Schalter: /daten/x", {}},
      {"a switch in the folder's place", u"/backup /date", 2, "", "Nach /backup fehlt der Ordner.", {}},
      {"an argument that is no switch", u"/backup D:\\B extra", 2, "", "Unbekanntes Argument: extra", {}},
      {"missing folder", u"/backup", 2, "", "Nach /backup fehlt der Ordner.", {}},
      {"/keep without /date", u"/backup D:\\B /keep 3", 2, "", "/keep gilt nur zusammen mit /date.", {}},
      {"/keep 0", u"/backup D:\\B /date /keep 0", 2, "", "Nach /keep fehlt eine Anzahl", {}},
      {"a folder two levels below the nearest one", u"/backup D:\\x\\y", 2, "",
       "Sicherung abgebrochen: Der Ordner D:\\x\\y ist nicht verwendbar.", {}},
      {"/date below a missing folder", u"/backup D:\\x /date", 2, "", "Der Ordner D:\\x ist nicht verwendbar.", {}},
      {"a folder the ANSI code page cannot spell", u"/backup D:\\b\u0101ck", 2, "",
       "Der Ordner D:\\b?ck lässt sich in der ANSI-Codepage nicht genau schreiben", {"back"}, "D:\\back"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    Prepare(sim::StartedFrom::ParentConsole);
    if (!row.existing.empty()) sim::MakeFolders(row.existing);
    EXPECT_EQ(Start(row.arguments), row.exitCode);
    EXPECT_NE(Console().find(row.console), std::string::npos) << Console();
    EXPECT_EQ(sim::ListFolder("D:\\"), row.driveD);
    if (!row.setFolder.empty()) {
      EXPECT_EQ(sim::ListFolder(row.setFolder), SetFiles());
      EXPECT_TRUE(sim::HiveFileSnapshot(row.setFolder + "\\SAM") == sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SAM"));
    }
    const std::vector<std::string> events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].substr(0, 4), row.exitCode == 0 ? "4 1 " : "1 1 ");
    ExpectNoWindow();
  }
}

TEST_F(UnattendedTest, AFailedHiveGivesExitCode1AWarningAndNoRetention) {
  sim::MakeFolders("D:\\B");
  ASSERT_EQ(Start(u"/backup D:\\B /date"), 0);
  for (const char *old : {"11-01-2026", "11-02-2026"}) {
    for (const std::string &file : SetFiles()) {
      sim::PutFile(std::string("D:\\B\\") + old + "\\" + file, sim::FileBytes("D:\\B\\12-08-2026\\" + file));
    }
  }
  sim::ClearCallLog();
  const size_t eventsBefore = sim::EventLogEntries().size();
  // SAM, the fourth save, fails both ways (the plain save is only tried after the other failed).
  sim::FailCall("RegSaveKeyExA", ERROR_ACCESS_DENIED, 3);
  sim::FailCall("RegSaveKeyA", ERROR_ACCESS_DENIED);

  EXPECT_EQ(Start(u"/backup D:\\B /date /keep 1"), 1);

  const std::string failure = "Fehler in RegSaveKey: Fehlernummer:  5 in Datei D:\\B\\12-08-2026\\SAM";
  const std::vector<std::string> events = Events();
  ASSERT_EQ(events.size(), eventsBefore + 2);
  EXPECT_EQ(events[eventsBefore], "2 2 " + failure);
  EXPECT_EQ(events[eventsBefore + 1], "1 1 Sicherung unvollständig: 1 Hive(s) in D:\\B\\12-08-2026 nicht gesichert.");
  EXPECT_NE(Console().find(failure + "\r\n"), std::string::npos) << Console();
  EXPECT_EQ(sim::ListFolder("D:\\B"), (std::vector<std::string>{"11-01-2026", "11-02-2026", "12-08-2026"}))
      << "nothing is removed after a run with a failure";
  ExpectNoWindow();

  // The next whole run removes the older sets.
  EXPECT_EQ(Start(u"/backup D:\\B /date /keep 1"), 0);
  EXPECT_EQ(sim::ListFolder("D:\\B"), (std::vector<std::string>{"12-08-2026"}));
  EXPECT_EQ(Events().back(), "4 1 Sicherung fertig: D:\\B\\12-08-2026\r\nAlte Sicherung entfernt: D:\\B\\11-01-2026"
                             "\r\nAlte Sicherung entfernt: D:\\B\\11-02-2026");
}

// A script or fingerprint that could not be written is a failed backup like a failed hive: the
// report as a warning, exit code 1, no retention.
TEST_F(UnattendedTest, AScriptThatWasNotWrittenGivesExitCode1AndNoRetention) {
  for (const char *older : {"11-01-2026", "11-02-2026"}) {
    ASSERT_EQ(Start(u"/backup D:\\B"), 0);
    for (const std::string &name : SetFiles()) {
      ASSERT_TRUE(MoveFileExA(("D:\\B\\" + name).c_str(), (std::string("D:\\B\\") + older + "\\" + name).c_str(), 0) ||
                  (CreateDirectoryA((std::string("D:\\B\\") + older).c_str(), nullptr) &&
                   MoveFileExA(("D:\\B\\" + name).c_str(), (std::string("D:\\B\\") + older + "\\" + name).c_str(), 0)));
    }
  }
  sim::PutFile("D:\\B\\12-08-2026\\ConsoleBackup.bat", "alt");
  sim::HoldOpen("D:\\B\\12-08-2026\\ConsoleBackup.bat", 0);
  const size_t eventsBefore = sim::EventLogEntries().size();
  const size_t consoleBefore = Console().size();

  EXPECT_EQ(Start(u"/backup D:\\B /date /keep 1"), 1);

  const std::string failure = "Fehler in CreateFile: Fehlernummer:  32 in Datei D:\\B\\12-08-2026\\ConsoleBackup.bat";
  const std::vector<std::string> events = Events();
  ASSERT_EQ(events.size(), eventsBefore + 2);
  EXPECT_EQ(events[eventsBefore], "2 2 " + failure);
  EXPECT_EQ(events[eventsBefore + 1],
            "1 1 Sicherung unvollständig: 1 Datei(en) der Sicherung in D:\\B\\12-08-2026 nicht geschrieben.");
  EXPECT_NE(Console().find(failure + "\r\n"), std::string::npos) << Console();
  EXPECT_EQ(Console().find("Sicherung fertig", consoleBefore), std::string::npos) << Console();
  EXPECT_EQ(sim::ListFolder("D:\\B"), (std::vector<std::string>{"11-01-2026", "11-02-2026", "12-08-2026"}))
      << "nothing is removed after a run with a failure";
  ExpectNoWindow();
}

// The one path-length rule: the longest path the run would write (here a user hive's file) must
// fit; a folder where it does not is refused with exit code 2 before anything is written.
TEST_F(UnattendedTest, AFolderWhoseLongestPathDoesNotFitIsRefusedBeforeAnythingIsWritten) {
  struct Row {
    const char *name;
    size_t folderLength;  // "D:\" and then letters
    int exitCode;
  } rows[] = {
      {"the user hive's path has 255 characters", 255 - 1 - sizeof kUser + 1, 0},
      {"the user hive's path would have 256", 256 - 1 - sizeof kUser + 1, 2},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    Prepare(sim::StartedFrom::ParentConsole);
    const std::string folder = "D:\\" + std::string(row.folderLength - 3, 'x');
    std::u16string argument;
    for (char c : folder) argument += static_cast<char16_t>(c);
    ASSERT_EQ(SetPathsFit(folder), row.exitCode == 0);

    EXPECT_EQ(Start(u"/backup " + argument), row.exitCode);

    if (row.exitCode == 0) {
      EXPECT_EQ(sim::ListFolder(folder), SetFiles());
    } else {
      EXPECT_EQ(sim::ListFolder("D:\\"), std::vector<std::string>{});
      EXPECT_NE(Console().find("Sicherung abgebrochen: Der Ordner " + folder + " ist nicht verwendbar."), std::string::npos);
    }
    ExpectNoWindow();
  }
}

// A loaded-hive list entry that cannot be read may hide a user hive: the run is incomplete, the
// warning names the entry, and no older set (which may hold that hive) is removed.
TEST_F(UnattendedTest, AnUnreadableHiveListEntryGivesExitCode1AndNoRetention) {
  const std::string entry = "\\REGISTRY\\USER\\S-1-5-21-1-2-3-1005";
  sim::AddHiveListValue(entry, "\\Device\\HarddiskVolume1\\" + std::string(300, 'p'));
  sim::LoadUserHive("S-1-5-21-1-2-3-1006", "\\Device\\HarddiskVolume1\\Users\\w\\NTUSER.DAT");
  sim::MakeFolders("D:\\B");
  for (const std::string &file : SetFiles()) sim::PutFile("D:\\B\\11-01-2026\\" + file, "");
  ASSERT_EQ(Start(u"/backup D:\\B\\11-01-2026"), 1);
  sim::ClearCallLog();
  const size_t eventsBefore = sim::EventLogEntries().size();

  EXPECT_EQ(Start(u"/backup D:\\B /date /keep 1"), 1);

  const std::string warning = "Fehler in RegEnumValue: Fehlernummer:  234 in Eintrag " + entry +
                              " der Liste geladener Hives: seine Hive wurde nicht gesichert.";
  const std::vector<std::string> events = Events();
  ASSERT_EQ(events.size(), eventsBefore + 2);
  EXPECT_EQ(events[eventsBefore], "2 2 " + warning);
  EXPECT_EQ(events[eventsBefore + 1], "1 1 Sicherung unvollständig: 1 Hive(s) in D:\\B\\12-08-2026 nicht gesichert.");
  EXPECT_NE(Console().find(warning + "\r\n"), std::string::npos) << Console();
  EXPECT_TRUE(sim::FileExists("D:\\B\\12-08-2026\\s-1-5-21-1-2-3-1006")) << "the entries after it are read";
  EXPECT_EQ(sim::ListFolder("D:\\B"), (std::vector<std::string>{"11-01-2026", "12-08-2026"}));
  ExpectNoWindow();
}

// Retention that cannot remove a file leaves the renamed folder, warns on the console and in the
// event log (id 3), and says so in the summary; the exit code stays the backup's. The next run
// finishes the folder.
TEST_F(UnattendedTest, RetentionWarnsOfWhatItLeavesAndTheNextRunFinishesIt) {
  sim::MakeFolders("D:\\B");
  ASSERT_EQ(Start(u"/backup D:\\B\\11-01-2026"), 0);
  ASSERT_EQ(Start(u"/backup D:\\B\\11-02-2026"), 0);
  sim::ClearCallLog();
  SetFileAttributesA("D:\\B\\11-01-2026\\SECURITY", FILE_ATTRIBUTE_READONLY);
  sim::HoldOpen("D:\\B\\11-02-2026\\ConsoleBackup.bat", FILE_SHARE_READ);  // keeps the folder from its rename
  const size_t eventsBefore = sim::EventLogEntries().size();

  EXPECT_EQ(Start(u"/backup D:\\B /date /keep 1"), 0);

  const std::string leftover =
      "Alte Sicherung nicht vollständig entfernt: D:\\B\\11-01-2026.wird-entfernt\\SECURITY (Fehlernummer:  5); der "
      "nächste Lauf mit /keep entfernt den Rest von D:\\B\\11-01-2026.wird-entfernt.";
  const std::string kept = "Alte Sicherung nicht entfernt: D:\\B\\11-02-2026 (Fehlernummer:  5); sie bleibt ganz, der "
                           "nächste Lauf mit /keep versucht es wieder.";
  const std::string summary = "Sicherung fertig: D:\\B\\12-08-2026 (alte Sicherung nicht vollständig entfernt: "
                              "D:\\B\\11-01-2026.wird-entfernt, D:\\B\\11-02-2026)";
  const std::vector<std::string> events = Events();
  EXPECT_EQ(std::vector<std::string>(events.begin() + static_cast<long>(eventsBefore), events.end()),
            (std::vector<std::string>{"2 3 " + leftover, "2 3 " + kept, "2 1 " + summary}));
  for (const std::string &line : {leftover, kept, summary}) {
    EXPECT_NE(Console().find(line + "\r\n"), std::string::npos) << line;
  }
  EXPECT_EQ(sim::ListFolder("D:\\B"), (std::vector<std::string>{"11-01-2026.wird-entfernt", "11-02-2026", "12-08-2026"}));
  EXPECT_EQ(sim::ListFolder("D:\\B\\11-01-2026.wird-entfernt"), std::vector<std::string>{"SECURITY"});
  EXPECT_EQ(sim::ListFolder("D:\\B\\11-02-2026"), SetFiles());

  // The read-only mark goes and the other program closes its file: the next run finishes both.
  SetFileAttributesA("D:\\B\\11-01-2026.wird-entfernt\\SECURITY", 0);
  sim::ReleaseHold("D:\\B\\11-02-2026\\ConsoleBackup.bat");
  EXPECT_EQ(Start(u"/backup D:\\B /date /keep 1"), 0);
  EXPECT_EQ(sim::ListFolder("D:\\B"), std::vector<std::string>{"12-08-2026"});
  EXPECT_EQ(Events().back(), "4 1 Sicherung fertig: D:\\B\\12-08-2026\r\nAlte Sicherung entfernt: "
                             "D:\\B\\11-01-2026.wird-entfernt\r\nAlte Sicherung entfernt: D:\\B\\11-02-2026");
  ExpectNoWindow();
}

// The folder is made absolute once, as Windows resolves it, so that the set lands where the user
// meant and the script's copy lines work from anywhere.
TEST_F(UnattendedTest, RelativeFoldersAreResolvedOnceAtTheStart) {
  struct Row {
    const char *name;
    std::u16string arguments;
    std::string current;  // the current directory
    std::string set;      // where the set is written
  };
  const Row rows[] = {
      {"relative to the current directory", u"/backup b", "C:\\Users\\admin", "C:\\Users\\admin\\b"},
      {"the drive alone is its current directory", u"/backup D: /date", "D:\\sub", "D:\\sub\\12-08-2026"},
      {"drive-relative", u"/backup D:x", "D:\\sub", "D:\\sub\\x"},
      {"trailing dots and blanks go", u"/backup \"b. .\"", "C:\\Users\\admin", "C:\\Users\\admin\\b"},
      {"up and forward slashes", u"/backup ..\\admin/c", "C:\\Users\\admin", "C:\\Users\\admin\\c"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    Prepare(sim::StartedFrom::ParentConsole);
    sim::MakeFolders(row.current);
    sim::SetCurrentDirectory(row.current);
    EXPECT_EQ(Start(row.arguments), 0);
    EXPECT_EQ(sim::ListFolder(row.set), SetFiles());
    const std::string script = sim::FileBytes(row.set + "\\ConsoleBackup.bat");
    EXPECT_NE(script.find("copy \"" + row.set + "\\SOFTWARE\" C:\\WINDOWS\\System32\\config\\"), std::string::npos)
        << script;
    EXPECT_NE(Console().find("Sicherung fertig: " + row.set + "\r\n"), std::string::npos) << Console();
  }
}

// A console gets UTF-16; a file or pipe gets the bytes of the code page a console reads there:
// the console's output code page (the parent's, asked and let go again, for Brovink.exe), else the
// OEM code page (850 on this machine: \x84 is "ä").
TEST_F(UnattendedTest, ReportsGoWhereTheStartAllows) {
  struct Row {
    const char *name;
    sim::StartedFrom from;
    bool consoleProgram;     // Brovink.com
    UINT codePage;           // chcp; 0: the OEM code page
    bool noParentConsole;    // AttachConsole fails
    std::string console;     // as Windows-1252 bytes
    std::string redirected;  // the bytes written to a redirected output
    bool attached;           // a console afterwards
  };
  const Row rows[] = {
      {"Task Scheduler: no console, the event log alone", sim::StartedFrom::None, false, 0, false, "", "", false},
      {"a console window: UTF-16 text, so that ä shows as ä", sim::StartedFrom::ParentConsole, false, 0, false,
       "läuft... SOFTWARE\r\n", "", true},
      {"redirected into a file: the parent console's code page, OEM", sim::StartedFrom::Redirected, false, 0, false, "",
       "l\x84uft... SOFTWARE\r\n", false},
      {"redirected after chcp 65001: UTF-8", sim::StartedFrom::Redirected, false, CP_UTF8, false, "",
       "l\xC3\xA4uft... SOFTWARE\r\n", false},
      {"redirected without a console to ask: the OEM code page", sim::StartedFrom::Redirected, false, CP_UTF8, true, "",
       "l\x84uft... SOFTWARE\r\n", false},
      {"Brovink.com in a console window: UTF-16 without attaching", sim::StartedFrom::ParentConsole, true, 0, false,
       "läuft... SOFTWARE\r\n", "", true},
      {"Brovink.com redirected after chcp 1252: its own console's code page", sim::StartedFrom::Redirected, true, 1252,
       false, "", "läuft... SOFTWARE\r\n", true},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    Prepare(row.from);
    sim::SetConsoleProgram(row.consoleProgram);
    sim::SetConsoleCodePage(row.codePage);
    if (row.noParentConsole) sim::FailCall("AttachConsole", ERROR_INVALID_HANDLE);
    EXPECT_EQ(Start(u"/backup D:\\B"), 0);
    EXPECT_EQ(sim::ListFolder("D:\\B"), SetFiles());
    EXPECT_EQ(Console().substr(0, row.console.size()), row.console);
    EXPECT_EQ(Console().empty(), row.console.empty());
    EXPECT_EQ(sim::RedirectedOutput().substr(0, row.redirected.size()), row.redirected);
    EXPECT_EQ(sim::RedirectedOutput().empty(), row.redirected.empty());
    EXPECT_EQ(sim::ConsoleAttached(), row.attached);
    EXPECT_EQ(sim::CallCount("AttachConsole"), row.consoleProgram ? 0 : 1) << "Brovink.com has its console";
    EXPECT_EQ(Events(), (std::vector<std::string>{"4 1 Sicherung fertig: D:\\B"}));
    ExpectNoWindow();
  }
  for (char16_t c : sim::ConsoleText()) EXPECT_LT(c, 0x100);
}

TEST_F(UnattendedTest, VerifyChecksASetAsTheRestoreDoesAndChangesNothing) {
  struct Row {
    const char *name;
    void (*damage)();
    int exitCode;
    std::vector<std::string> lines;  // lines the console shows
  };
  const Row rows[] = {
      {"a sound set", [] {}, 0,
       {"D:\\S\\SOFTWARE ist in Ordnung", "D:\\S\\SAM ist in Ordnung", std::string("D:\\S\\") + kUser + " ist in Ordnung",
        "D:\\S\\ConsoleBackup.bat ist in Ordnung", "Jede Datei wurde mit SHA256SUMS verglichen.",
        "Die Sicherung in D:\\S ist in Ordnung."}},
      {"one byte of a hive's value changed", [] { ChangeOneByte("D:\\S\\SOFTWARE", "Microsoft Windows XP"); }, 1,
       {"D:\\S\\SOFTWARE wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)", "D:\\S\\SYSTEM ist in Ordnung",
        "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"one byte of the script changed", [] { ChangeOneByte("D:\\S\\ConsoleBackup.bat", "allowallpaths"); }, 1,
       {"D:\\S\\ConsoleBackup.bat wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)",
        "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"a hive the last run did not write", [] { DropFingerprintLine("D:\\S", "SYSTEM"); }, 1,
       {"D:\\S\\SYSTEM wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)",
        "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"SHA256SUMS cut in the middle of a line",
       [] { sim::PutFile("D:\\S\\SHA256SUMS", sim::FileBytes("D:\\S\\SHA256SUMS").substr(0, 100)); }, 1,
       {"D:\\S\\SHA256SUMS ist beschädigt", "D:\\S\\SOFTWARE ist in Ordnung", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"a set of an earlier version, without SHA256SUMS", [] { DeleteFileA("D:\\S\\SHA256SUMS"); }, 0,
       {"D:\\S\\SOFTWARE ist in Ordnung",
        "Keine SHA256SUMS (Sicherung einer älteren Version): nur der Aufbau der Dateien wurde geprüft.",
        "Die Sicherung in D:\\S ist in Ordnung."}},
      {"a 0-byte file", [] { sim::PutFile("D:\\S\\SYSTEM", ""); }, 1,
       {"D:\\S\\SYSTEM ist leer", "D:\\S\\SOFTWARE ist in Ordnung", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"a folder in place of a hive",
       [] {
         DeleteFileA("D:\\S\\SECURITY");
         sim::MakeFolders("D:\\S\\SECURITY");
       },
       1, {"D:\\S\\SECURITY ist ein Ordner", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"a missing SAM", [] { DeleteFileA("D:\\S\\SAM"); }, 1,
       {"D:\\S\\SAM fehlt", "D:\\S\\SYSTEM ist in Ordnung", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"a user hive file that is no hive", [] { sim::PutFile(std::string("D:\\S\\") + kUser, "kein Hive"); }, 1,
       {std::string("D:\\S\\") + kUser + " ist keine Registry-Datei"}},
      {"a user hive file cut after its signature", [] { sim::PutFile(std::string("D:\\S\\") + kUser, "regf"); }, 1,
       {std::string("D:\\S\\") + kUser + " ist abgeschnitten"}},
      {"SYSTEM holding the SAM hive", [] { sim::PutFile("D:\\S\\SYSTEM", sim::FileBytes("D:\\S\\SAM")); }, 1,
       {"D:\\S\\SYSTEM enthält nicht den Hive SYSTEM", "D:\\S\\SAM ist in Ordnung", "Die Sicherung in D:\\S ist unbrauchbar."}},
      // What the offline restore would refuse: every user hive the script names, logged on now or not.
      {"a user hive the script names, gone with its line in SHA256SUMS",
       [] {
         DeleteFileA((std::string("D:\\S\\") + kUser).c_str());
         DropFingerprintLine("D:\\S", kUser);
       },
       1, {std::string("D:\\S\\") + kUser + " fehlt", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"a user hive the script and SHA256SUMS name, gone",
       [] { DeleteFileA((std::string("D:\\S\\") + kUser).c_str()); }, 1,
       {std::string("D:\\S\\") + kUser + " fehlt", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"an earlier version's set: a damaged hive of a user not logged on now",
       [] {
         DeleteFileA("D:\\S\\SHA256SUMS");
         sim::PutFile("D:\\S\\s-1-5-21-9-9-9-1001", "kein Hive");
         sim::PutFile("D:\\S\\ConsoleBackup.bat", sim::FileBytes("D:\\S\\ConsoleBackup.bat") +
                                                    "copy \"D:\\S\\s-1-5-21-9-9-9-1001\" \"c:\\Users\\u9\\NTUSER.DAT\"\r\n");
       },
       1, {"D:\\S\\s-1-5-21-9-9-9-1001 ist keine Registry-Datei", "Die Sicherung in D:\\S ist unbrauchbar."}},
      {"an earlier version's set without its script",
       [] {
         DeleteFileA("D:\\S\\SHA256SUMS");
         DeleteFileA("D:\\S\\ConsoleBackup.bat");
       },
       1, {"D:\\S\\ConsoleBackup.bat ist nicht lesbar", "Die Sicherung in D:\\S ist unbrauchbar."}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    Prepare(sim::StartedFrom::ParentConsole);
    ASSERT_EQ(Start(u"/backup D:\\S"), 0);
    row.damage();
    std::vector<std::string> before;
    for (const std::string &name : sim::ListFolder("D:\\S")) before.push_back(name + "=" + sim::FileBytes("D:\\S\\" + name));
    sim::ClearCallLog();
    const size_t eventsBefore = sim::EventLogEntries().size();
    const size_t consoleBefore = Console().size();

    EXPECT_EQ(Start(u"/verify D:\\S"), row.exitCode);

    const std::string console = Console().substr(consoleBefore);
    for (const std::string &line : row.lines) {
      const size_t at = console.find(line + "\r\n");
      EXPECT_NE(at, std::string::npos) << console;
      EXPECT_EQ(console.find(line + "\r\n", at + 1), std::string::npos) << "said twice: " << console;
    }
    std::vector<std::string> after;
    for (const std::string &name : sim::ListFolder("D:\\S")) after.push_back(name + "=" + sim::FileBytes("D:\\S\\" + name));
    EXPECT_EQ(after, before);
    EXPECT_EQ(sim::EventLogEntries().size(), eventsBefore) << "a check writes no event";
    ExpectNoWindow();
  }
}

TEST_F(UnattendedTest, VerifyRefusesAFolderThatIsNone) {
  EXPECT_EQ(Start(u"/verify D:\\nichts"), 2);
  EXPECT_NE(Console().find("Der Ordner D:\\nichts ist nicht verwendbar."), std::string::npos) << Console();
  EXPECT_EQ(sim::ListFolder("D:\\"), std::vector<std::string>{});
  ExpectNoWindow();
}

// The backup drive's letter now names an empty card reader: a run without a window fails the look
// at it at once, with its refusal, instead of waiting in Windows' box for a disk nobody inserts.
TEST_F(UnattendedTest, ADriveWithoutAMediumIsRefusedWithoutAsking) {
  struct Row {
    const char *name;
    std::u16string arguments;
    std::string console;
  };
  const Row rows[] = {
      {"backup", u"/backup E:\\B", "Sicherung abgebrochen: Der Ordner E:\\B ist nicht verwendbar."},
      {"backup into the date folder", u"/backup E:\\B /date /keep 2", "Sicherung abgebrochen: Der Ordner E:\\B ist"},
      {"verify", u"/verify E:\\B", "Prüfung abgebrochen: Der Ordner E:\\B ist nicht verwendbar."},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    Prepare(sim::StartedFrom::ParentConsole);
    sim::AddDrive('E', "\\Device\\Harddisk1\\DR1");
    sim::RemoveMedium('E');
    EXPECT_EQ(Start(row.arguments), 2);
    EXPECT_NE(Console().find(row.console), std::string::npos) << Console();
    EXPECT_EQ(sim::CriticalErrorBoxes(), 0) << "Windows asked for a disk";
    ExpectNoWindow();
  }
}

TEST_F(UnattendedTest, HelpOnTheConsoleOrInABoxWithoutOne) {
  EXPECT_EQ(Start(u"/?"), 0);
  EXPECT_NE(Console().find("Brovink.exe /backup <Ordner> [/date] [/keep <n>]"), std::string::npos) << Console();
  ExpectNoWindow();

  ResetForNextRow();
  Prepare(sim::StartedFrom::None);
  sim::AnswerMessageBox(IDOK);
  EXPECT_EQ(Start(u"-?"), 0);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption, "Brovink: Registry Sicherung");
  EXPECT_NE(sim::MessageBoxes()[0].text.find("Exit-Code: 0"), std::string::npos);
  EXPECT_EQ(sim::MessageBoxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(sim::CallCount("CreateDialogIndirectParamA"), 0);
}

}  // namespace
