// The offline restore: target, check, plan, stage, undo script, commit. Nothing of the target is
// touched before every file is staged and the undo script is written; from the first move on, the
// undo script names every move of the run.
#include "workflows/offline_restore.h"

#include <cstring>
#include <algorithm>
#include <vector>

#include "platform.h"
#include "services/ansi_path.h"
#include "services/file_helpers.h"
#include "services/folder_lock.h"
#include "services/handles.h"
#include "services/hive_file_check.h"
#include "services/text_ops.h"
#include "workflows/hive_list.h"
#include "workflows/restore.h"

const char kUndoScriptName[] = "Rueckgaengig.bat";

namespace {


// One hive file to put in place.
struct Target {
  std::string source;  // the file of the set
  std::string folder;  // the folder of the hive file
  std::string name;    // the hive file's name in it
  std::string staged;  // the staged copy beside it
  std::string aside;   // the run's folder beside it, for the old files
  std::vector<std::string> oldFiles;  // names in folder that move aside: the hive, then its logs
  bool hadHive = false;
  std::string Path() const { return folder + "\\" + name; }
};

// Names compared as NTFS compares them: through the upper-case table, Windows-1252 letters included.
std::string Fold(const std::string &text) {
  std::string folded = text;
  for (char &c : folded) c = FoldNameCase(c);
  return folded;
}

std::string ErrorText(DWORD code) { return " (Fehler " + NumberText(static_cast<long>(code)).substr(1) + ")"; }

DWORD Attributes(const std::string &path) {
  if (!FitsBuffer(path, MAX_PATH)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);  // as the call itself says for a path it cannot take
    return INVALID_FILE_ATTRIBUTES;
  }
  return GetFileAttributesA(path.c_str());
}
bool IsFolder(const std::string &path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
bool IsFile(const std::string &path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// The first folder on the way to FOLDER ("X:\\name\\...") that is a link (a junction, a symbolic
// link, a volume mount point), or "". A link names its target with the drive letters of the
// installation that made it, and the recovery environment gives the drives letters of its own:
// through a link the run could put a hive into another disk's files.
std::string FirstLink(const std::string &folder) {
  for (size_t end = folder.find('\\', 3);; end = folder.find('\\', end + 1)) {
    const std::string part = folder.substr(0, end);
    const DWORD attributes = Attributes(part);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return part;
    if (end == std::string::npos) return "";
  }
}

const char kThroughLink[] = " ist eine Verknüpfung, deren Ziel hier auf einem anderen Laufwerk liegen kann";
std::string LinkedWindowsText(const std::string &link) {
  return "Abgebrochen: " + link + kThroughLink + "; bitte den Windows-Ordner angeben, auf den sie zeigt.";
}

bool IsRunningWindows(const std::string &windowsFolder) {
  const std::string systemRoot = EnvironmentValue("systemroot");
  return !systemRoot.empty() && Fold(WithoutTrailingBackslash(systemRoot)) == Fold(windowsFolder);
}

// The Windows folder of the run, or "" after the refusal has been said.
std::string FindTarget(const std::string &given, const OfflineLine &say) {
  if (!given.empty()) {
    const std::string folder = WithoutTrailingBackslash(given);
    if (IsPlainFullPath(folder) && IsRunningWindows(folder)) {
      say("Abgebrochen: " + folder + " ist das laufende Windows; seine Hives sind in Gebrauch. "
          "Dafür ist die Wiederherstellung im Fenster da.");
      return "";
    }
    const std::string link = IsPlainFullPath(folder) ? FirstLink(folder + "\\System32\\config") : "";
    if (!link.empty()) {
      say(LinkedWindowsText(link));
      return "";
    }
    if (!IsPlainFullPath(folder) || !IsFolder(folder + "\\System32\\config")) {
      say("Abgebrochen: " + given + " ist kein Windows-Ordner (X:\\Ordner mit System32\\config).");
      return "";
    }
    return folder;
  }
  std::vector<std::string> found;
  for (char letter = 'A'; letter <= 'Z'; letter++) {
    const std::string folder = std::string(1, letter) + ":\\Windows";
    if (IsFile(folder + "\\System32\\config\\SYSTEM") && !IsRunningWindows(folder)) found.push_back(folder);
  }
  if (found.size() == 1) {
    say("Ziel: " + found[0]);
    return found[0];
  }
  say(found.empty() ? "Abgebrochen: Kein Windows-Ordner gefunden (außer dem laufenden)."
                    : "Abgebrochen: Mehrere Windows-Ordner gefunden; bitte einen angeben:");
  for (const std::string &folder : found) say("  " + folder);
  return "";
}

struct Plan {
  std::vector<Target> targets;
  std::vector<std::string> userHives;  // the user hives' file names in the set, for the check
};

enum class Planned {
  Whole,
  SetFault,     // the script cannot be read, holds a line that is none the backup writes, or names a
                // user hive file the set lacks
  TargetFault,  // a profile folder cannot be looked at
};

// Places the user hives of the set's ConsoleBackup.bat, the reason of a fault said.
Planned PlanUserHives(const std::string &setFolder, const std::string &windowsFolder, Plan *plan,
                      const OfflineLine &say) {
  SetScript script;
  const std::string fault = ReadSetScript(setFolder, &script);
  if (!fault.empty()) {
    say("geprüft: " + fault);
    return Planned::SetFault;
  }
  const char backupDrive = script.backupDrive;
  for (const ScriptUserHive &user : script.userHives) {
    const std::string source = setFolder + "\\" + user.hiveName;
    if (PathExists(source) != 1) {
      say("geprüft: " + source + " fehlt");
      return Planned::SetFault;
    }
    // A profile on the backup day's Windows drive belongs to the target's drive: the letter as
    // written may be another installation's disk in the recovery environment.
    std::string path = user.path;
    const std::string onTarget = windowsFolder.substr(0, 1) + user.path.substr(1);
    if (backupDrive != 0 ? Fold(std::string(1, user.path[0])) == Fold(std::string(1, backupDrive))
                         : PathExists(path) != 1) {
      path = onTarget;
    }
    Target target;
    target.source = source;
    target.folder = path.substr(0, path.rfind('\\'));
    target.name = path.substr(path.rfind('\\') + 1);
    plan->userHives.push_back(user.hiveName);
    const std::string link = FirstLink(target.folder);
    if (!link.empty()) {
      say("übersprungen: " + source + " (der Ordner " + link + kThroughLink + ")");
      continue;
    }
    // Only a folder that is not there skips its hive; one that cannot be looked at stops the run.
    if (Attributes(target.folder) == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        say("Abgebrochen: Der Ordner " + target.folder + " lässt sich nicht prüfen" + ErrorText(error) + ".");
        return Planned::TargetFault;
      }
      say("übersprungen: " + source + " (der Ordner " + target.folder + " fehlt)");
      continue;
    }
    plan->targets.push_back(target);
  }
  return Planned::Whole;
}

// The set's own check with the user hives of its script (the running system's loaded-hive list is
// the recovery environment's, not the target's): with a fingerprint, each of them must be a file the
// last run wrote, with its bytes.
bool CheckSet(const std::string &setFolder, const Plan &plan, const OfflineLine &say) {
  // Each machine hive must be there (one the fingerprint lists and the folder lacks is among the
  // files, the others among the missing).
  const SetCheck check = ::CheckSet(setFolder, plan.userHives);
  for (const std::string &file : check.missing) say("geprüft: " + file + " fehlt");
  for (const HiveFileCheck &file : check.files) {
    const bool good = file.state == HiveFileState::Good;
    say("geprüft: " + file.file + (good ? " ist in Ordnung" : " " + SetFileReason(file)));
  }
  return IsCompleteSet(check);
}

bool IsLogOf(const std::string &foldedHive, const std::string &name) {
  const std::string folded = Fold(name);
  if (folded == foldedHive + ".LOG" || folded == foldedHive + ".LOG1" || folded == foldedHive + ".LOG2") {
    return true;
  }
  auto endsWith = [&](const char *tail) {
    const size_t n = strlen(tail);
    return folded.size() > n && folded.compare(folded.size() - n, n, tail) == 0;
  };
  return folded.rfind(foldedHive + "{", 0) == 0 && (endsWith(".BLF") || endsWith(".REGTRANS-MS"));
}

// The hive file and its transaction logs in the target's folder, from one listing of it: the undo
// script removes a hive file that was not there before, so whether it was there must not rest on a
// call that can fail as if the file were missing. False when the folder cannot be listed, the hive
// is a folder, or a name cannot be moved exactly.
bool FindOldFiles(Target &target, const OfflineLine &say) {
  const std::string pattern = target.folder + "\\*";
  WIN32_FIND_DATAA match;
  SearchOwner search(FindFirstFileA(pattern.c_str(), &match));
  if (!search) {
    say("Abgebrochen: " + target.folder + " lässt sich nicht lesen" + ErrorText(GetLastError()) + ".");
    return false;
  }
  const std::string foldedHive = Fold(target.name);
  std::vector<std::string> logs;
  do {
    const std::string name = match.cFileName;
    const bool isHive = Fold(name) == foldedHive;
    if (!isHive && !IsLogOf(foldedHive, name)) continue;
    if (match.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      say("Abgebrochen: " + target.folder + "\\" + name + " ist ein Ordner.");
      return false;
    }
    // A name the code page cannot spell comes back best-fitted (an O with a macron as a plain O) and
    // would name another file or none: only a name under which the file is found again is moved
    // (when the other file is there too, the name comes twice and the run stops before it starts).
    if (!IsPlainFileName(name) || name.find('?') != std::string::npos || !IsFile(target.folder + "\\" + name)) {
      say("Abgebrochen: " + target.folder + "\\" + name + " lässt sich nicht genau benennen.");
      return false;
    }
    if (isHive) target.hadHive = true;
    (isHive ? target.oldFiles : logs).push_back(name);
  } while (FindNextFileA(search.Get(), &match));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    say("Abgebrochen: " + target.folder + " lässt sich nicht lesen" + ErrorText(GetLastError()) + ".");
    return false;
  }
  target.oldFiles.insert(target.oldFiles.end(), logs.begin(), logs.end());
  return true;
}

std::string StampText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string time;
  for (WORD part : {now.wHour, now.wMinute, now.wSecond}) {
    time += static_cast<char>('0' + part / 10 % 10);
    time += static_cast<char>('0' + part % 10);
  }
  return DateText() + "-" + time;
}

// Every path the run writes or moves, distinct under the file system's name rules and within the
// ANSI calls' limit; no hive put where another hive's log belongs (Windows would replay it into
// that hive), and nothing put into the set itself.
bool PathsAreSound(const std::string &setFolder, const std::vector<Target> &targets, const OfflineLine &say) {
  std::vector<std::string> seen;
  const std::string setPrefix = Fold(WithoutTrailingBackslash(setFolder)) + "\\";
  for (const Target &target : targets) {
    for (const Target &other : targets) {
      if (&other != &target && Fold(other.folder) == Fold(target.folder) && IsLogOf(Fold(other.name), target.name)) {
        say("Abgebrochen: " + target.Path() + " wäre eine Protokolldatei von " + other.Path() + ".");
        return false;
      }
    }
    if (Fold(target.Path()).rfind(setPrefix, 0) == 0) {
      say("Abgebrochen: " + target.Path() + " liegt in der Sicherung selbst.");
      return false;
    }
    std::vector<std::string> paths = {target.Path(), target.staged};
    for (const std::string &name : target.oldFiles) {
      if (Fold(name) != Fold(target.name)) paths.push_back(target.folder + "\\" + name);
      paths.push_back(target.aside + "\\" + name);
    }
    for (const std::string &path : paths) {
      const std::string folded = Fold(path);
      const bool twice = std::find(seen.begin(), seen.end(), folded) != seen.end();
      seen.push_back(folded);
      if (!FitsBuffer(path, MAX_PATH) || twice) {
        say("Abgebrochen: " + path + (FitsBuffer(path, MAX_PATH) ? " käme zweimal vor." : " ist zu lang."));
        return false;
      }
    }
  }
  return true;
}

// A path as cmd reads it inside quotes in a batch file: "%" starts a variable there, "%%" is one "%".
std::string BatchQuoted(const std::string &path) { return "\"" + ReplaceText("%", "%%", path) + "\""; }

// The paths the undo script names, in its order.
struct UndoStep {
  bool move;             // else a delete
  std::string from, to;  // to: only for a move
};
std::vector<UndoStep> UndoSteps(const std::vector<Target> &targets) {
  std::vector<UndoStep> steps;
  for (const Target &target : targets) {
    steps.push_back({false, target.staged, ""});
    if (!target.hadHive) steps.push_back({false, target.Path(), ""});
    // A log the old hive did not have was written for the new one (a start of the restored Windows):
    // beside the old hive, Windows would replay it into that.
    for (const char *log : {".LOG", ".LOG1", ".LOG2"}) {
      bool had = false;
      for (const std::string &name : target.oldFiles) had = had || Fold(name) == Fold(target.name + log);
      if (!had) steps.push_back({false, target.Path() + log, ""});
    }
    for (const std::string &name : target.oldFiles) steps.push_back({true, target.aside + "\\" + name, target.folder + "\\" + name});
  }
  return steps;
}

// Every path of the undo script as cmd will read it: in the OEM code page, in which cmd reads a batch
// file, exactly. A path that code page cannot spell is refused before anything is written: its
// line would name another file or none, and the way back would not be whole.
bool UndoPathsFit(const std::vector<Target> &targets, const OfflineLine &say) {
  std::vector<std::string> paths;
  for (const Target &target : targets) paths.push_back(target.folder);  // the usual reason, named first
  for (const UndoStep &step : UndoSteps(targets)) {
    if (step.move) paths.push_back(step.to);  // the file's own place first
    paths.push_back(step.from);
  }
  for (const std::string &path : paths) {
    std::string oem;
    if (ExactOemText(path, &oem)) continue;
    say("Abgebrochen: " + path + " lässt sich in der Codepage " + NumberText(static_cast<long>(GetOEMCP())).substr(1) +
        " der Eingabeaufforderung nicht schreiben; " + kUndoScriptName + " könnte es nicht zurücklegen.");
    return false;
  }
  return true;
}

// The undo script: staged copies removed, every old file moved back, a hive that did not exist
// before removed. Each line stands on its own, so the script is right however far the commit got.
// Written in the OEM code page and switching the console to it, so that cmd reads the paths as
// written also where someone changed the console's code page before; delayed expansion off, so
// that a "!" in a name stays one.
std::vector<std::string> UndoLines(const std::vector<Target> &targets) {
  std::vector<std::string> lines = {"@echo off", "chcp " + NumberText(static_cast<long>(GetOEMCP())).substr(1) + " >nul 2>nul",
                                    "setlocal DisableDelayedExpansion"};
  for (const UndoStep &step : UndoSteps(targets)) {
    const std::string from = BatchQuoted(step.from);
    // del passes hidden and system files over unless /a is given: a staged copy of a hidden set file
    // is one.
    lines.push_back("if exist " + from + (step.move ? " move /y " + from + " " + BatchQuoted(step.to) : " del /f /q /a " + from));
  }
  lines.push_back("echo Brovink: Wiederherstellung rueckgaengig gemacht.");
  return lines;
}

// On the disk before the first move: flushed, so that the way back is there also after a power cut.
bool WriteUndoScript(const std::string &path, const std::vector<Target> &targets) {
  TextFile script;
  int result = TextFileOpen(script, path);
  for (const std::string &line : UndoLines(targets)) {
    std::string oem;
    if (!ExactOemText(line, &oem)) result = result == 0 ? -1 : result;  // UndoPathsFit said no path fails
    if (result == 0) result = TextFileWriteLine(script, oem);
  }
  if (result == 0 && !FlushFileBuffers(script.handle)) result = -1;
  const int closed = TextFileClose(script);
  return result == 0 && closed == 0;
}

// A staged copy's data on the disk before it is renamed into place: the rename is in the file
// system's journal, the data of a copy only in the cache, and a power cut between the two would
// leave a hive file of zeros where a sound one was.
bool FlushFile(const std::string &path) {
  HandleOwner file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && FlushFileBuffers(file.Get());
}

// Takes back what the run made before its first move: staged copies, the undo script, the folders.
// Then says what the target holds: nothing changed, or (when a file of the run would not go) which
// of the run's files are left, none of them a hive or a log.
void RemoveStaging(const std::vector<std::string> &files, const std::vector<std::string> &folders,
                   const OfflineLine &say) {
  bool whole = true;
  for (const std::string &file : files) {
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only copy of a read-only set file
    if (!DeleteFileA(file.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
      say("Nicht entfernt: " + file + ErrorText(GetLastError()));
      whole = false;
    }
  }
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    if (!RemoveDirectoryA(folder->c_str())) {
      say("Nicht entfernt: " + *folder + ErrorText(GetLastError()));
      whole = false;
    }
  }
  say(whole ? "Nichts geändert."
            : "Keine Hive ersetzt, keine Datei verschoben; die nicht entfernten Dateien dieses Laufs können gelöscht werden.");
}

}  // namespace

OfflineOutcome RunOfflineRestore(const std::string &setFolder, const std::string &windowsFolder,
                                 const OfflineLine &say) {
  // A drive without a medium (a card reader, an empty DVD drive) must fail the look at it, not ask
  // in a box that nobody in the recovery environment may be there to answer.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (!FitsBuffer(SetFilePath(setFolder, kConsoleScriptName), MAX_PATH) || !IsFolder(setFolder)) {
    say("Abgebrochen: Der Ordner " + setFolder + " ist nicht verwendbar.");
    return OfflineOutcome::Unusable;
  }
  // One run per set, as for a backup, a restore from the window and /verify: a set that a backup is
  // writing is no set yet. A set on a medium that takes no lock file (a DVD, a write-protected
  // stick) is restored unlocked: nothing else can write there either.
  FolderLock lock;
  if (lock.Take(setFolder) == FolderLockState::InUse) {
    say("Wiederherstellung abgebrochen: " + FolderInUseText(setFolder));
    return OfflineOutcome::Unusable;
  }
  const std::string windows = FindTarget(windowsFolder, say);
  if (windows.empty()) return OfflineOutcome::Unusable;
  const std::string config = windows + "\\System32\\config";
  // A Windows folder found through a link (the search follows it) is refused as a given one is.
  const std::string link = FirstLink(config);
  if (!link.empty()) {
    say(LinkedWindowsText(link));
    return OfflineOutcome::Unusable;
  }
  // One run per installation too: two restores of different sets at once would move each other's
  // files aside.
  FolderLock targetLock;
  if (targetLock.Take(config) == FolderLockState::InUse) {
    say("Wiederherstellung abgebrochen: " + FolderInUseText(config));
    return OfflineOutcome::Unusable;
  }

  // Where each file goes, and the check of every file before anything is written.
  Plan plan;
  for (const MachineHive &machine : kMachineHives) {
    Target target;
    target.source = setFolder + "\\" + machine.hive;
    target.folder = config;
    target.name = machine.hive;
    plan.targets.push_back(target);
  }
  const Planned planned = PlanUserHives(setFolder, windows, &plan, say);
  if (planned == Planned::TargetFault) return OfflineOutcome::Unusable;
  if (!CheckSet(setFolder, plan, say) || planned != Planned::Whole) {
    say("Wiederherstellung abgebrochen: Die Sicherung in " + setFolder + " ist unbrauchbar; nichts geändert.");
    return OfflineOutcome::Failed;
  }

  const std::string stamp = StampText();
  std::vector<std::string> asideFolders;  // the run's folders, the configuration folder's first
  for (Target &target : plan.targets) {
    target.staged = target.Path() + ".Brovink-" + stamp + ".tmp";
    target.aside = target.folder + "\\Brovink-" + stamp;
    bool known = false;
    for (const std::string &folder : asideFolders) known = known || Fold(folder) == Fold(target.aside);
    if (!known) asideFolders.push_back(target.aside);
    if (!FindOldFiles(target, say)) return OfflineOutcome::Unusable;
  }
  const std::string undoScript = asideFolders.front() + "\\" + kUndoScriptName;
  if (!PathsAreSound(setFolder, plan.targets, say) || !FitsBuffer(undoScript, MAX_PATH) ||
      !UndoPathsFit(plan.targets, say)) {
    return OfflineOutcome::Unusable;
  }

  // Stage: every file beside its target under a name of this run; an existing file is never
  // overwritten.
  std::vector<std::string> made, madeFolders;  // files and folders of the run, before the commit
  std::string failure;
  for (const Target &target : plan.targets) {
    if (!CopyFileA(target.source.c_str(), target.staged.c_str(), TRUE)) {
      failure = target.source + " ließ sich nicht nach " + target.staged + " kopieren" + ErrorText(GetLastError());
      break;
    }
    made.push_back(target.staged);
    if (!MakeWritable(target.staged)) {
      failure = target.staged + " ließ sich nicht beschreibbar machen" + ErrorText(GetLastError());
      break;
    }
    say("bereitgelegt: " + target.staged);
  }
  for (size_t i = 0; failure.empty() && i < plan.targets.size(); i++) {
    if (!FlushFile(plan.targets[i].staged)) {
      failure = plan.targets[i].staged + " ließ sich nicht auf den Datenträger schreiben" + ErrorText(GetLastError());
    }
  }
  for (size_t i = 0; failure.empty() && i < asideFolders.size(); i++) {
    if (!CreateDirectoryA(asideFolders[i].c_str(), nullptr)) {
      failure = "Der Ordner " + asideFolders[i] + " ließ sich nicht anlegen" + ErrorText(GetLastError());
    } else {
      madeFolders.push_back(asideFolders[i]);
    }
  }
  if (failure.empty()) {
    made.push_back(undoScript);
    if (!WriteUndoScript(undoScript, plan.targets)) {
      failure = undoScript + " ließ sich nicht schreiben" + ErrorText(GetLastError());
    }
  }
  if (!failure.empty()) {
    say("Wiederherstellung abgebrochen: " + failure + ".");
    RemoveStaging(made, madeFolders, say);
    return OfflineOutcome::Failed;
  }
  say("Rückgängig: " + undoScript);

  // Commit: per target the old hive and its logs aside, then the staged copy into its place.
  std::vector<std::string> replaced, movedAside;
  for (size_t t = 0; t < plan.targets.size() && failure.empty(); t++) {
    const Target &target = plan.targets[t];
    for (const std::string &name : target.oldFiles) {
      const std::string from = target.folder + "\\" + name, to = target.aside + "\\" + name;
      if (!MoveFileExA(from.c_str(), to.c_str(), 0)) {
        failure = from + " ließ sich nicht nach " + to + " verschieben" + ErrorText(GetLastError());
        break;
      }
      movedAside.push_back(from);
      say("beiseitegelegt: " + from + " -> " + to);
    }
    if (!failure.empty()) break;
    if (!MoveFileExA(target.staged.c_str(), target.Path().c_str(), 0)) {
      failure = target.staged + " ließ sich nicht nach " + target.Path() + " umbenennen" + ErrorText(GetLastError());
      break;
    }
    replaced.push_back(target.Path());
    say("ersetzt: " + target.Path());
  }
  if (!failure.empty() && movedAside.empty() && replaced.empty()) {
    say("Wiederherstellung abgebrochen: " + failure + ".");
    RemoveStaging(made, madeFolders, say);
    return OfflineOutcome::Failed;
  }
  if (!failure.empty()) {
    say("Wiederherstellung abgebrochen: " + failure + ".");
    for (size_t t = replaced.size(); t < plan.targets.size(); t++) DeleteFileA(plan.targets[t].staged.c_str());
    std::string list;
    for (const std::string &file : replaced) list += (list.empty() ? "" : ", ") + file;
    say(replaced.empty() ? "Noch keine Hive ersetzt." : "Bereits ersetzt: " + list + ".");
    // A hive put where none was (an installation that lacked the file) has moved nothing aside, and
    // still the undo script is what takes it away again.
    say((movedAside.empty() ? std::string()
                            : "Bereits beiseitegelegt: " + NumberText(static_cast<long>(movedAside.size())).substr(1) +
                                  " Datei(en). ") +
        undoScript + " stellt alle Dateien wieder her, wie sie vorher waren.");
    return OfflineOutcome::Failed;
  }
  say("Wiederherstellung fertig: " + NumberText(static_cast<long>(replaced.size())).substr(1) + " Hive(s) in " +
      windows + " ersetzt. Rückgängig mit " + undoScript);
  return OfflineOutcome::Done;
}
