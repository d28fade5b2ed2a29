// Splitting a textual key path into its predefined root and the sub-key below it.
#include "services/key_path.h"

HKEY g_parsedRoot = nullptr;

HKEY RootKeyFromName(const std::string &name) {
  static const struct {
    const char *name;
    HKEY root;
  } roots[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
      {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_DYN_DATA", HKEY_DYN_DATA},
  };
  for (const auto &entry : roots) {
    if (name == entry.name) return entry.root;
  }
  return nullptr;
}

// Only the first backslash splits; a root name outside the table gives a null root, not an error.
bool ParseKeyPath(std::string &keyPath, HKEY &root) {
  if (keyPath.compare(0, 5, "HKEY_") != 0 || keyPath.back() == '\\') {
    MessageBoxA(nullptr, ("Falsches Format:\n\n" + keyPath).c_str(), "Schlüssel-Parser", MB_OK);
    return false;
  }
  const size_t slash = keyPath.find('\\');
  if (slash == std::string::npos) {
    root = RootKeyFromName(keyPath);
    keyPath.clear();
  } else {
    root = RootKeyFromName(keyPath.substr(0, slash));
    keyPath = keyPath.substr(slash + 1);
  }
  return true;
}
