// Shared plumbing of the simulated Win32: last error, handle table, injected faults, call log,
// reset hooks and the file-system entry points that the registry needs for hive files.
// Only the simulation's own .cpp files include this; tests use simctl.h.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "win32.h"

namespace sim_internal {

// The simulation is one machine that every thread of the process calls into. Each simulated call
// holds this lock for its whole run (re-entrant: the window procedures it calls make calls of their
// own). A call that waits for another thread (a message box's loop, a message sent to a window of
// another thread, WaitForSingleObject) releases it fully while it waits.
class SimLock {
 public:
  void lock();
  void unlock();
  // Gives up every level this thread holds, waits until ready() holds (asked while no thread holds
  // the lock, so it may read the simulation's state) or the deadline passes, and takes the levels
  // back. False when the deadline passed.
  bool WaitUntil(const std::function<bool()> &ready, std::chrono::steady_clock::time_point deadline);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread::id owner_;
  int depth_ = 0;
};
SimLock &Lock();

// Holds the lock for the rest of the scope.
class CallScope {
 public:
  CallScope() { Lock().lock(); }
  ~CallScope() { Lock().unlock(); }
  CallScope(const CallScope &) = delete;
  CallScope &operator=(const CallScope &) = delete;
};

// The calling thread's id as GetCurrentThreadId gives it, and whether a thread other than the
// calling one may still act on the machine (a thread of CreateThread that has not ended, or the
// process's first thread when a created thread asks).
DWORD CurrentThreadId();
bool AnotherThreadMayAct();

// Every simulated call starts with this: it counts the call and, when a test armed a fault for it,
// returns true with the code to fail with. Calls use it through the SIM_FAULT_* hooks below, which
// fail the way the real call does.
bool Fault(const char *api, DWORD *code);

// One line in the log of calls whose order matters ("AdjustTokenPrivileges SeBackupPrivilege").
void Log(const std::string &line);

// Registers a function that sim::Reset() runs; declare as a file-level static.
struct ResetHook {
  explicit ResetHook(void (*fn)());
};

// Kernel object handles shared by CloseHandle (tokens, files) and FindClose (searches); event
// sources are closed by DeregisterEventSource only.
enum class Kind { Token, File, Find, Thread, EventSource };
HANDLE NewHandle(Kind kind, void *object, void (*destroy)(void *));
void *HandleObject(HANDLE handle, Kind kind);  // nullptr when not a live handle of that kind
bool DropHandle(HANDLE handle, Kind kind);     // runs destroy; false when not a live handle of that kind

// True when handle is the redirected standard output (console.cpp), which then takes the bytes.
bool StdStreamWrite(HANDLE handle, const void *bytes, DWORD count);

// Case-insensitive ASCII upper-casing, as module names, privilege names and root key names compare.
std::string Upper(const std::string &text);

// One character of a name through Windows' upper-case table, as the file system compares names and
// matches search masks and the registry compares key and value names: the Windows-1252 letters
// beyond ASCII fold as well (\xE4 = \xC4, "\xE4" being ä), except ß and µ, which have no capital
// in the code page (codepage.cpp).
char FoldNameChar(char c);
// The OEM code page of the simulated machine (850), as GetOEMCP returns it.
UINT OemCodePage();
// False after sim::SetElevated(false): the machine's keys refuse writing (token.cpp).
bool Elevated();

// The SDDL text behind a descriptor made by ConvertStringSecurityDescriptorToSecurityDescriptorA,
// or "" for nullptr or a foreign pointer.
std::string DescriptorText(const void *descriptor);

// File system, for hive files (implemented in files.cpp). Each returns a Win32 error code, 0 on
// success, with the rules of CreateFile for the path (missing folder 3, name too long 206, ...).
DWORD FsCreateNew(const std::string &path, const std::string &bytes);  // 183 when it exists
DWORD FsWrite(const std::string &path, const std::string &bytes);      // create or overwrite
DWORD FsRead(const std::string &path, std::string *bytes);
DWORD FsDelete(const std::string &path);
bool FsExists(const std::string &path);
// The security descriptor (SDDL) a save gave the file; it travels with the file when renamed.
void FsSetDescriptor(const std::string &path, const std::string &sddl);
std::string FsDescriptor(const std::string &path);
// The kernel holds a replacement hive file open, unshared, until the next start.
DWORD FsHoldBySystem(const std::string &path);
void FsReleaseSystemHolds();

// Names as the file system keeps them (Windows-1252 bytes, a character the code page lacks marked
// as sim::FsName does), in UTF-16 for the wide calls and in ANSI, best-fitted, for the ANSI calls
// (codepage.cpp).
std::u16string WideFromName(const std::string &name);
// Text of the ANSI code page and UTF-16, unit for unit as the A calls convert registry names and
// string data; a character the code page lacks becomes '?'.
std::u16string WideFromAnsi(const std::string &text);
std::string AnsiFromWide(const std::u16string &text);
std::string AnsiFromName(const std::string &name);

}  // namespace sim_internal

// The fault hook that starts a simulated call, one per error style of Win32:
// - SIM_FAULT_LAST_ERROR: the call reports failure by its return value and the last error
//   (BOOL calls, handles, counts): sets the last error to the armed code, returns `failure`.
// - SIM_FAULT_STATUS: the call returns its status (registry LONG, COM HRESULT): returns the code.
// - SIM_FAULT_RESULT: the call has no error code (the shell's folder calls, message filters):
//   returns `failure` and leaves the last error alone.
// - SIM_COUNT_CALL: the call cannot fail; it is only counted.
// Each also holds the simulation's lock (CallScope) until the call returns.
#define SIM_FAULT_LAST_ERROR(api, failure)                     \
  ::sim_internal::CallScope sim_call_scope_;                    \
  do {                                                          \
    DWORD sim_fault_code_;                                      \
    if (::sim_internal::Fault(api, &sim_fault_code_)) {         \
      SetLastError(sim_fault_code_);                            \
      return failure;                                           \
    }                                                           \
  } while (0)
#define SIM_FAULT_STATUS(api, status_type)                      \
  ::sim_internal::CallScope sim_call_scope_;                    \
  do {                                                          \
    DWORD sim_fault_code_;                                      \
    if (::sim_internal::Fault(api, &sim_fault_code_)) {         \
      return static_cast<status_type>(sim_fault_code_);         \
    }                                                           \
  } while (0)
#define SIM_FAULT_RESULT(api, failure)                          \
  ::sim_internal::CallScope sim_call_scope_;                    \
  do {                                                          \
    DWORD sim_fault_code_;                                      \
    if (::sim_internal::Fault(api, &sim_fault_code_)) return failure; \
  } while (0)
#define SIM_COUNT_CALL(api)                                     \
  ::sim_internal::CallScope sim_call_scope_;                    \
  do {                                                          \
    DWORD sim_fault_code_;                                      \
    (void)::sim_internal::Fault(api, &sim_fault_code_);         \
  } while (0)
