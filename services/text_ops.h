// Shared text operations: buffer fit, the environment, the date and the small text helpers.
#pragma once

#include <string>

#include "platform.h"

// True when text fits a NUL-terminated buffer of `bytes` bytes. A path that does not fit is never
// cut and used: it would name another file.
bool FitsBuffer(const std::string &text, size_t bytes);

// Reads the environment block; done once at start (and by tests after they change it).
void ReadEnvironmentBlock();
std::string EnvironmentValue(const std::string &name);  // "" when missing

std::string DateText();  // MM-DD-YYYY of the local date
std::string LowerCase(const std::string &text);

// The one comparison of names without regard to case (file names, switches, environment names), as
// Windows compares file names: through NTFS's upper-case table, Windows-1252 letters included.
char FoldNameCase(char c);
bool SameNameNoCase(const std::string &a, const std::string &b);
int SearchText(int start, const std::string &text, const std::string &find);  // 1-based, 0 none
std::string ReplaceText(const std::string &find, const std::string &replacement,
                        const std::string &text);
std::string NumberText(long number);  // " 5", "-5"
