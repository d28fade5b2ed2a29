// Control header of the simulated Win32: tests set up the machine, script the user, inject faults
// and inspect what the system did. The system's own code never includes this.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {

// Puts the whole simulated machine back into its start state (run before every test).
void Reset();

// ---- faults and the call log --------------------------------------------------------------------
// The calls of `api` after the first `skip` ones fail with `code`, `times` times (-1: every time).
void FailCall(const std::string &api, DWORD code, int skip = 0, int times = 1);
void ClearFaults();
int CallCount(const std::string &api);  // calls made since the last Reset
const std::vector<std::string> &CallLog();
void ClearCallLog();

// ---- handles -----------------------------------------------------------------------------------
int OpenHandleCount();  // live token, file and search handles

// ---- modules -----------------------------------------------------------------------------------
// Known modules: ADVAPI32.DLL and COMCTL32.DLL with the exports the system looks up, and NTDLL.DLL.
// GetModuleHandleA finds each of them. AddExport("NTDLL.DLL", "wine_get_version") makes the
// machine look like Wine.
void RemoveExport(const std::string &module, const std::string &name);
void AddExport(const std::string &module, const std::string &name);
int LoadedModuleCount();  // LoadLibraryA references not yet freed
HINSTANCE ProgramInstance();

// ---- environment and clock ---------------------------------------------------------------------
// The block that GetEnvironmentStringsA hands out, one "NAME=value" entry each.
// Default: SystemRoot=C:\WINDOWS, USERPROFILE=C:\Users\admin.
void SetEnvironment(const std::vector<std::string> &entries);
void SetLocalTime(int year, int month, int day, int hour = 10, int minute = 0, int second = 0);

// ---- security descriptors ----------------------------------------------------------------------
int LiveDescriptorCount();  // descriptors converted and not yet freed with LocalFree

// ---- message boxes (the scripted user) ---------------------------------------------------------
struct MessageBoxRecord {
  HWND owner;
  std::string text;     // bytes as passed
  std::string caption;  // bytes as passed
  UINT style;
  int answer;
};
void AnswerMessageBox(int answer, int times = 1);  // queue the user's answers, in order
const std::vector<MessageBoxRecord> &MessageBoxes();
int UnansweredMessageBoxes();  // boxes shown with no answer queued (each returned IDOK)
int PendingMessageBoxAnswers();

}  // namespace sim

#include "simctl_registry.h"
#include "simctl_files.h"
#include "simctl_window.h"
