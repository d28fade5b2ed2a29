// What the window's parts do on the main window's controls, addressed by id through the window's
// handle: the progress bar, the folder field, the restore button, the runs' view and the refusal of
// a folder the program cannot spell.
#pragma once

#include <string>

#include "platform.h"
#include "workflows/run_view.h"

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
