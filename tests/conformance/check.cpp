// Counting and reporting of checks, the table of Wine's known differences from Windows, and the
// short list of checks that wait for a change to the simulation.
#include "check.h"

#include <cstdarg>
#include <cstdio>
#include <initializer_list>

namespace conf {
namespace {

int passed = 0, failed = 0, skipped = 0;

const char *BaseName(const char *file) {
  const char *base = file;
  for (const char *at = file; *at; at++) {
    if (*at == '/' || *at == '\\') base = at + 1;
  }
  return base;
}

struct Difference {
  WineDifference id;
  const char *reason;
};
// Wine (8.0) behaves differently from Windows here; each check that meets one is skipped under Wine
// alone, never loosened.
const Difference kWineDifferences[] = {
    {WineDifference::SaveWritesTextFormat,
     "RegSaveKey writes Wine's own text format (\"WINE REGISTRY Version 2\"), not a regf hive"},
    {WineDifference::SaveRefusesDescriptor,
     "RegSaveKey refuses any security descriptor with 1305 (ERROR_INVALID_OWNER)"},
    {WineDifference::ReplaceRegistersNothing,
     "RegReplaceKey returns success without checking privileges, files or registering anything"},
    {WineDifference::NoFileAcls, "files get no access control lists of their own"},
    {WineDifference::SaveOverwrites, "RegSaveKey replaces an existing file instead of failing with 183"},
    {WineDifference::ArchiveOnEveryFile,
     "GetFileAttributes reports FILE_ATTRIBUTE_ARCHIVE on every file, never FILE_ATTRIBUTE_NORMAL"},
    {WineDifference::ReadOnlyWritableAsRoot,
     "read-only is a Unix permission bit, which does not stop root (the tests' user) from writing"},
    {WineDifference::DosMaskWildcards,
     "FindFirstFile masks lack the DOS meaning: \"?\" never matches nothing, \"*.\" is \"*\""},
    {WineDifference::GetDlgItemKeepsError, "GetDlgItem of a missing id leaves the last error as it was"},
    {WineDifference::UnknownAlgorithmNotImplemented,
     "BCryptOpenAlgorithmProvider of an unknown algorithm returns STATUS_NOT_IMPLEMENTED (0xC0000002), "
     "not STATUS_NOT_FOUND (0xC0000225)"},
    {WineDifference::Utf8TakesDefaultChar,
     "WideCharToMultiByte(CP_UTF8) takes lpDefaultChar and lpUsedDefaultChar instead of failing with 87"},
    {WineDifference::ModuleNameCutWithoutNul,
     "GetModuleFileName cuts a path to nSize characters without a NUL, as Windows XP did"},
    {WineDifference::ShutdownBlockReasonStub,
     "ShutdownBlockReasonCreate and ...Destroy are stubs that fail with 120 (ERROR_CALL_NOT_IMPLEMENTED)"},
    {WineDifference::RenamesFolderWithOpenFiles,
     "MoveFileEx renames a folder while a file below it is open (a Unix rename); NTFS refuses with 5"},
};

struct Awaiting {
  AwaitingSimFix id;
  const char *what;
};
// Checks that the simulation does not pass yet, because the change that makes it behave like
// Windows here is made elsewhere. Each line goes once that change is in.
// Empty while the simulation passes every check.
const std::initializer_list<Awaiting> kAwaitingSimFix = {};

}  // namespace

void Report(bool pass, const char *file, int line, const char *format, ...) {
  if (pass) {
    passed++;
    return;
  }
  failed++;
  std::printf("%s:%d: check failed: ", BaseName(file), line);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

// Looked up once, before any check, so that asking never changes a last error a check reads.
bool OnWine() {
  static const bool wine = [] {
    DWORD error = GetLastError();
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    bool found = ntdll && GetProcAddress(ntdll, "wine_get_version");
    SetLastError(error);
    return found;
  }();
  return wine;
}

bool SkipOnWine(WineDifference difference, const char *file, int line) {
  if (!OnWine()) return false;
  for (const Difference &row : kWineDifferences) {
    if (row.id == difference) std::printf("%s:%d: skipped on Wine: %s\n", BaseName(file), line, row.reason);
  }
  skipped++;
  return true;
}

bool SkipUntilFixed(AwaitingSimFix check, const char *file, int line) {
  if (OnWine()) return false;
  for (const Awaiting &row : kAwaitingSimFix) {
    if (row.id == check) std::printf("%s:%d: skipped until the simulation has it: %s\n", BaseName(file), line, row.what);
  }
  skipped++;
  return true;
}

int Summary() {
  std::printf("%s: %d passed, %d failed, %d skipped\n", OnWine() ? "Wine" : "simulation", passed, failed,
              skipped);
  return failed ? 1 : 0;
}

#ifdef _WIN32
void StartMachine() {}
#endif

std::string ScratchFolder(const char *name) {
  char current[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  std::string folder(current, length < MAX_PATH ? length : 0);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  folder += name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

}  // namespace conf
