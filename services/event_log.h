// Entries in the Windows Application event log under the source "Brovink".
#pragma once

#include <string>

#include "platform.h"

// Event ids: a run's summary, a hive that was not saved, and a file of an old set that retention
// could not remove.
const DWORD kEventRunSummary = 1;
const DWORD kEventHiveFailed = 2;
const DWORD kEventRetentionLeftover = 3;

// One entry of type EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE or EVENTLOG_ERROR_TYPE with
// the text as its one string. The source is registered for the one entry only; a failure is not
// reported anywhere (there is nowhere left to report it).
void WriteEventLog(WORD type, DWORD eventId, const std::string &text);
