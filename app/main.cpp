// The process entry: a command line of the unattended mode runs without a window and gives its exit
// code; otherwise COM and the common controls for the one user-interface thread, then the main
// window until it is gone, other arguments and the show state ignored and the exit code 0.
#include "app/main.h"

#include "platform.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/unattended.h"
#include "services/handles.h"
#include "services/text_ops.h"

namespace {

typedef BOOL(WINAPI *InitCommonControlsExProc)(const INITCOMMONCONTROLSEX *);

// InitCommonControlsEx is looked up at run time (older comctl32 lacks it); InitCommonControls is
// imported directly, which also keeps comctl32 and its window classes loaded after FreeLibrary.
void InitControls() {
  ModuleOwner comctl(LoadLibraryA("COMCTL32.DLL"));
  if (!comctl) return;
  FARPROC proc = GetProcAddress(comctl.Get(), "InitCommonControlsEx");
  if (proc) {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_INTERNET_CLASSES;
    // Through void(*)() so that GCC's -Wcast-function-type accepts the cast from FARPROC.
    reinterpret_cast<InitCommonControlsExProc>(reinterpret_cast<void (*)()>(proc))(&init);
  } else {
    InitCommonControls();
  }
}

}  // namespace

// The command line is read in its wide form: the ANSI one that WinMain gets is already
// best-fitted, and a folder the code page cannot spell would arrive as another folder's name.
int StartBrovink(bool consoleProgram) {
  ReadEnvironmentBlock();  // the environment is read once, at start
  const Command command = ParseCommandLine(GetCommandLineW());
  if (command.mode != CommandMode::Window) return RunCommandLine(command);
  if (consoleProgram) FreeConsole();
  ComInit com;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  InitControls();
  ShowMainWindow(nullptr, instance);
  return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return StartBrovink(false); }
