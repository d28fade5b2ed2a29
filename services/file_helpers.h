// Existence test and forced delete of one file.
#pragma once

#include <cstdint>
#include <string>

// 1 when the file or folder exists, else 0.
int16_t PathExists(const std::string &path);

// 0 when the delete ran, 53 when the path did not exist, else the error number of the failed step.
int16_t ForceDelete(const std::string &path);

// True when name is one plain file name that stands for no other file: not empty, none of
// \ / : * ? " < > | or control characters, not "." or "..", no trailing dot or blank (Windows drops
// them), no "~" (a short 8.3 alias may name another file), and no device name (CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, also with an extension).
bool IsPlainFileName(const std::string &name);
