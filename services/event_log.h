// Entries in the Windows Application event log under the source "Brovink", and the source's
// registration with the program as its message file.
#pragma once

#include <string>

#include "platform.h"

// The program's event ids, one line each. The build makes the message table of the program's
// resources from these lines (cmake/event_messages.cmake: every message is "%1", the entry's own
// text), so that Event Viewer shows an entry without its note of a missing description; a test
// compares the table in Brovink.exe with kEventIds. An id is added here and nowhere else.
#define BROVINK_EVENT_IDS(EVENT)                                                      \
  EVENT(kEventRunSummary, 1)        /* a run's summary */                             \
  EVENT(kEventHiveFailed, 2)        /* a hive or a file of the set that was not written */ \
  EVENT(kEventRetentionLeftover, 3) /* a file of an old set that retention could not remove */

// The ids as an enumeration: WriteEventLog takes nothing else, so that no entry is written with an
// id that the message table lacks (a number in its place does not compile).
#define BROVINK_EVENT_ENUMERATOR(name, id) name = id,
enum EventId : DWORD { BROVINK_EVENT_IDS(BROVINK_EVENT_ENUMERATOR) };
#undef BROVINK_EVENT_ENUMERATOR
#define BROVINK_EVENT_LIST_ENTRY(name, id) name,
const DWORD kEventIds[] = {BROVINK_EVENT_IDS(BROVINK_EVENT_LIST_ENTRY)};
#undef BROVINK_EVENT_LIST_ENTRY

// The source's key below HKEY_LOCAL_MACHINE.
const char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Brovink";

// Registers this program as the source's message file (EventMessageFile, REG_EXPAND_SZ, its full
// path; TypesSupported 7) when the source is missing or names no file that exists; a source that
// names an existing file, this program's or another copy's, stays as it is. Only an elevated
// process may write there: without the right, or for a program path that the ANSI code page cannot
// spell exactly or that holds '%', ';' or ',' (which the value would expand or split), nothing is
// written. The result is ERROR_SUCCESS when the source is usable afterwards; nobody has to act on
// it, since the entries are written either way.
LONG RegisterEventSourceFile();

// One entry of type EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE or EVENTLOG_ERROR_TYPE with
// the text as its one string, after RegisterEventSourceFile. The source is opened for the one entry
// only; a failure is not reported anywhere (there is nowhere left to report it).
void WriteEventLog(WORD type, EventId eventId, const std::string &text);
