// The unattended mode: the backup run and the set check without a window. The run's status goes to
// the console; each report that the window would show as a box goes to the console and, as a
// warning, to the event log; the run's summary is one more entry of the event log.
#include "app/unattended.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/date_folder.h"
#include "services/console_out.h"
#include "services/event_log.h"
#include "services/file_helpers.h"
#include "services/report.h"
#include "services/text_ops.h"
#include "workflows/backup.h"
#include "workflows/hive_list.h"
#include "workflows/offline_restore.h"
#include "workflows/restore.h"
#include "workflows/retention.h"
#include "workflows/run_view.h"

namespace {

const char kHelpCaption[] = "Brovink: Registry Sicherung";
const char kHelp[] =
    "Brovink: Registry Sicherung\r\n"
    "\r\n"
    "Brovink.exe                 öffnet das Fenster.\r\n"
    "Brovink.exe /backup <Ordner> [/date] [/keep <n>]\r\n"
    "    sichert die Registry ohne Fenster nach <Ordner>, mit /date in dessen Unterordner mit dem\r\n"
    "    heutigen Datum (MM-TT-JJJJ). /keep <n> (nur mit /date) entfernt danach die ältesten\r\n"
    "    Datumsordner, die nur eine Sicherung enthalten, bis auf die neuesten <n>; nur nach einer\r\n"
    "    Sicherung, in der jede Hive gesichert wurde.\r\n"
    "Brovink.exe /verify <Ordner>\r\n"
    "    prüft die Sicherung in <Ordner> wie die Wiederherstellung, ohne etwas zu ändern.\r\n"
    "Brovink.exe /restore <Ordner> /offline [<Windows-Ordner>]\r\n"
    "    stellt die Sicherung in <Ordner> in einem Windows wieder her, das nicht läuft (etwa von der\r\n"
    "    Eingabeaufforderung der Windows-Wiederherstellungsumgebung); ohne <Windows-Ordner> wird das\r\n"
    "    eine \\Windows gesucht. Rueckgaengig.bat im Ordner Brovink-... macht es rückgängig.\r\n"
    "Brovink.exe /?              zeigt diese Hilfe.\r\n"
    "\r\n"
    "Exit-Code: 0 alles gesichert oder Sicherung in Ordnung; 1 eine Hive nicht gesichert oder\r\n"
    "Sicherung unbrauchbar; 2 Befehlszeile oder Ordner nicht verwendbar, nichts geschrieben.\r\n"
    "Meldungen erscheinen hier und im Anwendungsprotokoll (Quelle \"Brovink\").\r\n"
    "Aus cmd mit \"start /wait\" aufrufen, damit cmd auf das Ende wartet.";

// The run's status lines on the console; there is no progress bar and there are no buttons.
class ConsoleRunView : public RunView {
 public:
  ConsoleRunView(const ConsoleOut &out, const std::string &folder) : out_(out), folder_(folder) {}
  void SetStatus(const std::string &text) override {
    if (!text.empty()) WriteConsoleLine(out_, text);
  }
  void SetProgress(int) override {}
  void EnableRunButtons(bool) override {}
  std::string FolderText() override { return folder_; }

 private:
  const ConsoleOut &out_;
  std::string folder_;
};

bool IsFolder(const std::string &path) {
  if (!FitsBuffer(path, MAX_PATH)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A refusal: on the console and, as an error, in the event log.
int Refuse(const ConsoleOut &out, const std::string &text) {
  WriteConsoleLine(out, text);
  WriteEventLog(EVENTLOG_ERROR_TYPE, kEventRunSummary, text);
  return kExitUnusable;
}

int Backup(const ConsoleOut &out, const Command &command) {
  const std::string date = DateText();
  const std::string folder = command.dateFolder ? WithDateFolder(command.folder, date) : command.folder;
  // The set's longest own path must fit the ANSI calls, as in the window.
  if (!FitsBuffer(folder + "\\ConsoleBackup.bat", MAX_PATH) || (command.dateFolder && !IsFolder(command.folder))) {
    return Refuse(out, "Sicherung abgebrochen: Der Ordner " + command.folder + " ist nicht verwendbar.");
  }
  // The run creates a missing folder itself, one level, as from the window; a folder that cannot
  // be made is refused before anything is written.
  if (PathExists(folder) == 0) CreateFolder(folder);
  if (!IsFolder(folder)) return Refuse(out, "Sicherung abgebrochen: Der Ordner " + folder + " ist nicht verwendbar.");

  long reports = 0;
  RunResult result;
  {
    ScopedReportReceiver receiver([&](const ReportEntry &entry) {
      const std::string text = entry.caption + ": " + entry.text;
      WriteConsoleLine(out, text);
      WriteEventLog(EVENTLOG_WARNING_TYPE, kEventHiveFailed, text);
      reports++;
    });
    ConsoleRunView view(out, folder);
    result = RunBackup(view);
  }

  // Every report of a backup run is a hive that was not saved (or a key path it could not use).
  const long failed = std::max(static_cast<long>(result.failedHives), reports);
  if (failed > 0) {
    const std::string summary =
        "Sicherung unvollständig: " + NumberText(failed).substr(1) + " Hive(s) in " + folder + " nicht gesichert.";
    WriteConsoleLine(out, summary);
    WriteEventLog(EVENTLOG_ERROR_TYPE, kEventRunSummary, summary);
    return kExitIncomplete;
  }
  std::string summary = "Sicherung fertig: " + folder;
  if (command.keep > 0) {
    for (const std::string &removed : RemoveOldSets(command.folder, command.keep, date)) {
      WriteConsoleLine(out, "Alte Sicherung entfernt: " + removed);
      summary += "\r\nAlte Sicherung entfernt: " + removed;
    }
  }
  WriteConsoleLine(out, "Sicherung fertig: " + folder);
  WriteEventLog(EVENTLOG_INFORMATION_TYPE, kEventRunSummary, summary);
  return kExitDone;
}

// The restore's check of every file it would use, and the machine hives it would miss.
int Verify(const ConsoleOut &out, const Command &command) {
  if (!FitsBuffer(command.folder + "\\ConsoleBackup.bat", MAX_PATH) || !IsFolder(command.folder)) {
    WriteConsoleLine(out, "Prüfung abgebrochen: Der Ordner " + command.folder + " ist nicht verwendbar.");
    return kExitUnusable;
  }
  const std::vector<HiveFileCheck> checks = CheckBackupSet(command.folder);
  bool sound = true;
  // The restore passes a missing machine hive over; a set without one is no whole set.
  for (const MachineHive &machine : kMachineHives) {
    const std::string file = command.folder + "\\" + machine.hive;
    if (PathExists(file) == 1) continue;
    WriteConsoleLine(out, file + " fehlt");
    sound = false;
  }
  for (const HiveFileCheck &check : checks) {
    const bool good = check.state == HiveFileState::Good;
    WriteConsoleLine(out, check.file + (good ? " ist in Ordnung" : " " + HiveFileReason(check)));
    sound = sound && good;
  }
  WriteConsoleLine(out, sound ? "Die Sicherung in " + command.folder + " ist in Ordnung."
                              : "Die Sicherung in " + command.folder + " ist unbrauchbar.");
  return sound ? kExitDone : kExitIncomplete;
}

class ConsoleLines : public OfflineLine {
 public:
  explicit ConsoleLines(const ConsoleOut &out) : out_(out) {}
  void operator()(const std::string &line) const override { WriteConsoleLine(out_, line); }

 private:
  const ConsoleOut &out_;
};

// No event: the log is the running system's, not that of the Windows restored.
int OfflineRestore(const ConsoleOut &out, const Command &command) {
  const OfflineOutcome outcome = RunOfflineRestore(command.folder, command.windowsFolder, ConsoleLines(out));
  return outcome == OfflineOutcome::Done ? kExitDone : outcome == OfflineOutcome::Failed ? kExitIncomplete : kExitUnusable;
}

int Help(const ConsoleOut &out) {
  if (out.handle) {
    WriteConsoleLine(out, kHelp);
  } else {
    MessageBoxA(nullptr, kHelp, kHelpCaption, MB_OK | MB_ICONINFORMATION);
  }
  return kExitDone;
}

}  // namespace

int RunCommandLine(const Command &command) {
  const ConsoleOut out = OpenConsoleOut();
  switch (command.mode) {
    case CommandMode::Backup:
      return Backup(out, command);
    case CommandMode::Verify:
      return Verify(out, command);
    case CommandMode::OfflineRestore:
      return OfflineRestore(out, command);
    case CommandMode::Help:
      return Help(out);
    default:
      return Refuse(out, "Befehlszeile nicht verwendbar: " + command.error + " Hilfe: Brovink.exe /?");
  }
}
