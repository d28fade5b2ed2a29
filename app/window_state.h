// The main-window object: what one main window keeps between its messages, and the dialog
// procedure that keeps it. app/main_window.cpp makes the object with the window; the procedure
// (app/commands.cpp) takes it over at WM_INITDIALOG, holds it in the window's DWLP_USER slot and
// frees it at WM_NCDESTROY, the window's last message.
#pragma once

#include <string>

#include "platform.h"

class MainWindowState {
 public:
  explicit MainWindowState(HINSTANCE from) : instance(from) {}

  // While a command works (a run, its boxes, the picker), the window still dispatches messages
  // inside the modal loops of the boxes, and the date check box and a close request can reach the
  // handler. They must neither start anything nor change the folder field: the check box is put
  // back, and a close request is carried out once the command has ended.
  struct Busy {
    bool underWay = false;
    LRESULT dateCheck = BST_UNCHECKED;  // the check box when the command began
    bool closeRequested = false;
    bool runUnderWay = false;  // a backup or restore run, with its boxes: the session must not end
  };

  // What checking the date box put into the folder field and what the field held before, so that
  // unchecking gives back exactly the earlier text (never cutting a date of the user's own folder).
  struct DateFolderMemory {
    bool valid = false;
    std::string before;
    std::string after;
  };

  const HINSTANCE instance;  // the module the window, its controls and its banner come from
  Busy busy;
  DateFolderMemory dateFolder;
  // The window was destroyed while a command was under way: the command frees the object at its
  // end instead of the window.
  bool windowGone = false;
};

// The procedure of every main window. lParam of WM_INITDIALOG: a std::unique_ptr<MainWindowState> *
// whose object the window takes over (left in it when the window could not keep it).
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
