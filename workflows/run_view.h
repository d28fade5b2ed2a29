// What a backup or restore run shows while it works and where it takes its folder from: the main
// window's controls, or another front end (a console) that implements the same calls.
#pragma once

#include <string>

class RunView {
 public:
  virtual ~RunView() = default;

  // The status line: "läuft... " and the hive, "" at the end of a run.
  virtual void SetStatus(const std::string &text) = 0;

  // The run's progress, 0 to 100 (past 100 with many user hives); 0 at the end of a run.
  virtual void SetProgress(int position) = 0;

  // Off at the start of a run and on again at its end; the window switches ">>", "Sichern",
  // "Wiederherstellen" and "Quit" in the order "Sichern", "Wiederherstellen", "Quit", ">>".
  virtual void EnableRunButtons(bool enable) = 0;

  // The backup folder the run works on, read once at its start.
  virtual std::string FolderText() = 0;
};

// What a run did, for a front end that has no window to show it (the window ignores it).
struct RunResult {
  int failedHives = 0;      // hives whose save, staging or registration failed (a report each)
  bool setRefused = false;  // restore only: nothing was done (a file of the set failed the check,
                            // or the folder is in use)
  bool folderInUse = false; // another run holds the folder: nothing was done (reported)
};
