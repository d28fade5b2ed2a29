// STUB
#include "services/text_ops.h"
void ReadEnvironmentBlock() {}
