// Command handling through the real modal loop, driven by the scripted user: the browse button
// with and without the date check box, the check box on its own, backup, restore with its two
// questions and the restart, the keys that do nothing, and quitting.
#include <algorithm>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "sim_test.h"

namespace {

const char kToday[] = "12-08-2026";  // the simulated clock's 8 December 2026
const char kRestoreQuestion[] = "M\xF6" "chten Sie die Registry wirklich wiederherstellen?";
const char kRestartQuestion[] =
    "Die Wiederherstellung ist abgeschlossen, soll der Rechner jetzt neu gestartet werden?";

class CommandsTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Prepare("C:\\Users\\admin");
  }

  // The machine after start-up: D:\Data is empty, D:\Sicherung holds a backup set whose hive files
  // the registry accepts as replacements.
  void Prepare(const std::string &currentFolder) {
    ResetForNextRow();
    InitCommonControls();
    CoInitialize(nullptr);
    sim::AddDrive('d', "\\Device\\HarddiskVolume2");
    sim::MakeFolders("D:\\Data");
    for (const char *hive : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      sim::PutFile(std::string("D:\\Sicherung\\") + hive, sim::HiveSnapshot(std::string("HKEY_LOCAL_MACHINE\\") + hive));
    }
    sim::MakeFolders(currentFolder);
    sim::SetCurrentDirectory(currentFolder);
    sim::MakeFolders("C:\\Users\\admin\\Startmenü\\Programme\\Autostart");
  }

  static void Run() { EXPECT_EQ(ShowMainWindow(nullptr), 0); }
};

TEST_F(CommandsTest, BrowsePutsTheChosenFolderIntoTheFieldWithOrWithoutTheDate) {
  struct Row {
    const char *name;
    bool dateBox;
    const char *answer;  // nullptr: cancelled
    std::string field;
    bool restore;
  };
  const Row rows[] = {
      {"folder", false, "D:\\Data", "D:\\Data", false},
      {"folder with the date", true, "D:\\Data", std::string("D:\\Data\\") + kToday, false},
      {"drive root with the date: one backslash", true, "D:\\", std::string("D:\\") + kToday, false},
      // The button follows the chosen folder, not its date sub-folder.
      {"backup set with the date", true, "D:\\Sicherung", std::string("D:\\Sicherung\\") + kToday, true},
      {"cancel with the date", true, nullptr, std::string("C:\\Users\\admin\\") + kToday, false},
      {"network share with the date keeps its leading backslashes", true, "\\\\server\\share",
       std::string("\\\\server\\share\\") + kToday, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Prepare("C:\\Users\\admin");
    if (row.dateBox) sim::UserClick(IDC_DATEFOLDER);
    sim::UserClick(IDC_BROWSE);
    if (row.answer) {
      sim::AnswerFolderDialog(row.answer);
    } else {
      sim::CancelFolderDialog();
    }
    sim::UserClick(IDC_QUIT);
    Run();
    EXPECT_EQ(sim::ControlText(IDC_FOLDER), row.field);
    EXPECT_EQ(sim::ControlEnabled(IDC_RESTORE), row.restore);
    EXPECT_EQ(sim::ControlChecked(IDC_DATEFOLDER), row.dateBox);
  }
}

TEST_F(CommandsTest, DateBoxAddsAndRemovesTodaysDateFolder) {
  struct Row {
    const char *name;
    const char *currentFolder;
    std::vector<std::string> steps;  // "click" on the date box or "midnight"
    std::vector<std::string> field;  // every text the field was given
  };
  const std::string today = kToday;
  const Row rows[] = {
      {"check and uncheck on the same day", "C:\\Users\\admin", {"click", "click"},
       {"C:\\Users\\admin\\" + today, "C:\\Users\\admin"}},
      {"drive root: C: gets its backslash back", "D:\\", {"click", "click"}, {"D:\\" + today, "D:\\"}},
      // Unchecking gives back what checking took, on any day; checking again takes today's date.
      {"unchecked after midnight", "C:\\Users\\admin", {"click", "midnight", "click", "click"},
       {"C:\\Users\\admin\\" + today, "C:\\Users\\admin", "C:\\Users\\admin\\12-09-2026"}},
      // A folder the user named with a date (as "/backup /date" names them) keeps its name.
      {"today's date already in the folder", "D:\\Backups\\12-08-2026", {"click", "click"},
       {"D:\\Backups\\12-08-2026\\" + today, "D:\\Backups\\12-08-2026"}},
      {"a folder whose name holds the date", "D:\\Sicherung 12-08-2026 vor Update", {"click", "click"},
       {"D:\\Sicherung 12-08-2026 vor Update\\" + today, "D:\\Sicherung 12-08-2026 vor Update"}},
      // A field changed since the date was added is left whole, also one that starts with the date.
      {"a field changed since, starting with the date", "C:\\Users\\admin",
       {"click", "set " + today + "\\x", "click"},
       {"C:\\Users\\admin\\" + today, today + "\\x", today + "\\x"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Prepare(row.currentFolder);
    for (const std::string &step : row.steps) {
      if (step == "click") sim::UserClick(IDC_DATEFOLDER);
      if (step == "midnight") sim::UserDo([]() { sim::SetLocalTime(2026, 12, 9, 0, 0, 1); });
      if (step.rfind("set ", 0) == 0) {
        const std::string text = step.substr(4);
        sim::UserDo([text]() { SetWindowTextA(sim::Control(IDC_FOLDER), text.c_str()); });
      }
    }
    sim::UserClick(IDC_QUIT);
    Run();
    EXPECT_EQ(sim::TextHistory(IDC_FOLDER), row.field);
  }
}

TEST_F(CommandsTest, DateBoxAppliesTheRestoreTestToTheNewFolder) {
  Prepare("D:\\Sicherung");
  std::vector<bool> restore;
  auto note = [&restore]() { restore.push_back(sim::ControlEnabled(IDC_RESTORE)); };
  sim::UserDo(note);
  sim::UserClick(IDC_DATEFOLDER);
  sim::UserDo(note);
  sim::UserClick(IDC_DATEFOLDER);
  sim::UserDo(note);
  sim::UserClick(IDC_QUIT);
  Run();
  EXPECT_EQ(restore, (std::vector<bool>{true, false, true}));
}

// "Sicherung fertig" only for a complete set: a backup in which nothing could be written (every
// hive, the script and the fingerprint have their box) ends with the run's empty status line.
TEST_F(CommandsTest, FailedBackupEndsWithoutTheDoneText) {
  sim::MakeFolders("D:\\Gesperrt");
  sim::DenyWrites("D:\\Gesperrt");
  sim::UserClick(IDC_BROWSE);
  sim::AnswerFolderDialog("D:\\Gesperrt");
  sim::UserClick(IDC_BACKUP);
  sim::UserClick(IDC_QUIT);
  sim::AnswerMessageBox(IDOK, 6);  // one box per machine hive, the script and the fingerprint
  Run();
  ASSERT_EQ(sim::MessageBoxes().size(), 6u);
  for (const auto &box : sim::MessageBoxes()) EXPECT_EQ(box.caption.rfind("Fehler in ", 0), 0u) << box.caption;
  std::vector<std::string> status = sim::TextHistory(IDC_STATUS);
  ASSERT_GE(status.size(), 1u);
  EXPECT_EQ(status.back(), "");  // the run's own last text
  EXPECT_EQ(std::count(status.begin(), status.end(), "Sicherung fertig"), 0);
  for (int id : {IDC_BROWSE, IDC_BACKUP, IDC_QUIT}) EXPECT_TRUE(sim::ControlEnabled(id)) << id;
  EXPECT_FALSE(sim::ControlEnabled(IDC_RESTORE)) << "the folder holds no set after all";
}

TEST_F(CommandsTest, RestoreAsksFirstAndOffersTheRestartAfterwards) {
  struct Row {
    const char *name;
    std::vector<int> answers;
    bool restored;
    bool restart;
    bool damaged = false;  // SYSTEM of the set is no hive file
    bool registrationFails = false;  // SYSTEM's, after SOFTWARE's
  };
  const Row rows[] = {
      {"No to the restore question changes nothing", {IDNO}, false, false},
      {"Yes, then No to the restart", {IDYES, IDNO}, true, false},
      {"Yes and Yes: the forced reboot", {IDYES, IDYES}, true, true},
      {"Yes to a damaged set: its box, no restart offered", {IDYES, IDOK}, false, false, true},
      {"Yes, but SYSTEM is not registered: no \"fertig\", no restart offered", {IDYES, IDOK, IDOK},
       false, false, false, true},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Prepare("D:\\Sicherung");
    if (row.damaged) sim::PutFile("D:\\Sicherung\\SYSTEM", "kaputt");
    if (row.registrationFails) sim::FailCall("RegReplaceKeyA", ERROR_ACCESS_DENIED, 1);
    for (int answer : row.answers) sim::AnswerMessageBox(answer);
    bool openAfterwards = false;
    sim::UserClick(IDC_RESTORE);
    sim::UserDo([&openAfterwards]() { openAfterwards = IsWindow(sim::MainWindow()) != FALSE; });
    sim::UserClick(IDC_QUIT);
    Run();
    EXPECT_TRUE(openAfterwards);

    const auto &boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), row.answers.size());
    EXPECT_EQ(boxes[0].text, kRestoreQuestion);
    EXPECT_EQ(boxes[0].caption, "Registry wiederherstellen");
    EXPECT_EQ(boxes[0].style, 0x24u);
    EXPECT_EQ(boxes[0].owner, sim::MainWindow()) << "owned, so the window takes no clicks meanwhile";
    if (row.damaged) {
      EXPECT_EQ(boxes[1].caption, "Wiederherstellung abgebrochen");
    } else if (row.registrationFails) {
      EXPECT_EQ(boxes[1].caption, "Fehler in RegReplaceKey");
      EXPECT_EQ(boxes[2].caption, "Wiederherstellung unvollst\xE4ndig");
    } else if (boxes.size() > 1) {
      EXPECT_EQ(boxes[1].text, kRestartQuestion);
      EXPECT_EQ(boxes[1].caption, "Fertig");
      EXPECT_EQ(boxes[1].style, 0x144u) << "MB_DEFBUTTON2: No is the default";
    }
    EXPECT_EQ(sim::Replacements().size(), row.restored ? 4u : row.registrationFails ? 1u : 0u);
    std::vector<std::string> status = sim::TextHistory(IDC_STATUS);
    if (row.registrationFails) {
      ASSERT_FALSE(status.empty());
      EXPECT_EQ(status.back(), "") << "the run's own last text, no \"fertig\"";
    } else if (row.restored) {
      ASSERT_FALSE(status.empty());
      EXPECT_EQ(status.back(), "Wiederherstellung fertig");
    } else {
      EXPECT_TRUE(status.empty());
    }

    ASSERT_EQ(sim::ExitRequests().size(), row.restart ? 1u : 0u);
    if (row.restart) {
      // Programs may still ask to save; only a hanging one is ended.
      EXPECT_EQ(sim::ExitRequests()[0].flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCEIFHUNG));
      EXPECT_EQ(sim::ExitRequests()[0].reason, 0x80020004u) << "planned, operating system: reconfiguration";
      EXPECT_EQ(sim::ExitRequests()[0].result, TRUE) << "the shutdown privilege was enabled first";
    }
  }
}

// A cancelled picker changes nothing: the field and the restore button stay as the last choice
// left them.
TEST_F(CommandsTest, CancelledPickerChangesNothing) {
  sim::UserClick(IDC_BROWSE);
  sim::AnswerFolderDialog("D:\\Sicherung");
  sim::UserClick(IDC_BROWSE);
  sim::CancelFolderDialog();
  sim::UserClick(IDC_QUIT);
  Run();
  EXPECT_EQ(sim::TextHistory(IDC_FOLDER), std::vector<std::string>{"D:\\Sicherung"});
  EXPECT_TRUE(sim::ControlEnabled(IDC_RESTORE));
}

// While a run works, also while one of its boxes is open, the window keeps the session from ending
// and names the reason; before and after it lets it end.
TEST_F(CommandsTest, SessionCannotEndWhileARunWorks) {
  const std::u16string kReason = u"Registry-Sicherung l\u00e4uft";
  struct Row {
    const char *name;
    const char *folder;
    int button;
    std::vector<int> answers;  // queued for the boxes before the run's first error box
    int errorBoxes;
  } rows[] = {
      {"backup into a folder that refuses writes", "D:\\Data", IDC_BACKUP, {}, 6},
      {"restore whose first registration fails", "D:\\Sicherung", IDC_RESTORE, {IDYES}, 1},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Prepare(row.folder);
    sim::DenyWrites("D:\\Data");
    sim::FailCall("RegReplaceKeyA", ERROR_ACCESS_DENIED);
    std::vector<LRESULT> answers;
    std::vector<bool> blocked;
    std::u16string reason;
    auto ask = [&]() {
      answers.push_back(SendMessageA(sim::MainWindow(), WM_QUERYENDSESSION, 0, 0));
      blocked.push_back(sim::ShutdownBlocked(sim::MainWindow(), &reason));
    };
    sim::UserDo(ask);
    for (int answer : row.answers) sim::AnswerMessageBox(answer);
    sim::UserClick(row.button);
    sim::UserDo(ask);  // inside the run's first error box
    for (int i = 0; i < row.errorBoxes; i++) sim::UserAnswer(IDOK);
    sim::UserDo(ask);  // after the run
    sim::UserClick(IDC_QUIT);
    Run();
    sim::ClearFaults();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0], TRUE);
    EXPECT_EQ(answers[1], FALSE);
    EXPECT_EQ(answers[2], TRUE);
    EXPECT_EQ(blocked, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(reason, kReason);
  }
}

TEST_F(CommandsTest, EscapeEnterAndOtherNotificationsDoNothing) {
  std::vector<bool> alive;
  HWND window = nullptr;
  auto note = [&]() {
    window = sim::MainWindow();
    alive.push_back(IsWindow(window) != FALSE);
  };
  sim::UserKey(VK_ESCAPE);
  sim::UserKey(VK_RETURN);
  sim::UserDo(note);
  // A double-click notification of "Quit" is not acted on; code 1 (an accelerator) is.
  sim::UserDo([&]() { SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_QUIT, 5), 0); });
  sim::UserDo(note);
  sim::UserDo([&]() { SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_QUIT, 1), 0); });
  Run();
  EXPECT_EQ(alive, (std::vector<bool>{true, true}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_TRUE(sim::FolderDialogs().empty());
  EXPECT_EQ(sim::TextHistory(IDC_FOLDER), std::vector<std::string>{});
}

// A hive save that fails opens an unowned box while "Sichern" runs. The user clicks the date
// check box twice, "Wiederherstellen" and asks to close the window: none of it may start a run,
// change the field or the buttons; the close waits for the end of the backup.
TEST_F(CommandsTest, NothingInTheWindowActsWhileABackupShowsItsBox) {
  Prepare("D:\\Block");
  for (const char *hive : {"SYSTEM", "SAM"}) sim::PutFile(std::string("D:\\Block\\") + hive, "old");
  sim::MakeFolders("D:\\Block\\SOFTWARE");
  struct Inside {
    std::string field;
    bool checked, restore, alive;
  };
  std::vector<Inside> inside;
  auto note = [&inside]() {
    inside.push_back(Inside{sim::ControlText(IDC_FOLDER), sim::ControlChecked(IDC_DATEFOLDER),
                            sim::ControlEnabled(IDC_RESTORE), IsWindow(sim::MainWindow()) != FALSE});
  };
  sim::UserClick(IDC_BACKUP);
  // Inside the box of the failed SOFTWARE save:
  sim::UserClick(IDC_DATEFOLDER);
  sim::UserDo(note);
  sim::UserClick(IDC_DATEFOLDER);
  sim::UserDo(note);
  sim::UserDo([]() {  // "Wiederherstellen" and "Quit" as the keyboard's accelerator would send them
    SendMessageA(sim::MainWindow(), WM_COMMAND, MAKEWPARAM(IDC_RESTORE, 1), 0);
    SendMessageA(sim::MainWindow(), WM_COMMAND, MAKEWPARAM(IDC_QUIT, 1), 0);
  });
  sim::UserClick(IDC_RESTORE);
  sim::UserSysClose();
  sim::UserDo(note);
  sim::UserAnswer(IDOK);
  Run();

  for (const Inside &seen : inside) {
    EXPECT_EQ(seen.field, "D:\\Block");
    EXPECT_FALSE(seen.checked);
    EXPECT_FALSE(seen.restore);
    EXPECT_TRUE(seen.alive);
  }
  ASSERT_EQ(sim::MessageBoxes().size(), 1u) << "no restore question";
  EXPECT_EQ(sim::MessageBoxes()[0].caption.rfind("Fehler in ", 0), 0u);
  EXPECT_TRUE(sim::Replacements().empty());
  EXPECT_EQ(sim::TextHistory(IDC_FOLDER), std::vector<std::string>{});
  EXPECT_EQ(sim::TextHistory(IDC_STATUS).back(), "") << "a failed save: no \"Sicherung fertig\"";
  const std::string script = sim::FileBytes("D:\\Block\\ConsoleBackup.bat");
  EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 5) << script;
  // The close request was carried out after the run had enabled its buttons again.
  const auto &log = sim::CallLog();
  auto destroyed = std::find(log.begin(), log.end(), "DestroyWindow 0");
  auto lastEnable = std::find(log.rbegin(), log.rend(), "EnableWindow 1004 1");
  ASSERT_NE(destroyed, log.end());
  ASSERT_NE(lastEnable, log.rend());
  EXPECT_GT(destroyed - log.begin(), log.rend() - lastEnable - 1);
}

// Each main window keeps its own state. Two windows at once, clicked through BM_CLICK: a second
// window forgets nothing of what the first one's date box added, and while the first one's backup
// shows its box, the second one is not busy.
TEST_F(CommandsTest, EachWindowKeepsItsOwnDateFolderAndBusyState) {
  Prepare("D:\\Block");
  for (const char *hive : {"SYSTEM", "SAM"}) sim::PutFile(std::string("D:\\Block\\") + hive, "old");
  sim::MakeFolders("D:\\Block\\SOFTWARE");  // its save fails with a box
  auto click = [](HWND window, int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); };
  const std::string dated = std::string("D:\\Block\\") + kToday;

  HWND first = CreateMainWindow(nullptr);
  click(first, IDC_DATEFOLDER);
  HWND second = CreateMainWindow(nullptr);
  click(second, IDC_DATEFOLDER);
  click(second, IDC_DATEFOLDER);
  click(first, IDC_DATEFOLDER);
  EXPECT_EQ(ReadFolderField(first), "D:\\Block") << "the first window's date folder is given back";
  EXPECT_EQ(ReadFolderField(second), "D:\\Block");

  std::string secondInside;
  sim::UserDo([&]() {
    click(second, IDC_DATEFOLDER);
    secondInside = ReadFolderField(second);
  });
  sim::UserAnswer(IDOK);
  click(first, IDC_BACKUP);
  EXPECT_EQ(secondInside, dated) << "the second window acts while the first one's backup shows its box";
  EXPECT_TRUE(sim::ControlChecked(IDC_DATEFOLDER));
  EXPECT_EQ(ReadFolderField(first), "D:\\Block");
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].caption.rfind("Fehler in ", 0), 0u);
}

// A window destroyed while its command shows a box (only a test can do that to it) leaves the
// command to end without touching what the window kept.
TEST_F(CommandsTest, AWindowDestroyedDuringItsCommandLetsTheCommandEnd) {
  Prepare("D:\\Sicherung");
  sim::UserClick(IDC_RESTORE);
  sim::UserDo([]() { DestroyWindow(sim::MainWindow()); });
  sim::UserAnswer(IDNO);
  Run();
  EXPECT_FALSE(IsWindow(sim::MainWindow()));
  EXPECT_TRUE(sim::Replacements().empty());
}

// Started in D:\b\u0101ck, whose ANSI path would be D:\back, another folder with a backup set.
// The field stays empty and the user is told; with an empty field no run starts, the date check
// box adds nothing, and the restore test does not look at the root of the current drive.
TEST_F(CommandsTest, FolderTheCodePageCannotSpellIsNeverUsed) {
  const std::string bAck = sim::FsName(u"D:\\b\u0101ck");
  Prepare("C:\\Users\\admin");
  sim::MakeFolders(bAck);
  for (const char *hive : {"SOFTWARE", "SYSTEM", "SAM"}) {
    sim::PutFile(std::string("D:\\back\\") + hive, "stale");
    sim::PutFile(std::string("D:\\") + hive, "root");
  }
  sim::SetCurrentDirectory(bAck);
  const char kRefused[] =
      "Der Ordner \x84" "D:\\b?ck\x93 kann nicht verwendet werden, weil sein Name Zeichen enth\xE4lt, die das "
      "Programm nicht verarbeiten kann. Bitte w\xE4hlen Sie einen anderen Ordner.";
  const char kNoFolder[] =
      "Es ist kein Backup-/Wiederherstellungsordner gew\xE4hlt. Bitte w\xE4hlen Sie mit \x84>>\x93 einen Ordner aus.";
  bool restoreAtStart = true;
  sim::UserDo([&restoreAtStart]() { restoreAtStart = sim::ControlEnabled(IDC_RESTORE); });
  sim::UserAnswer(IDOK);  // the box at start, shown with the window
  sim::UserClick(IDC_DATEFOLDER);
  sim::UserClick(IDC_BACKUP);
  sim::UserAnswer(IDOK);
  sim::UserClick(IDC_BROWSE);  // the picker chooses the same folder: refused again
  sim::AnswerFolderDialog(bAck);
  sim::UserAnswer(IDOK);
  sim::UserClick(IDC_QUIT);
  Run();

  EXPECT_FALSE(restoreAtStart);
  EXPECT_EQ(sim::ControlText(IDC_FOLDER), "");
  EXPECT_EQ(sim::TextHistory(IDC_FOLDER), std::vector<std::string>{});
  EXPECT_TRUE(sim::TextHistory(IDC_STATUS).empty()) << "no run";
  const auto &boxes = sim::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {kRefused, "Ordner nicht verwendbar"}, {kNoFolder, "Kein Ordner gew\xE4hlt"}, {kRefused, "Ordner nicht verwendbar"}};
  for (size_t i = 0; i < boxes.size(); i++) {
    EXPECT_EQ(boxes[i].text, expected[i].first) << i;
    EXPECT_EQ(boxes[i].caption, expected[i].second) << i;
    EXPECT_EQ(boxes[i].style, 0x30u) << i;
    EXPECT_EQ(boxes[i].owner, sim::MainWindow()) << i;
  }
  EXPECT_EQ(sim::ListFolder("D:\\back"), (std::vector<std::string>{"SAM", "SOFTWARE", "SYSTEM"}));
  EXPECT_EQ(sim::FileBytes("D:\\back\\SOFTWARE"), "stale");
  EXPECT_TRUE(sim::ListFolder(bAck).empty());
  EXPECT_FALSE(sim::FileExists("D:\\ConsoleBackup.bat"));
  EXPECT_FALSE(sim::FileExists("C:\\ConsoleBackup.bat"));
}

}  // namespace
