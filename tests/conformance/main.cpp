// The conformance suite: the Win32 calls that Brovink makes, with the arguments and error paths it
// depends on, checked against Windows' documented behaviour. Built natively against the simulated
// Win32 and cross-built into a Windows console program that runs under Wine.
#include "check.h"

int main() {
  conf::StartMachine();
  conf::CheckToken();
  conf::CheckRegistry();
  conf::CheckFiles();
  conf::CheckSystem();
  conf::CheckWindows();
  conf::CheckProcess();
  conf::CheckCrypto();
  return conf::Summary();
}
