// Splitting a textual key path into its predefined root and the sub-key below it.
#include "services/key_path.h"

#include "services/report.h"

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
std::optional<KeyPath> ParseKeyPath(const std::string &keyPath) {
  if (keyPath.compare(0, 5, "HKEY_") != 0 || keyPath.back() == '\\') {
    ReportEntry entry;
    entry.kind = ReportKind::KeyPathFormat;
    entry.caption = "Schlüssel-Parser";
    entry.text = "Falsches Format:\n\n" + keyPath;
    entry.style = MB_OK;
    Report(entry);
    return std::nullopt;
  }
  KeyPath parsed;
  const size_t slash = keyPath.find('\\');
  if (slash == std::string::npos) {
    parsed.root = RootKeyFromName(keyPath);
  } else {
    parsed.root = RootKeyFromName(keyPath.substr(0, slash));
    parsed.subKey = keyPath.substr(slash + 1);
  }
  return parsed;
}
