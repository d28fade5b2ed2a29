// Native build only: the simulated machine starts in its start state, as a Windows process finds
// its machine running.
#include "check.h"
#include "simctl.h"

void conf::StartMachine() { sim::Reset(); }
