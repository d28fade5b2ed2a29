// File operations. They return an error number (0 on success) that only ForceDelete looks at;
// every other caller ignores it and goes on.
#pragma once

#include <cstdint>
#include <string>

#include "platform.h"

// The error number for an operating-system code (53 not found, 76 path not found, 70 denied, ...).
int ErrorNumber(DWORD osCode);

// 1 when the file or folder exists, else 0.
int16_t PathExists(const std::string &path);

// 0 when the delete ran, 53 when the path did not exist, else the error number of the failed step.
int16_t ForceDelete(const std::string &path);

int DeleteFiles(const std::string &name);  // wildcards allowed; "dir\" means every file in it
int CopyFileOver(const std::string &source, const std::string &target);
int CreateFolder(const std::string &folder);
int SetAttributes(const std::string &name, DWORD attributes);

// Clears a file's read-only attribute and keeps its others. A copy keeps the attributes of its
// source, so a copy from a CD or a write-protected set is read-only, and Windows cannot load a
// hive from a file it cannot write. False, with the system's code as the last error, when it
// cannot.
bool MakeWritable(const std::string &path);

// A text file written line by line with CR LF, opened without sharing for one run. One still open
// when it goes out of scope is closed (without the cut of TextFileClose). The first failure of its
// open, a write or its close is kept with the system's code, so that a file that was not written
// completely can be told: a later write after a failed open does nothing and keeps that failure.
struct TextFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD error = 0;                 // the system's code of the first failure, 0 when none
  const char *failedCall = "";     // the call that failed first ("CreateFile", "WriteFile", ...)

  TextFile() = default;
  ~TextFile();
  TextFile(const TextFile &) = delete;
  TextFile &operator=(const TextFile &) = delete;
};
int TextFileOpen(TextFile &file, const std::string &name);  // creates or empties
int TextFileWriteLine(TextFile &file, const std::string &text);
int TextFileClose(TextFile &file);

// True when name is one plain file name that stands for no other file: not empty, none of
// \ / : * ? " < > | or control characters, not "." or "..", no trailing dot or blank (Windows drops
// them), no "~" (a short 8.3 alias may name another file), and no device name (CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, also with an extension).
bool IsPlainFileName(const std::string &name);

// True for "X:\name\name...": a full path whose every part is IsPlainFileName, so that it names
// exactly the file it spells (no "..", no short alias, no device, no dropped trailing dot or blank).
bool IsPlainFullPath(const std::string &path);
