// Simulated process start-up: the command line, the parent's console or redirected standard
// output, and the Application event log.
#include <algorithm>
#include <cstring>

#include "internal.h"
#include "simctl.h"
#include "window_internal.h"

namespace {

// Pseudo handles of the console and of the redirected output; neither is closed by the program.
HANDLE const kConsoleOutput = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x54));
HANDLE const kRedirectedOutput = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x58));

// Windows limits each string of an event to 31,839 characters.
const size_t kMaxEventString = 31839;

struct Process {
  std::u16string commandLine = u"Brovink.exe";
  std::vector<WCHAR> commandLineBuffer;
  std::u16string programFile = u"C:\\Program Files\\Brovink\\Brovink.exe";
  sim::StartedFrom startedFrom = sim::StartedFrom::None;
  bool attached = false;  // the process has a console: attached, or its own as a console program
  UINT consoleCodePage = 0;
  std::u16string consoleText;
  std::string redirected;
  std::vector<sim::EventRecord> events;
};

Process &process() {
  static Process p;
  return p;
}

void ResetProcess() { process() = Process{}; }
const sim_internal::ResetHook processReset(ResetProcess);

struct EventSource {
  std::string name;
};

void DestroySource(void *object) { delete static_cast<EventSource *>(object); }

}  // namespace

namespace sim_internal {

bool StdStreamWrite(HANDLE handle, const void *bytes, DWORD count) {
  if (handle != kRedirectedOutput || process().startedFrom != sim::StartedFrom::Redirected) return false;
  if (count) process().redirected.append(static_cast<const char *>(bytes), count);
  return true;
}

}  // namespace sim_internal

namespace sim {

void SetCommandLine(const std::u16string &commandLine) { process().commandLine = commandLine; }
void SetStartedFrom(StartedFrom from) { process().startedFrom = from; }
void SetConsoleProgram(bool console) { process().attached = console; }
void SetConsoleCodePage(UINT codePage) { process().consoleCodePage = codePage; }
void SetProgramFile(const std::u16string &path) { process().programFile = path; }
std::u16string ConsoleText() { return process().consoleText; }
std::string RedirectedOutput() { return process().redirected; }
bool ConsoleAttached() { return process().attached; }
const std::vector<EventRecord> &EventLogEntries() { return process().events; }

}  // namespace sim

// ---- kernel32 ----------------------------------------------------------------------------------
// The buffer lives as long as the process; the same pointer on every call.
LPWSTR WINAPI GetCommandLineW(void) {
  SIM_COUNT_CALL("GetCommandLineW");
  Process &p = process();
  p.commandLineBuffer.assign(p.commandLine.begin(), p.commandLine.end());
  p.commandLineBuffer.push_back(0);
  return p.commandLineBuffer.data();
}

// A GUI process has no console: it can attach to its parent's once; a parent without one gives 6,
// a second attach 5.
BOOL WINAPI AttachConsole(DWORD dwProcessId) {
  SIM_FAULT_LAST_ERROR("AttachConsole", FALSE);
  Process &p = process();
  if (dwProcessId != ATTACH_PARENT_PROCESS) {
    sim_internal::WindowError("AttachConsole to a process by its id is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (p.attached) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (p.startedFrom == sim::StartedFrom::None) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  p.attached = true;
  return TRUE;
}

// NULL when the process has no such handle (a GUI process started without console or redirection);
// INVALID_HANDLE_VALUE with 6 for a number that names no standard handle.
HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  SIM_FAULT_LAST_ERROR("GetStdHandle", INVALID_HANDLE_VALUE);
  if (nStdHandle != STD_INPUT_HANDLE && nStdHandle != STD_OUTPUT_HANDLE && nStdHandle != STD_ERROR_HANDLE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  const Process &p = process();
  if (nStdHandle != STD_INPUT_HANDLE && p.startedFrom == sim::StartedFrom::Redirected) return kRedirectedOutput;
  if (p.attached) return kConsoleOutput;
  return nullptr;
}

// Succeeds on a console handle only: a file or pipe gives 6.
BOOL WINAPI GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
  SIM_FAULT_LAST_ERROR("GetConsoleMode", FALSE);
  if (hConsoleHandle != kConsoleOutput || !process().attached) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!lpMode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpMode = 0x0003;  // ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT
  return TRUE;
}

BOOL WINAPI WriteConsoleW(HANDLE hConsoleOutput, const void *lpBuffer, DWORD nNumberOfCharsToWrite,
                          LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved) {
  (void)lpReserved;
  SIM_FAULT_LAST_ERROR("WriteConsoleW", FALSE);
  if (hConsoleOutput != kConsoleOutput || !process().attached) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!lpBuffer && nNumberOfCharsToWrite) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const WCHAR *text = static_cast<const WCHAR *>(lpBuffer);
  process().consoleText.append(text, text + nNumberOfCharsToWrite);
  if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = nNumberOfCharsToWrite;
  return TRUE;
}

// The code page of the process's console; 0 without one (as Wine answers; the program then falls
// back to the OEM code page).
UINT WINAPI GetConsoleOutputCP(void) {
  SIM_COUNT_CALL("GetConsoleOutputCP");
  const Process &p = process();
  if (!p.attached) return 0;
  return p.consoleCodePage ? p.consoleCodePage : sim_internal::OemCodePage();
}

// Detaches the process from its console. Without one the call is not modelled (Windows and Wine
// answer it differently).
BOOL WINAPI FreeConsole(void) {
  SIM_FAULT_LAST_ERROR("FreeConsole", FALSE);
  Process &p = process();
  if (!p.attached) {
    sim_internal::WindowError("FreeConsole without a console is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim_internal::Log("FreeConsole");
  p.attached = false;
  return TRUE;
}

// The program's own file only. A buffer too small gets the path cut to nSize - 1 characters and a
// NUL, the result nSize and 122 (Windows Vista and later).
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  SIM_FAULT_LAST_ERROR("GetModuleFileNameW", 0);
  if (hModule && hModule != sim::ProgramInstance()) {
    sim_internal::WindowError("GetModuleFileNameW of another module is not modelled");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::u16string &path = process().programFile;
  if (nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= nSize) {
    std::copy(path.begin(), path.begin() + (nSize - 1), lpFilename);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::copy(path.begin(), path.end(), lpFilename);
  lpFilename[path.size()] = 0;
  return static_cast<DWORD>(path.size());
}

// ---- advapi32: event log -----------------------------------------------------------------------
// The local machine only; a source that was never installed reports into the Application log.
HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  SIM_FAULT_LAST_ERROR("RegisterEventSourceA", nullptr);
  if (lpUNCServerName && *lpUNCServerName) {
    sim_internal::WindowError("RegisterEventSourceA on another computer is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!lpSourceName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  sim_internal::Log(std::string("RegisterEventSourceA ") + lpSourceName);
  return sim_internal::NewHandle(sim_internal::Kind::EventSource, new EventSource{lpSourceName}, DestroySource);
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
  SIM_FAULT_LAST_ERROR("DeregisterEventSource", FALSE);
  if (!sim_internal::DropHandle(hEventLog, sim_internal::Kind::EventSource)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  sim_internal::Log("DeregisterEventSource");
  return TRUE;
}

BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                         WORD wNumStrings, DWORD dwDataSize, LPCSTR *lpStrings, LPVOID lpRawData) {
  SIM_FAULT_LAST_ERROR("ReportEventA", FALSE);
  auto *source = static_cast<EventSource *>(sim_internal::HandleObject(hEventLog, sim_internal::Kind::EventSource));
  if (!source) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpUserSid || dwDataSize || lpRawData) {
    sim_internal::WindowError("ReportEventA with a user SID or raw data is not modelled");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((wNumStrings && !lpStrings)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim::EventRecord record{source->name, wType, wCategory, dwEventID, {}};
  for (WORD i = 0; i < wNumStrings; i++) {
    if (!lpStrings[i] || strlen(lpStrings[i]) > kMaxEventString) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    record.strings.push_back(lpStrings[i]);
  }
  sim_internal::Log("ReportEventA " + std::to_string(wType) + " " + std::to_string(dwEventID));
  process().events.push_back(record);
  return TRUE;
}
