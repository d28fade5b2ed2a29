// Splitting a textual key path ("HKEY_LOCAL_MACHINE\SOFTWARE") into predefined root and sub-key.
#pragma once

#include <optional>
#include <string>

#include "platform.h"

// The predefined key for a root name, compared byte for byte; nullptr for any other text.
HKEY RootKeyFromName(const std::string &name);

struct KeyPath {
  HKEY root = nullptr;  // nullptr for a root name that is no predefined key
  std::string subKey;
};

// The root and sub-key of keyPath. A malformed path is reported ("Falsches Format:", kind
// KeyPathFormat) and gives nothing.
std::optional<KeyPath> ParseKeyPath(const std::string &keyPath);
