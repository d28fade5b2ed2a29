// Reports of the services and runs (failed saves and replacements, malformed key paths, a damaged
// backup set): shown as a message box without owner, or handed to a receiver that a front end
// without a window installs (a console writing them out and to the event log).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform.h"

enum class ReportKind {
  KeyPathFormat,  // a key path that is no "HKEY_...\sub-key" ("Schlüssel-Parser")
  HiveSave,       // a hive of the backup that was not saved, or saved but not put in place (also a
                  // loaded-hive list entry that could not be read)
  HiveRestore,    // a hive of the restore that was not staged or not registered for replacement
  SetCheck,       // files of a backup set that failed the check before a restore
  SetFile,        // a file of the backup set besides the hives (script, fingerprint) not written
  SetFolder,      // a backup folder refused before anything is written (a path of the set too long)
  FolderInUse,    // another run holds the backup folder: this run did nothing
};

struct ReportEntry {
  ReportKind kind = ReportKind::HiveSave;
  std::string caption;  // the box's caption, such as "Fehler in RegSaveKey"
  std::string text;     // the box's text
  std::string file;     // the file concerned ("" when none; SetCheck: the folder's files are in text)
  LONG code = 0;        // the system's error code, 0 when there is none
  UINT style = MB_OK | MB_ICONEXCLAMATION;  // the box's buttons and icon
};

// Hands the report to the installed receiver; without one, shows MessageBoxA(NULL, text, caption,
// style).
void Report(const ReportEntry &entry);

using ReportReceiver = std::function<void(const ReportEntry &)>;

// Installs receiver for later reports (an empty one restores the message boxes); returns the one
// it replaces.
ReportReceiver SetReportReceiver(ReportReceiver receiver);

// Installs a receiver for its lifetime and puts the earlier one back afterwards.
class ScopedReportReceiver {
 public:
  explicit ScopedReportReceiver(ReportReceiver receiver)
      : earlier_(SetReportReceiver(std::move(receiver))) {}
  ~ScopedReportReceiver() { SetReportReceiver(std::move(earlier_)); }
  ScopedReportReceiver(const ScopedReportReceiver &) = delete;
  ScopedReportReceiver &operator=(const ScopedReportReceiver &) = delete;

 private:
  ReportReceiver earlier_;
};

// The report of a failed registry or file call on a hive file: text "Fehlernummer: " code
// " in Datei " file tail, caption "Fehler in " operation.
void ReportRegistryError(ReportKind kind, LONG code, const std::string &file,
                         const std::string &operation, const std::string &tail = "");
