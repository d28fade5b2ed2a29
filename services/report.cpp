// Reports as message boxes, or to the receiver a front end installed.
#include "services/report.h"

#include <utility>

#include "services/text_ops.h"

namespace {
ReportReceiver g_receiver;  // empty: message boxes
}

void Report(const ReportEntry &entry) {
  if (g_receiver) {
    g_receiver(entry);
    return;
  }
  MessageBoxA(nullptr, entry.text.c_str(), entry.caption.c_str(), entry.style);
}

ReportReceiver SetReportReceiver(ReportReceiver receiver) {
  ReportReceiver earlier = std::move(g_receiver);
  g_receiver = std::move(receiver);
  return earlier;
}

void ReportRegistryError(ReportKind kind, LONG code, const std::string &file,
                         const std::string &operation, const std::string &tail) {
  ReportEntry entry;
  entry.kind = kind;
  entry.caption = "Fehler in " + operation;
  entry.text = "Fehlernummer: " + NumberText(code) + " in Datei " + file + tail;
  entry.file = file;
  entry.code = code;
  Report(entry);
}
