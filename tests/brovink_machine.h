// The simulated machine as Brovink finds it on Windows: what the program brings (its banner bitmap,
// the dialog fonts of its window) and what a Windows installation holds for it (the Recovery
// Console policy key). Every test, fuzz target and benchmark starts from this machine.
#pragma once

#include "simctl.h"

inline void BrovinkMachine() {
  sim::AddBitmapResource(102, 464, 71);  // resources/banner.bmp
  sim::InstallFont("MS Shell Dlg", 8, 6, 13);
  sim::InstallFont("MS Sans Serif", 8, 6, 13);
  sim::SetRegDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Setup\\RecoveryConsole",
                   "SecurityLevel", 0);
}

// From here on every sim::Reset() gives Brovink's machine.
inline void UseBrovinkMachine() { sim::SetMachineSetup(BrovinkMachine); }
