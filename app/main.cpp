// STUB process entry, replaced by the start-up code.
#include "platform.h"
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
