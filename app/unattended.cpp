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
#include "services/ansi_path.h"
#include "services/file_helpers.h"
#include "services/folder_lock.h"
#include "services/report.h"
#include "services/text_ops.h"
#include "workflows/backup.h"
#include "workflows/backup_set.h"
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
    "    Sicherung, die vollständig geschrieben wurde (jede Hive, das Skript und SHA256SUMS).\r\n"
    "Brovink.exe /verify <Ordner>\r\n"
    "    prüft die Sicherung in <Ordner> wie die Wiederherstellung, jede Datei auch mit SHA256SUMS,\r\n"
    "    ohne etwas zu ändern.\r\n"
"Brovink.exe /restore <Ordner> /offline [<Windows-Ordner>]\r\n"
    "    stellt die Sicherung in <Ordner> in einem Windows wieder her, das nicht läuft (etwa von der\r\n"
    "    Eingabeaufforderung der Windows-Wiederherstellungsumgebung); ohne <Windows-Ordner> wird das\r\n"
    "    eine \\Windows gesucht. Rueckgaengig.bat im Ordner Brovink-... macht es rückgängig.\r\n"
    "Brovink.exe /?              zeigt diese Hilfe.\r\n"
    "\r\n"
    "Exit-Code: 0 alles gesichert oder Sicherung in Ordnung; 1 eine Hive, das Skript oder\r\n"
    "SHA256SUMS nicht geschrieben, oder Sicherung unbrauchbar; 2 Befehlszeile oder Ordner nicht\r\n"
    "verwendbar oder von einem anderen Lauf belegt, nichts geschrieben.\r\n"
    "Meldungen erscheinen hier und im Anwendungsprotokoll (Quelle \"Brovink\").\r\n"
    "In cmd und PowerShell wartet \"Brovink\" (Brovink.com) auf das Ende, Brovink.exe nur mit \"start /wait\".";

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

// The folder as Windows resolves it, made once at the start so that every path of the run (the
// script's copy lines too) is absolute: a relative folder against the current directory, a
// drive-relative one ("Y:", "Y:sub") against that drive's current directory, trailing dots and
// blanks dropped. False when the result is no exact ANSI text or does not fit.
bool FullFolder(const std::string &folder, std::string *full) {
  full->clear();
  const int units = MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, nullptr, 0);
  if (units <= 0) return false;
  std::vector<WCHAR> wide(static_cast<size_t>(units));
  if (MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide.data(), units) != units) return false;
  std::vector<WCHAR> buffer(MAX_PATH);
  DWORD length = GetFullPathNameW(wide.data(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = GetFullPathNameW(wide.data(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  if (length == 0 || length >= buffer.size()) return false;
  return ExactAnsiText(buffer.data(), full) && FitsBuffer(*full, MAX_PATH);
}

// What retention removed and left, on the console; each leftover also as a warning event. The text
// the summary adds when something was left, "" otherwise.
std::string TellRetention(const ConsoleOut &out, const RetentionResult &retention, std::string *summary) {
  for (const std::string &removed : retention.removed) {
    WriteConsoleLine(out, "Alte Sicherung entfernt: " + removed);
    *summary += "\r\nAlte Sicherung entfernt: " + removed;
  }
  std::vector<std::string> folders;
  for (const RetentionLeftover &leftover : retention.leftovers) {
    const std::string text = "Alte Sicherung nicht vollständig entfernt: " + leftover.file + " (Fehlernummer: " +
                             NumberText(static_cast<long>(leftover.code)) + "); der nächste Lauf mit /keep entfernt den Rest von " +
                             leftover.folder + ".";
    WriteConsoleLine(out, text);
    WriteEventLog(EVENTLOG_WARNING_TYPE, kEventRetentionLeftover, text);
    if (std::find(folders.begin(), folders.end(), leftover.folder) == folders.end()) folders.push_back(leftover.folder);
  }
  for (const RetentionLeftover &kept : retention.kept) {
    const std::string text = "Alte Sicherung nicht entfernt: " + kept.folder + " (Fehlernummer: " +
                             NumberText(static_cast<long>(kept.code)) + "); sie bleibt ganz, der nächste Lauf mit /keep versucht es wieder.";
    WriteConsoleLine(out, text);
    WriteEventLog(EVENTLOG_WARNING_TYPE, kEventRetentionLeftover, text);
    folders.push_back(kept.folder);
  }
  std::string note;
  for (const std::string &folder : folders) note += (note.empty() ? "" : ", ") + folder;
  return note.empty() ? "" : " (alte Sicherung nicht vollständig entfernt: " + note + ")";
}

int Backup(const ConsoleOut &out, const Command &command) {
  const std::string date = DateText();
  std::string base;
  if (!FullFolder(command.folder, &base)) {
    return Refuse(out, "Sicherung abgebrochen: Der Ordner " + command.folder + " ist nicht verwendbar.");
  }
  const std::string folder = command.dateFolder ? WithDateFolder(base, date) : base;
  // Every path the run would write must fit the calls that write it (the set's rule, as in the
  // window); checked before the folder is made.
  if ((command.dateFolder && !IsFolder(base)) || !SetPathsFit(folder)) {
    return Refuse(out, "Sicherung abgebrochen: Der Ordner " + base + " ist nicht verwendbar.");
  }
  // The run creates a missing folder itself, one level, as from the window; a folder that cannot
  // be made is refused before anything is written.
  if (PathExists(folder) == 0) CreateFolder(folder);
  if (!IsFolder(folder)) return Refuse(out, "Sicherung abgebrochen: Der Ordner " + folder + " ist nicht verwendbar.");

  long reports = 0;
  RunResult result;
  {
    ScopedReportReceiver receiver([&](const ReportEntry &entry) {
      if (entry.kind == ReportKind::FolderInUse) return;  // the run's refusal, told below
      const std::string text = entry.caption + ": " + entry.text;
      WriteConsoleLine(out, text);
      WriteEventLog(EVENTLOG_WARNING_TYPE, kEventHiveFailed, text);
      reports++;
    });
    ConsoleRunView view(out, folder);
    result = RunBackup(view);
  }
  if (result.folderInUse) return Refuse(out, "Sicherung abgebrochen: " + FolderInUseText(folder));

  if (result.folderRefused) return Refuse(out, "Sicherung abgebrochen: Der Ordner " + folder + " ist nicht verwendbar.");
  // Every other report of a backup run is a hive that was not saved (or a key path it could not
  // use), or a file of the set (script, fingerprint) that was not written.
  const long files = result.failedFiles;
  const long hives = std::max(static_cast<long>(result.failedHives), reports - files);
  if (hives > 0 || files > 0) {
    std::string summary;
    if (files == 0) {
      summary = "Sicherung unvollständig: " + NumberText(hives).substr(1) + " Hive(s) in " + folder + " nicht gesichert.";
    } else {
      summary = "Sicherung unvollständig: " +
                (hives > 0 ? NumberText(hives).substr(1) + " Hive(s) nicht gesichert, " : std::string()) +
                NumberText(files).substr(1) + " Datei(en) der Sicherung in " + folder + " nicht geschrieben.";
    }
    WriteConsoleLine(out, summary);
    WriteEventLog(EVENTLOG_ERROR_TYPE, kEventRunSummary, summary);
    return kExitIncomplete;
  }
  std::string removals;
  std::string note;
  if (command.keep > 0) note = TellRetention(out, RemoveOldSets(base, command.keep, date), &removals);
  // The backup is whole whatever retention left: the exit code stays 0, the summary says it.
  const std::string done = "Sicherung fertig: " + folder + note;
  WriteConsoleLine(out, done);
  WriteEventLog(note.empty() ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_WARNING_TYPE, kEventRunSummary, done + removals);
  return kExitDone;
}

// The restore's check of every file of the set, with its fingerprint when it has one, and the
// machine hives it would miss.
int Verify(const ConsoleOut &out, const Command &command) {
  std::string folder;
  if (!FullFolder(command.folder, &folder) || !SetPathsFit(folder) || !IsFolder(folder)) {
    WriteConsoleLine(out, "Prüfung abgebrochen: Der Ordner " + command.folder + " ist nicht verwendbar.");
    return kExitUnusable;
  }
  // A set that a backup is writing is no set yet: its check would say nothing.
  FolderLock lock;
  if (lock.Take(folder) == FolderLockState::InUse) return Refuse(out, "Prüfung abgebrochen: " + FolderInUseText(folder));
  // With the user hives of the set's script, as the offline restore checks it.
  const SetCheck check = CheckWholeSet(folder);
  // The restore passes a missing machine hive over; a set without one is no whole set.
  for (const std::string &file : check.missing) WriteConsoleLine(out, file + " fehlt");
  if (!check.scriptFault.empty()) WriteConsoleLine(out, check.scriptFault);
  for (const HiveFileCheck &file : check.files) {
    const bool good = file.state == HiveFileState::Good;
    WriteConsoleLine(out, file.file + (good ? " ist in Ordnung" : " " + SetFileReason(file)));
  }
  WriteConsoleLine(out, check.fingerprinted
                            ? "Jede Datei wurde mit SHA256SUMS verglichen."
                            : "Keine SHA256SUMS (Sicherung einer älteren Version): nur der Aufbau der Dateien wurde geprüft.");
  const bool sound = IsCompleteSet(check);
  WriteConsoleLine(out, sound ? "Die Sicherung in " + folder + " ist in Ordnung."
                              : "Die Sicherung in " + folder + " ist unbrauchbar.");
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
  // The set's folder made absolute as Windows resolves it, so that a target inside the set is told
  // whatever way the folder was written (relative, with trailing dots).
  std::string folder;
  if (!FullFolder(command.folder, &folder)) {
    WriteConsoleLine(out, "Abgebrochen: Der Ordner " + command.folder + " ist nicht verwendbar.");
    return kExitUnusable;
  }
  const OfflineOutcome outcome = RunOfflineRestore(folder, command.windowsFolder, ConsoleLines(out));
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
  // Without a window nobody may be there to answer Windows' critical-error box: a drive without a
  // medium (an empty card reader or DVD drive where the backup drive's letter used to be) fails the
  // look at it instead of asking "insert a disk" while a scheduled run waits for ever.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
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
