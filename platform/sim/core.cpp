// Simulated kernel32 basics: the simulation's lock, last error, handles, threads, injected faults,
// call log, modules, environment, local time and security descriptors.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "internal.h"

#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif
#include "simctl.h"

namespace {

struct FaultRule {
  std::string api;
  DWORD code;
  int skip;
  int times;
};

struct HandleEntry {
  sim_internal::Kind kind;
  void *object;
  void (*destroy)(void *);
};

struct Module {
  std::string name;
  std::map<std::string, FARPROC> exports;
};

struct Descriptor {
  std::string sddl;
};

struct Core {
  std::vector<FaultRule> faults;
  std::map<std::string, int> calls;
  std::vector<std::string> log;
  std::map<HANDLE, HandleEntry> handles;
  uintptr_t nextHandle = 0x1000;
  std::vector<std::unique_ptr<Module>> modules;
  int loadedRefs = 0;
  std::vector<std::string> environment;
  std::string environmentBlock;
  SYSTEMTIME localTime{};
  UINT errorMode = 0;  // the process's error mode; a new process starts with 0
  std::set<Descriptor *> descriptors;
};

Core &core() {
  static Core c;
  return c;
}

// The last error is the thread's own, as on Windows.
thread_local DWORD lastError = 0;

// Threads: ids as GetCurrentThreadId gives them (the first thread gets one when it first asks), and
// the threads of CreateThread that have not ended (counted across resets: a thread outlives them).
std::atomic<DWORD> nextThreadId{0x1000};
thread_local DWORD threadId = 0;
thread_local bool createdThread = false;
std::atomic<int> runningThreads{0};

struct ThreadState {
  DWORD id = 0;
  bool finished = false;  // under the simulation's lock
  DWORD exitCode = STILL_ACTIVE;
  std::thread thread;
};

// Closing the handle leaves a running thread running, as on Windows.
void DestroyThreadHandle(void *object) {
  auto *handle = static_cast<std::shared_ptr<ThreadState> *>(object);
  ThreadState &thread = **handle;
  if (thread.thread.joinable()) {
    if (thread.finished) {
      thread.thread.join();
    } else {
      thread.thread.detach();
    }
  }
  delete handle;
}

ThreadState *ThreadOf(HANDLE handle) {
  auto *object = static_cast<std::shared_ptr<ThreadState> *>(sim_internal::HandleObject(handle, sim_internal::Kind::Thread));
  return object ? object->get() : nullptr;
}

std::vector<void (*)()> &resetHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}

FARPROC AsProc(void (*fn)()) { return reinterpret_cast<FARPROC>(fn); }

// Stands in for an export that a test adds; never called.
void AddedExport() {}

template <typename F>
FARPROC Export(F *fn) {
  return AsProc(reinterpret_cast<void (*)()>(fn));
}

void ResetCore() {
  Core &c = core();
  for (auto &h : c.handles) {
    if (h.second.destroy) h.second.destroy(h.second.object);
  }
  for (Descriptor *d : c.descriptors) delete d;
  c = Core{};
  lastError = 0;

  auto advapi = std::make_unique<Module>();
  advapi->name = "ADVAPI32.DLL";
  advapi->exports["RegSaveKeyA"] = Export(&RegSaveKeyA);
  advapi->exports["RegSaveKeyExA"] = Export(&RegSaveKeyExA);
  advapi->exports["RegReplaceKeyA"] = Export(&RegReplaceKeyA);
  c.modules.push_back(std::move(advapi));
  auto comctl = std::make_unique<Module>();
  comctl->name = "COMCTL32.DLL";
  comctl->exports["InitCommonControls"] = Export(&InitCommonControls);
  comctl->exports["InitCommonControlsEx"] = Export(&InitCommonControlsEx);
  c.modules.push_back(std::move(comctl));
  auto user32 = std::make_unique<Module>();
  user32->name = "USER32.DLL";  // loaded with every window; its calls of Vista and later
  user32->exports["ShutdownBlockReasonCreate"] = Export(&ShutdownBlockReasonCreate);
  user32->exports["ShutdownBlockReasonDestroy"] = Export(&ShutdownBlockReasonDestroy);
  c.modules.push_back(std::move(user32));
  auto ntdll = std::make_unique<Module>();
  ntdll->name = "NTDLL.DLL";  // mapped into every process; no export the system looks up
  c.modules.push_back(std::move(ntdll));

  c.environment = {"SystemRoot=C:\\WINDOWS", "USERPROFILE=C:\\Users\\admin"};
  sim::SetLocalTime(2026, 12, 8);
}

const sim_internal::ResetHook coreReset(ResetCore);

Module *FindModule(HMODULE h) {
  for (auto &m : core().modules) {
    if (reinterpret_cast<HMODULE>(m.get()) == h) return m.get();
  }
  return nullptr;
}

}  // namespace

// ---- plumbing ---------------------------------------------------------------------------------
namespace sim_internal {

void SimLock::lock() {
  std::unique_lock<std::mutex> guard(mutex_);
  const std::thread::id me = std::this_thread::get_id();
  if (depth_ > 0 && owner_ == me) {
    depth_++;
    return;
  }
  changed_.wait(guard, [&] { return depth_ == 0; });
  owner_ = me;
  depth_ = 1;
}

void SimLock::unlock() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    changed_.notify_all();
  }
}

bool SimLock::WaitUntil(const std::function<bool()> &ready, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> guard(mutex_);
  const std::thread::id me = std::this_thread::get_id();
  const int held = owner_ == me ? depth_ : 0;
  if (held > 0) {
    depth_ = 0;
    owner_ = std::thread::id();
    changed_.notify_all();
  }
  const bool met = changed_.wait_until(guard, deadline, [&] { return depth_ == 0 && ready(); });
  if (!met) changed_.wait(guard, [&] { return depth_ == 0; });
  if (held > 0) {
    owner_ = me;
    depth_ = held;
  }
  return met;
}

SimLock &Lock() {
  static SimLock lock;
  return lock;
}

DWORD CurrentThreadId() {
  if (threadId == 0) threadId = nextThreadId.fetch_add(4);
  return threadId;
}

bool AnotherThreadMayAct() { return createdThread || runningThreads.load() > 0; }

ResetHook::ResetHook(void (*fn)()) { resetHooks().push_back(fn); }

bool Fault(const char *api, DWORD *code) {
  CallScope scope;
  Core &c = core();
  c.calls[api]++;
  for (auto &rule : c.faults) {
    if (rule.api != api || rule.times == 0) continue;
    if (rule.skip > 0) {
      rule.skip--;
      continue;
    }
    if (rule.times > 0) rule.times--;
    *code = rule.code;
    return true;
  }
  return false;
}

void Log(const std::string &line) {
  CallScope scope;
  core().log.push_back(line);
}

HANDLE NewHandle(Kind kind, void *object, void (*destroy)(void *)) {
  Core &c = core();
  HANDLE h = reinterpret_cast<HANDLE>(c.nextHandle);
  c.nextHandle += 4;
  c.handles[h] = HandleEntry{kind, object, destroy};
  return h;
}

void *HandleObject(HANDLE handle, Kind kind) {
  auto it = core().handles.find(handle);
  if (it == core().handles.end() || it->second.kind != kind) return nullptr;
  return it->second.object;
}

bool DropHandle(HANDLE handle, Kind kind) {
  Core &c = core();
  auto it = c.handles.find(handle);
  if (it == c.handles.end() || it->second.kind != kind) return false;
  HandleEntry entry = it->second;
  c.handles.erase(it);
  if (entry.destroy) entry.destroy(entry.object);
  return true;
}

std::string Upper(const std::string &text) {
  std::string out = text;
  for (char &ch : out) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return out;
}

std::string DescriptorText(const void *descriptor) {
  auto *d = static_cast<Descriptor *>(const_cast<void *>(descriptor));
  if (!d || !core().descriptors.count(d)) return "";
  return d->sddl;
}

}  // namespace sim_internal

// ---- control -----------------------------------------------------------------------------------
namespace sim {

namespace {
void (*machineSetup)() = nullptr;
}

void Reset() {
  sim_internal::CallScope scope;
  for (auto fn : resetHooks()) fn();
  if (machineSetup) machineSetup();
}

void SetMachineSetup(void (*setup)()) { machineSetup = setup; }

void FailCall(const std::string &api, DWORD code, int skip, int times) {
  core().faults.push_back(FaultRule{api, code, skip, times});
}

void ClearFaults() { core().faults.clear(); }

int CallCount(const std::string &api) {
  auto it = core().calls.find(api);
  return it == core().calls.end() ? 0 : it->second;
}

const std::vector<std::string> &CallLog() { return core().log; }
void ClearCallLog() { core().log.clear(); }

int OpenHandleCount() { return static_cast<int>(core().handles.size()); }

void EndProcess() {
  sim_internal::CallScope scope;
  while (!core().handles.empty()) {
    const auto first = core().handles.begin();
    sim_internal::DropHandle(first->first, first->second.kind);
  }
}

void RemoveExport(const std::string &module, const std::string &name) {
  for (auto &m : core().modules) {
    if (sim_internal::Upper(m->name) == sim_internal::Upper(module)) m->exports.erase(name);
  }
}

void AddExport(const std::string &module, const std::string &name) {
  for (auto &m : core().modules) {
    if (sim_internal::Upper(m->name) == sim_internal::Upper(module)) m->exports[name] = AsProc(&AddedExport);
  }
}

int LoadedModuleCount() { return core().loadedRefs; }

HINSTANCE ProgramInstance() { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)); }

void SetEnvironment(const std::vector<std::string> &entries) { core().environment = entries; }

void SetLocalTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME &t = core().localTime;
  t = SYSTEMTIME{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  // Day of the week (Sunday 0) from a day count with March as the first month of the year.
  int y = year, m = month;
  if (m < 3) {
    m += 12;
    y -= 1;
  }
  long days = 365L * y + y / 4 - y / 100 + y / 400 + (153 * (m - 3) + 2) / 5 + day;
  t.wDayOfWeek = static_cast<WORD>((days + 2) % 7);
}

int LiveDescriptorCount() { return static_cast<int>(core().descriptors.size()); }

}  // namespace sim

// ---- kernel32 ----------------------------------------------------------------------------------
DWORD WINAPI GetLastError(void) { return lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

BOOL WINAPI CloseHandle(HANDLE hObject) {
  SIM_FAULT_LAST_ERROR("CloseHandle", FALSE);
  if (sim_internal::DropHandle(hObject, sim_internal::Kind::Token) || sim_internal::DropHandle(hObject, sim_internal::Kind::File) ||
      sim_internal::DropHandle(hObject, sim_internal::Kind::Thread)) {
    sim_internal::Log("CloseHandle");
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

// The pseudo handle (HANDLE)-1, as Windows returns it.
HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

// The one simulated process has one id; Windows' ids are multiples of 4 and never 0.
DWORD WINAPI GetCurrentProcessId(void) {
  SIM_COUNT_CALL("GetCurrentProcessId");
  return 0x1A2C;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  SIM_FAULT_LAST_ERROR("GetModuleHandleA", nullptr);
  if (!lpModuleName) return sim::ProgramInstance();
  // Every module of the table counts as mapped into the process; no reference is taken.
  for (auto &m : core().modules) {
    if (sim_internal::Upper(m->name) == sim_internal::Upper(lpModuleName)) return reinterpret_cast<HMODULE>(m.get());
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  SIM_FAULT_LAST_ERROR("LoadLibraryA", nullptr);
  sim_internal::Log(std::string("LoadLibraryA ") + (lpLibFileName ? lpLibFileName : ""));
  for (auto &m : core().modules) {
    if (lpLibFileName && sim_internal::Upper(m->name) == sim_internal::Upper(lpLibFileName)) {
      core().loadedRefs++;
      return reinterpret_cast<HMODULE>(m.get());
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  SIM_FAULT_LAST_ERROR("GetProcAddress", nullptr);
  Module *m = FindModule(hModule);
  if (!m) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  sim_internal::Log(std::string("GetProcAddress ") + lpProcName);
  auto it = m->exports.find(lpProcName);
  if (it == m->exports.end()) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return it->second;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  SIM_FAULT_LAST_ERROR("FreeLibrary", FALSE);
  if (!FindModule(hLibModule) || core().loadedRefs == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  sim_internal::Log("FreeLibrary");
  core().loadedRefs--;
  return TRUE;
}

// A block of NUL-terminated "NAME=value" entries, ended by an empty entry.
LPSTR WINAPI GetEnvironmentStringsA(void) {
  Core &c = core();
  SIM_FAULT_LAST_ERROR("GetEnvironmentStringsA", nullptr);
  c.environmentBlock.clear();
  for (const auto &e : c.environment) {
    c.environmentBlock += e;
    c.environmentBlock.push_back('\0');
  }
  c.environmentBlock.push_back('\0');
  return &c.environmentBlock[0];
}

BOOL WINAPI FreeEnvironmentStringsA(LPSTR) { return TRUE; }

namespace {
// The value of a variable, its name compared without ASCII case; false when it is not set.
bool FindVariable(const std::string &name, std::string *value) {
  if (name.empty()) return false;
  for (const auto &entry : core().environment) {
    const size_t equals = entry.find('=', 1);
    if (equals != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; i++) {
      same = tolower(static_cast<unsigned char>(entry[i])) == tolower(static_cast<unsigned char>(name[i]));
    }
    if (same) {
      *value = entry.substr(equals + 1);
      return true;
    }
  }
  return false;
}
}  // namespace

// Each %NAME% of a set variable is replaced; an unknown one stays as it stands, and so does a
// lone "%" (as ntdll's RtlExpandEnvironmentStrings does). Returns the characters the result needs
// with its NUL; the buffer is written only when they fit.
DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  SIM_FAULT_LAST_ERROR("ExpandEnvironmentStringsA", 0);
  if (!lpSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string source = lpSrc;
  std::string result;
  size_t at = 0;
  while (at < source.size()) {
    const size_t open = source.find('%', at);
    if (open == std::string::npos) {
      result += source.substr(at);
      break;
    }
    result += source.substr(at, open - at);
    const size_t close = source.find('%', open + 1);
    if (close == std::string::npos) {
      result += source.substr(open);
      break;
    }
    std::string value;
    if (FindVariable(source.substr(open + 1, close - open - 1), &value)) {
      result += value;
    } else {
      result += source.substr(open, close - open + 1);
    }
    at = close + 1;
  }
  const DWORD needed = static_cast<DWORD>(result.size() + 1);
  if (lpDst && nSize >= needed) memcpy(lpDst, result.c_str(), needed);
  return needed;
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  SIM_COUNT_CALL("GetLocalTime");
  *lpSystemTime = core().localTime;
}

// Cannot fail; returns the mode before the call. The simulation shows no critical-error box in any
// mode; the mode is kept for sim::ErrorMode.
UINT WINAPI SetErrorMode(UINT uMode) {
  SIM_COUNT_CALL("SetErrorMode");
  const UINT before = core().errorMode;
  core().errorMode = uMode;
  return before;
}

namespace sim {
UINT ErrorMode() {
  sim_internal::CallScope scope;
  return core().errorMode;
}
}  // namespace sim

// Frees descriptors from ConvertStringSecurityDescriptorToSecurityDescriptorA; NULL on success.
HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  sim_internal::CallScope scope;
  auto *d = static_cast<Descriptor *>(hMem);
  if (!hMem) return nullptr;
  if (!core().descriptors.erase(d)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  delete d;
  return nullptr;
}

// The descriptor keeps its SDDL text so that the registry can record what a save was given.
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(
    LPCSTR StringSecurityDescriptor, DWORD StringSDRevision,
    PSECURITY_DESCRIPTOR *SecurityDescriptor, PULONG SecurityDescriptorSize) {
  SIM_FAULT_LAST_ERROR("ConvertStringSecurityDescriptorToSecurityDescriptorA", FALSE);
  if (!StringSecurityDescriptor || !SecurityDescriptor || StringSDRevision != SDDL_REVISION_1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto *d = new Descriptor{StringSecurityDescriptor};
  core().descriptors.insert(d);
  *SecurityDescriptor = d;
  if (SecurityDescriptorSize) *SecurityDescriptorSize = 20 + static_cast<ULONG>(d->sddl.size());
  return TRUE;
}

// ---- threads -----------------------------------------------------------------------------------
// A real thread of the test process runs the start routine; its simulated calls take turns with
// the other threads' through the simulation's lock.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
  (void)lpThreadAttributes;
  (void)dwStackSize;
  SIM_FAULT_LAST_ERROR("CreateThread", nullptr);
  if (!lpStartAddress || dwCreationFlags != 0) {  // suspended starts are not modelled
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadState>();
  thread->id = nextThreadId.fetch_add(4);
  runningThreads++;
  thread->thread = std::thread([thread, lpStartAddress, lpParameter] {
    threadId = thread->id;
    createdThread = true;
    const DWORD code = lpStartAddress(lpParameter);
    sim_internal::CallScope scope;
    thread->exitCode = code;
    thread->finished = true;
    runningThreads--;
  });
  if (lpThreadId) *lpThreadId = thread->id;
  return sim_internal::NewHandle(sim_internal::Kind::Thread, new std::shared_ptr<ThreadState>(thread),
                                 DestroyThreadHandle);
}

// Only thread handles are modelled as objects to wait for.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  SIM_FAULT_LAST_ERROR("WaitForSingleObject", WAIT_FAILED);
  ThreadState *thread = ThreadOf(hHandle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  const auto deadline = dwMilliseconds == INFINITE
                            ? std::chrono::steady_clock::time_point::max()
                            : std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
  return sim_internal::Lock().WaitUntil([thread] { return thread->finished; }, deadline) ? WAIT_OBJECT_0
                                                                                          : WAIT_TIMEOUT;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  SIM_FAULT_LAST_ERROR("GetExitCodeThread", FALSE);
  ThreadState *thread = ThreadOf(hThread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!lpExitCode) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  *lpExitCode = thread->exitCode;
  return TRUE;
}

DWORD WINAPI GetCurrentThreadId(void) { return sim_internal::CurrentThreadId(); }

void WINAPI Sleep(DWORD dwMilliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
