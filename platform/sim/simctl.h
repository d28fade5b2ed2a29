// Control header of the simulated Win32: tests set up the machine, script the user, inject faults
// and inspect what the system did. The system's own code never includes this.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {

// Puts the whole simulated machine back into its start state (run before every test), then runs the
// machine setup, if one is set.
void Reset();
// The facts of the program under test that belong to the machine (its resources, the fonts it uses,
// the registry keys its installation made), applied by every Reset from now on; nullptr for none.
void SetMachineSetup(void (*setup)());

// ---- faults and the call log --------------------------------------------------------------------
// The calls of `api` after the first `skip` ones fail with `code`, `times` times (-1: every time).
void FailCall(const std::string &api, DWORD code, int skip = 0, int times = 1);
void ClearFaults();
int CallCount(const std::string &api);  // calls made since the last Reset
const std::vector<std::string> &CallLog();
void ClearCallLog();

// ---- handles -----------------------------------------------------------------------------------
int OpenHandleCount();  // live token, file and search handles
int OpenCngHandleCount();  // algorithm providers and hash objects of bcrypt not yet closed
// What Windows does when the process ends: every handle still open is closed (a file opened with
// FILE_FLAG_DELETE_ON_CLOSE goes with its last handle). For runs that leave one open because an
// injected CloseHandle failure kept it.
void EndProcess();

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
UINT ErrorMode();  // what SetErrorMode last set (0 at start)

// ---- security descriptors ----------------------------------------------------------------------
int LiveDescriptorCount();  // descriptors converted and not yet freed with LocalFree

// ---- message boxes (the scripted user) ---------------------------------------------------------
// A box takes the next answer queued with AnswerMessageBox at once. With none queued, it runs its
// modal loop: the scripted user's actions (sim::UserClick, UserSysClose, UserDo; simctl_window.h)
// reach the main window one by one, until sim::UserAnswer answers the innermost open box. An owned
// box disables its owner's top-level window while it is open and enables it again afterwards (when
// it was enabled before). An answer that is no button of the box's type (IDYES to an MB_OK box) is
// a window error; the box then returns its last button, as it does for a box nobody answered.
// A box of the modal loop is a dialog of class "#32770" with the caption, its text in a static of
// id 0xFFFF and its type's buttons (the default one focused), gone when MessageBoxA returns. When
// the script is used up while a thread of CreateThread runs, the loop waits for what that thread
// sends or posts (a click on a button answers the box), as Windows' loop waits for input.
struct MessageBoxRecord {
  HWND owner;
  std::string text;     // bytes as passed
  std::string caption;  // bytes as passed
  UINT style;
  int answer;           // 0 while the box is open
};
void AnswerMessageBox(int answer, int times = 1);  // queue the user's answers, in order
const std::vector<MessageBoxRecord> &MessageBoxes();
int UnansweredMessageBoxes();  // boxes that found neither a queued answer nor a UserAnswer
int PendingMessageBoxAnswers();

// ---- names the ANSI code page cannot spell -----------------------------------------------------
// A path for the file system's test calls (MakeFolders, SetCurrentDirectory, AnswerFolderDialog,
// ...) that may hold characters Windows-1252 lacks, such as FsName(u"C:\\b\u0101ck"). The wide
// calls return such a name exactly; the ANSI calls return it best-fitted ("C:\\back"), as Windows
// does, while no ANSI path can name it.
std::string FsName(const std::u16string &text);

}  // namespace sim

#include "simctl_registry.h"
#include "simctl_files.h"
#include "simctl_window.h"
#include "simctl_console.h"
