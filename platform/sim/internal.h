// Shared plumbing of the simulated Win32: last error, handle table, injected faults, call log,
// reset hooks and the file-system entry points that the registry needs for hive files.
// Only the simulation's own .cpp files include this; tests use simctl.h.
#pragma once

#include <string>

#include "win32.h"

namespace simx {

// Every simulated call starts with this: it counts the call and, when a test armed a fault for it,
// returns true with the code to fail with. The call then fails the way the real one does
// (a registry call returns the code, a BOOL call sets the last error and returns FALSE, ...).
bool Fault(const char *api, DWORD *code);

// One line in the log of calls whose order matters ("AdjustTokenPrivileges SeBackupPrivilege").
void Log(const std::string &line);

// Registers a function that sim::Reset() runs; declare as a file-level static.
struct ResetHook {
  explicit ResetHook(void (*fn)());
};

// Kernel object handles shared by CloseHandle (tokens, files) and FindClose (searches); event
// sources are closed by DeregisterEventSource only.
enum class Kind { Token, File, Find, EventSource };
HANDLE NewHandle(Kind kind, void *object, void (*destroy)(void *));
void *HandleObject(HANDLE handle, Kind kind);  // nullptr when not a live handle of that kind
bool DropHandle(HANDLE handle, Kind kind);     // runs destroy; false when not a live handle of that kind

// True when handle is the redirected standard output (console.cpp), which then takes the bytes.
bool StdStreamWrite(HANDLE handle, const void *bytes, DWORD count);

// Case-insensitive ASCII upper-casing, as the file system and the registry compare names.
std::string Upper(const std::string &text);

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
std::string AnsiFromName(const std::string &name);

}  // namespace simx
