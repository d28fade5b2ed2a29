// The conformance suite's checks, in the style of Wine's ok(): one line per failed check with file
// and line, a summary "N passed, N failed, N skipped" and the exit code. The same source runs
// against the simulated Win32 and, cross-built, under Wine; it includes only platform.h.
#pragma once

#include <string>

#include "platform.h"

namespace conf {

// Known ways in which Wine differs from Windows (table and reasons in check.cpp). A check that
// meets one is skipped only when running under Wine.
enum class WineDifference {
  SaveWritesTextFormat,
  SaveRefusesDescriptor,
  ReplaceRegistersNothing,
  NoFileAcls,
  SaveOverwrites,
  ArchiveOnEveryFile,
  ReadOnlyWritableAsRoot,
  DosMaskWildcards,
  GetDlgItemKeepsError,
  UnknownAlgorithmNotImplemented,
  Utf8TakesDefaultChar,
  ModuleNameCutWithoutNul,
  ShutdownBlockReasonStub,
  RenamesFolderWithOpenFiles,
};

// Checks that the simulation fails until another change to it lands (list in check.cpp): skipped
// against the simulation, run under Wine.
enum class AwaitingSimFix {};

void Report(bool pass, const char *file, int line, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
bool OnWine();
bool SkipOnWine(WineDifference difference, const char *file, int line);
bool SkipUntilFixed(AwaitingSimFix check, const char *file, int line);
int Summary();  // prints the summary line; the exit code

// Windows: nothing to do. Native build: puts the simulated machine into its start state.
void StartMachine();

// The check groups, one per area of the API.
void CheckToken();
void CheckRegistry();
void CheckFiles();
void CheckSystem();
void CheckWindows();
void CheckProcess();
void CheckCrypto();

// Enables or disables one privilege of the process token; false when that did not work.
bool SwitchPrivilege(const char *name, bool enable);

// A fresh folder for the file checks: the current directory + "\" + name.
std::string ScratchFolder(const char *name);

}  // namespace conf

#define ok(condition, ...) conf::Report((condition), __FILE__, __LINE__, __VA_ARGS__)
#define skip_on_wine(difference) conf::SkipOnWine(conf::WineDifference::difference, __FILE__, __LINE__)
#define skip_until_fixed(check) conf::SkipUntilFixed(conf::AwaitingSimFix::check, __FILE__, __LINE__)
