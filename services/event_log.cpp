// Entries in the Windows Application event log under the source "Brovink", and the source's
// registration.
#include "services/event_log.h"

#include "services/ansi_path.h"
#include "services/handles.h"
#include "services/text_ops.h"

namespace {

const DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

bool IsFile(const std::string &path) {
  if (path.empty() || !FitsBuffer(path, MAX_PATH)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// %NAME% replaced by the variable's value, as the event log expands the value; an unknown name
// stays as it stands.
std::string Expanded(const std::string &text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('%', at);
    const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
    if (close == std::string::npos) break;
    const std::string value = close > open + 1 ? EnvironmentValue(text.substr(open + 1, close - open - 1)) : "";
    out += text.substr(at, open - at);
    if (value.empty()) {
      out += text.substr(open, close - open);
      at = close;
    } else {
      out += value;
      at = close + 1;
    }
  }
  return out + text.substr(at);
}

// True when the source's EventMessageFile is a string that names (in one of its entries, which the
// event log separates at ';' and at ',') a file that exists. A value of another type, or a string
// of any length that names none, is no message file.
bool SourceHasMessageFile() {
  KeyOwner key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
    return false;
  }
  // A value longer than the buffer is read again at the size it reported (and once more should it
  // grow meanwhile); the text ends at its first NUL.
  std::string value(MAX_PATH, '\0');
  DWORD type = 0;
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < 3 && status == ERROR_MORE_DATA; attempt++) {
    DWORD size = static_cast<DWORD>(value.size());
    status = RegQueryValueExA(key.Get(), "EventMessageFile", nullptr, &type, reinterpret_cast<BYTE *>(value.data()),
                              &size);
    value.resize(size);
  }
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  value = value.c_str();
  const std::string files = type == REG_EXPAND_SZ ? Expanded(value) : value;
  size_t at = 0;
  while (at <= files.size()) {
    size_t end = files.find_first_of(";,", at);
    if (end == std::string::npos) end = files.size();
    if (IsFile(files.substr(at, end - at))) return true;
    at = end + 1;
  }
  return false;
}

// This program's full path as exact ANSI text, or "" when it has none that the value can hold.
std::string ProgramFile() {
  WCHAR buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path;
  if (length == 0 || length >= MAX_PATH || !ExactAnsiText(buffer, &path)) return "";
  if (path.find_first_of("%;,") != std::string::npos) return "";
  return path;
}

}  // namespace

LONG RegisterEventSourceFile() {
  if (SourceHasMessageFile()) return ERROR_SUCCESS;
  const std::string program = ProgramFile();
  if (program.empty()) return ERROR_INVALID_NAME;
  KeyOwner key;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key.Get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE *>(program.c_str()), static_cast<DWORD>(program.size() + 1));
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExA(key.Get(), "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&kTypesSupported),
                        sizeof kTypesSupported);
}

void WriteEventLog(WORD type, EventId eventId, const std::string &text) {
  (void)RegisterEventSourceFile();
  HANDLE source = RegisterEventSourceA(nullptr, "Brovink");
  if (!source) return;
  LPCSTR strings[1] = {text.c_str()};
  ReportEventA(source, type, 0, eventId, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}
