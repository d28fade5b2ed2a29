// The Win32 automation client of the end-to-end tests: shared declarations of its parts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// One script line split into words: blanks separate words, double quotes group them (and may stand
// in the middle of a word, as in text="Sichern"); there are no escapes, so Windows paths stay as
// they are.
std::vector<std::string> SplitWords(const std::string &line);

// Scripts are UTF-8; the program's texts are Windows-1252 bytes. Converts one to the other and
// throws when a character has no Windows-1252 byte.
std::string ToAnsi(const std::string &utf8);
// For messages: shows the bytes the program holds in readable form.
std::string ShowAnsi(const std::string &ansi);

// A failed step: its message ends the client with exit code 1.
struct StepFailure {
  std::string message;
};
[[noreturn]] void Fail(const std::string &message);

// What the client knows about the program while one script runs.
struct Target {
  HWND main = nullptr;
  DWORD processId = 0;
  DWORD threadId = 0;
  HANDLE process = nullptr;
};

// Window inspection across processes (window.cpp).
HWND WaitForMainWindow(Target &target, DWORD timeoutMs);
HWND ControlOf(const Target &target, int id);
std::string ClassOf(HWND window);
std::string TextOf(HWND window);
LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Visible dialog windows of the program other than its main window (message boxes, the folder
// dialog), topmost first.
std::vector<HWND> OtherDialogs(const Target &target);
std::string DescribeDialog(HWND dialog);
// Fails when the program shows a box that the script did not ask for.
void FailOnUnexpectedDialog(const Target &target);
// A click on a button, then a wait until the program has handled it or shows a modal box.
void Click(const Target &target, HWND control);

// Style words: WS_CHILD|WS_VISIBLE|BS_AUTOCHECKBOX and the like, or a number.
DWORD ParseStyle(const std::string &text);

// The steps (steps.cpp).
void RunStep(Target &target, const std::vector<std::string> &words);
