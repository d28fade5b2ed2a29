// Simulated comctl32 initialisation, ole32 COM and task memory, the shell's folder dialog answered
// by the scripted user, and user32's ExitWindowsEx against the simulated token.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "internal.h"
#include "simctl.h"
#include "window_internal.h"

namespace {

struct FolderAnswer {
  bool cancel;
  std::string path;
};

// An item list handed out by the folder dialog; CoTaskMemFree releases it.
struct ItemList {
  std::string path;
};

struct ShellState {
  bool progressRegistered = false;
  std::vector<sim::CommonControlsInit> inits;
  int comRefs = 0;
  std::vector<sim::ExitRequest> exits;
  std::deque<FolderAnswer> answers;
  std::vector<sim::FolderDialogRecord> dialogs;
  std::map<const void *, std::unique_ptr<ItemList>> lists;
};

ShellState &state() {
  static ShellState s;
  return s;
}

void ResetShell() { state() = ShellState{}; }
const sim_internal::ResetHook shellReset(ResetShell);

// What the folder dialog shows as the chosen item's name: the last component, or for a drive
// root the drive's label.
std::string DisplayName(const std::string &path) {
  if (path.size() == 3 && path[1] == ':' && path[2] == '\\') {
    return std::string("Lokaler Datenträger (") + path.substr(0, 2) + ")";
  }
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void CopyOut(const std::string &text, char *buffer) {
  size_t count = std::min(text.size(), static_cast<size_t>(MAX_PATH - 1));
  memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
}

}  // namespace

namespace sim_internal {
bool ProgressClassRegistered() { return state().progressRegistered; }
int PendingFolderAnswers() { return static_cast<int>(state().answers.size()); }
}  // namespace sim_internal

namespace sim {

void AnswerFolderDialog(const std::string &path) { state().answers.push_back(FolderAnswer{false, path}); }
void CancelFolderDialog() { state().answers.push_back(FolderAnswer{true, ""}); }

const std::vector<CommonControlsInit> &CommonControlsInits() { return state().inits; }
int ComInitCount() { return state().comRefs; }
const std::vector<ExitRequest> &ExitRequests() { return state().exits; }
const std::vector<FolderDialogRecord> &FolderDialogs() { return state().dialogs; }
int LiveItemLists() { return static_cast<int>(state().lists.size()); }

}  // namespace sim

// ---- comctl32 ----------------------------------------------------------------------------------
void WINAPI InitCommonControls(void) {
  SIM_COUNT_CALL("InitCommonControls");
  sim_internal::Log("InitCommonControls");
  state().inits.push_back(sim::CommonControlsInit{false, 0, 0});
  state().progressRegistered = true;
}

// Registers the classes of the requested groups; a record of another size is refused.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce) {
  SIM_FAULT_LAST_ERROR("InitCommonControlsEx", FALSE);
  if (!picce) return FALSE;
  char line[64];
  snprintf(line, sizeof line, "InitCommonControlsEx %u 0x%X", static_cast<unsigned>(picce->dwSize),
           static_cast<unsigned>(picce->dwICC));
  sim_internal::Log(line);
  state().inits.push_back(sim::CommonControlsInit{true, picce->dwSize, picce->dwICC});
  if (picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  if (picce->dwICC & ICC_PROGRESS_CLASS) state().progressRegistered = true;
  return TRUE;
}

// ---- ole32 -------------------------------------------------------------------------------------
HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  SIM_FAULT_STATUS("CoInitialize", HRESULT);
  if (pvReserved) return E_INVALIDARG;
  sim_internal::Log("CoInitialize");
  return ++state().comRefs == 1 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize(void) {
  SIM_COUNT_CALL("CoUninitialize");
  sim_internal::Log("CoUninitialize");
  if (state().comRefs == 0) {
    sim_internal::WindowError("CoUninitialize without CoInitialize");
    return;
  }
  state().comRefs--;
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  SIM_COUNT_CALL("CoTaskMemFree");
  if (!pv) return;
  sim_internal::Log("CoTaskMemFree");
  if (!state().lists.erase(pv)) sim_internal::WindowError("CoTaskMemFree of memory that is not allocated (freed twice?)");
}

// ---- shell32 -----------------------------------------------------------------------------------
// The scripted user's next folder answer decides; the record the dialog got is kept for the test.
LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi) {
  SIM_FAULT_RESULT("SHBrowseForFolderA", nullptr);
  if (!lpbi) return nullptr;
  sim_internal::Log("SHBrowseForFolderA");
  sim::FolderDialogRecord record{};
  record.owner = lpbi->hwndOwner;
  record.root = lpbi->pidlRoot;
  record.displayBufferZeroed = lpbi->pszDisplayName != nullptr;
  for (int i = 0; lpbi->pszDisplayName && i < MAX_PATH; i++) {
    if (lpbi->pszDisplayName[i] != '\0') record.displayBufferZeroed = false;
  }
  record.title = lpbi->lpszTitle ? lpbi->lpszTitle : "";
  record.flags = lpbi->ulFlags;
  record.callback = lpbi->lpfn != nullptr;
  record.lParam = lpbi->lParam;
  record.comInitialized = state().comRefs > 0;

  LPITEMIDLIST result = nullptr;
  if (state().answers.empty()) {
    sim_internal::WindowError("a folder dialog appeared that the test did not answer");
  } else {
    FolderAnswer answer = state().answers.front();
    state().answers.pop_front();
    if (!answer.cancel) {
      record.displayName = sim_internal::AnsiFromName(DisplayName(answer.path));
      if (lpbi->pszDisplayName) CopyOut(record.displayName, lpbi->pszDisplayName);
      auto list = std::make_unique<ItemList>(ItemList{answer.path});
      result = reinterpret_cast<LPITEMIDLIST>(list.get());
      state().lists[list.get()] = std::move(list);
    }
  }
  state().dialogs.push_back(record);
  return result;
}

// The ANSI form converts the path with the code page's best-fit characters, as Windows does.
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
  SIM_FAULT_RESULT("SHGetPathFromIDListA", FALSE);
  if (!pszPath) return FALSE;
  auto it = state().lists.find(pidl);
  if (it == state().lists.end()) {
    pszPath[0] = '\0';
    return FALSE;
  }
  CopyOut(sim_internal::AnsiFromName(it->second->path), pszPath);
  return TRUE;
}

BOOL WINAPI SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR pszPath) {
  SIM_FAULT_RESULT("SHGetPathFromIDListW", FALSE);
  if (!pszPath) return FALSE;
  auto it = state().lists.find(pidl);
  if (it == state().lists.end()) {
    pszPath[0] = 0;
    return FALSE;
  }
  std::u16string path = sim_internal::WideFromName(it->second->path);
  size_t count = std::min(path.size(), static_cast<size_t>(MAX_PATH - 1));
  std::copy(path.begin(), path.begin() + static_cast<long>(count), pszPath);
  pszPath[count] = 0;
  return TRUE;
}

// ---- user32: restart ---------------------------------------------------------------------------
// Asks for the restart only; the simulated machine goes on. Needs SeShutdownPrivilege enabled.
namespace {
// Every request is recorded with its result, a failed one too.
BOOL RecordExit(UINT flags, DWORD reason, BOOL result) {
  state().exits.push_back(sim::ExitRequest{flags, reason, result});
  return result;
}
}  // namespace

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
  SIM_FAULT_LAST_ERROR("ExitWindowsEx", RecordExit(uFlags, dwReason, FALSE));
  sim_internal::Log("ExitWindowsEx " + std::to_string(uFlags) + " " + std::to_string(dwReason));
  BOOL result = TRUE;
  if (!sim::PrivilegeEnabled("SeShutdownPrivilege")) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    result = FALSE;
  }
  return RecordExit(uFlags, dwReason, result);
}
