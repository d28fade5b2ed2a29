// Entries in the Windows Application event log under the source "Brovink".
#include "services/event_log.h"

void WriteEventLog(WORD type, DWORD eventId, const std::string &text) {
  HANDLE source = RegisterEventSourceA(nullptr, "Brovink");
  if (!source) return;
  LPCSTR strings[1] = {text.c_str()};
  ReportEventA(source, type, 0, eventId, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}
