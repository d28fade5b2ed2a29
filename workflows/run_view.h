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

// What a run did: the window offers the restart only after a restore that registered every hive.
struct RunResult {
  int failedHives = 0;      // hives whose save failed; restore: hives not registered
  bool setRefused = false;  // restore only: nothing was done (the set or the machine refused it,
                            // or the folder is in use)
  int failedFiles = 0;      // backup only: the script or the fingerprint not written (a report each)
  bool folderRefused = false;  // backup only: a path of the set too long, nothing written (reported)
  bool folderInUse = false; // another run holds the folder: nothing was done (reported)
};
