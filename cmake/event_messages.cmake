# Writes the message file of the program's event ids (run with cmake -P): every EVENT(name, id)
# line of BROVINK_EVENT_IDS in HEADER becomes a message "%1" (the entry's own text, nothing after
# it) in OUTPUT, which windmc compiles into the message table of the resources. Event Viewer looks
# a message up by the id as written (severity and facility 0), and FormatMessage takes the one
# language there is when none of the reader's is found.
cmake_minimum_required(VERSION 3.20)
file(READ ${HEADER} text)
if(text MATCHES "const [A-Za-z_]+ (kEvent[A-Za-z0-9_]*) *=")
  message(FATAL_ERROR "${HEADER}: event ids are lines EVENT(name, id) of BROVINK_EVENT_IDS, not constants: ${CMAKE_MATCH_1}")
endif()
string(REGEX MATCHALL "EVENT\\(kEvent[A-Za-z0-9_]+, *[0-9]+\\)" entries "${text}")
set(ids "")
set(messages "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "EVENT\\((kEvent[A-Za-z0-9_]+), *([0-9]+)\\)" "\\1;\\2" pair "${entry}")
  list(GET pair 0 name)
  list(GET pair 1 id)
  if(id IN_LIST ids)
    message(FATAL_ERROR "${HEADER}: event id ${id} is given twice")
  endif()
  list(APPEND ids ${id})
  string(APPEND messages "MessageId=${id}\nSymbolicName=${name}\nLanguage=German\n%1%0\n.\n\n")
endforeach()
if(NOT ids)
  message(FATAL_ERROR "${HEADER}: no EVENT(name, id) lines found")
endif()
file(WRITE ${OUTPUT}.new
     "; Generated from ${HEADER} by cmake/event_messages.cmake.\n"
     "MessageIdTypedef=DWORD\nLanguageNames=(German=0x0407:MSG00407)\n\n${messages}")
# Only a changed text touches the file, so that the resources are not rebuilt for nothing.
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
