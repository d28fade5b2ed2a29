// The main window: building it, running it modally, and the helpers the runs use on its controls.
#pragma once

#include <string>

#include "platform.h"
#include "workflows/run_view.h"

// The instance the window and its banner come from; without it GetModuleHandleA(NULL) is used.
void SetMainInstance(HINSTANCE instance);

// Builds the hidden main window with its controls and initial state (folder field, restore button,
// progress bar at 0). nullptr when the window cannot be created.
HWND CreateMainWindow(HWND owner);

// Builds the window, shows it and runs it until it is destroyed; returns its end value (0).
int ShowMainWindow(HWND owner);

void SetProgress(HWND mainWindow, int controlId, int position);

// The folder field's text ("" when empty).
std::string ReadFolderField(HWND mainWindow);

// The runs' view of the main window: status line, progress bar, the four buttons, folder field.
class MainWindowView : public RunView {
 public:
  explicit MainWindowView(HWND mainWindow) : window_(mainWindow) {}
  void SetStatus(const std::string &text) override;
  void SetProgress(int position) override;
  void EnableRunButtons(bool enable) override;
  std::string FolderText() override;

 private:
  HWND window_;
};

// Enables "Wiederherstellen" exactly when folder holds SOFTWARE, SYSTEM and SAM; an empty folder
// text disables it.
void ApplyRestoreAvailability(HWND mainWindow, const std::string &folder);

// Tells the user that the folder (as exact ANSI text as it goes, '?' for the rest) cannot be used
// because the program cannot spell its name.
void TellFolderRefused(HWND mainWindow, const std::string &folder);
