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
const simx::ResetHook shellReset(ResetShell);

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

namespace simx {
bool ProgressClassRegistered() { return state().progressRegistered; }
int PendingFolderAnswers() { return static_cast<int>(state().answers.size()); }
}  // namespace simx

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
  DWORD code;
  simx::Fault("InitCommonControls", &code);  // cannot fail; counted only
  simx::Log("InitCommonControls");
  state().inits.push_back(sim::CommonControlsInit{false, 0, 0});
  state().progressRegistered = true;
}

// Registers the classes of the requested groups; a record of another size is refused.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce) {
  DWORD code;
  if (simx::Fault("InitCommonControlsEx", &code)) {
    SetLastError(code);
    return FALSE;
  }
  if (!picce) return FALSE;
  char line[64];
  snprintf(line, sizeof line, "InitCommonControlsEx %u 0x%X", static_cast<unsigned>(picce->dwSize),
           static_cast<unsigned>(picce->dwICC));
  simx::Log(line);
  state().inits.push_back(sim::CommonControlsInit{true, picce->dwSize, picce->dwICC});
  if (picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  if (picce->dwICC & ICC_PROGRESS_CLASS) state().progressRegistered = true;
  return TRUE;
}

// ---- ole32 -------------------------------------------------------------------------------------
HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  DWORD code;
  if (simx::Fault("CoInitialize", &code)) return static_cast<HRESULT>(code);
  if (pvReserved) return E_INVALIDARG;
  simx::Log("CoInitialize");
  return ++state().comRefs == 1 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize(void) {
  DWORD code;
  simx::Fault("CoUninitialize", &code);  // cannot fail; counted only
  simx::Log("CoUninitialize");
  if (state().comRefs == 0) {
    simx::WindowError("CoUninitialize without CoInitialize");
    return;
  }
  state().comRefs--;
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  DWORD code;
  simx::Fault("CoTaskMemFree", &code);  // cannot fail; counted only
  if (!pv) return;
  simx::Log("CoTaskMemFree");
  if (!state().lists.erase(pv)) simx::WindowError("CoTaskMemFree of memory that is not allocated (freed twice?)");
}

// ---- shell32 -----------------------------------------------------------------------------------
// The scripted user's next folder answer decides; the record the dialog got is kept for the test.
LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi) {
  DWORD code;
  if (simx::Fault("SHBrowseForFolderA", &code)) return nullptr;
  if (!lpbi) return nullptr;
  simx::Log("SHBrowseForFolderA");
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
    simx::WindowError("a folder dialog appeared that the test did not answer");
  } else {
    FolderAnswer answer = state().answers.front();
    state().answers.pop_front();
    if (!answer.cancel) {
      record.displayName = simx::AnsiFromName(DisplayName(answer.path));
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
  DWORD code;
  if (simx::Fault("SHGetPathFromIDListA", &code)) return FALSE;
  if (!pszPath) return FALSE;
  auto it = state().lists.find(pidl);
  if (it == state().lists.end()) {
    pszPath[0] = '\0';
    return FALSE;
  }
  CopyOut(simx::AnsiFromName(it->second->path), pszPath);
  return TRUE;
}

BOOL WINAPI SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR pszPath) {
  DWORD code;
  if (simx::Fault("SHGetPathFromIDListW", &code)) return FALSE;
  if (!pszPath) return FALSE;
  auto it = state().lists.find(pidl);
  if (it == state().lists.end()) {
    pszPath[0] = 0;
    return FALSE;
  }
  std::u16string path = simx::WideFromName(it->second->path);
  size_t count = std::min(path.size(), static_cast<size_t>(MAX_PATH - 1));
  std::copy(path.begin(), path.begin() + static_cast<long>(count), pszPath);
  pszPath[count] = 0;
  return TRUE;
}

// ---- user32: restart ---------------------------------------------------------------------------
// Asks for the restart only; the simulated machine goes on. Needs SeShutdownPrivilege enabled.
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
  DWORD code;
  if (simx::Fault("ExitWindowsEx", &code)) {
    SetLastError(code);
    state().exits.push_back(sim::ExitRequest{uFlags, dwReason, FALSE});
    return FALSE;
  }
  simx::Log("ExitWindowsEx " + std::to_string(uFlags) + " " + std::to_string(dwReason));
  BOOL result = TRUE;
  if (!sim::PrivilegeEnabled("SeShutdownPrivilege")) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    result = FALSE;
  }
  state().exits.push_back(sim::ExitRequest{uFlags, dwReason, result});
  return result;
}
