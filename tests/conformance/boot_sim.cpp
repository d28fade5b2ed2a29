// Native build only: the simulated machine starts in its start state, as a Windows process finds
// its machine running, with the dialog font that every Windows installation has.
#include "check.h"
#include "simctl.h"

void conf::StartMachine() {
  sim::Reset();
  sim::InstallFont("MS Shell Dlg", 8, 6, 13);
}
