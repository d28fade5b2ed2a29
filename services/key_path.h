// Splitting a textual key path ("HKEY_LOCAL_MACHINE\SOFTWARE") into predefined root and sub-key.
#pragma once

#include <string>

#include "platform.h"

// The predefined key for a root name, compared byte for byte; nullptr for any other text.
HKEY RootKeyFromName(const std::string &name);

// On success replaces keyPath by its sub-key, stores the root and returns true. A malformed path
// shows the "Falsches Format:" box, leaves both unchanged and returns false.
bool ParseKeyPath(std::string &keyPath, HKEY &root);

// The root of the last successful parse, shared by all callers (nullptr before the first).
extern HKEY g_parsedRoot;
