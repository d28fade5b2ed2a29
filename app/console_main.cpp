// Brovink.com: the same program as a console-subsystem program, so that cmd and PowerShell wait
// for it and take its exit code; both look for Brovink.com before Brovink.exe.
#include "app/main.h"

int main() { return StartBrovink(true); }
