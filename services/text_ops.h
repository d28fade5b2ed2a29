// Shared text and file operations. File operations return an error number (0 on success) that
// only ForceDelete looks at; every other caller ignores it and goes on.
#pragma once

#include <string>

#include "platform.h"

// The error number for an operating-system code (53 not found, 76 path not found, 70 denied, ...).
int ErrorNumber(DWORD osCode);

// True when text fits a NUL-terminated buffer of `bytes` bytes. A path that does not fit is never
// cut and used: it would name another file.
bool FitsBuffer(const std::string &text, size_t bytes);

int DeleteFiles(const std::string &name);  // wildcards allowed; "dir\" means every file in it
int CopyFileOver(const std::string &source, const std::string &target);
int CreateFolder(const std::string &folder);
int SetAttributes(const std::string &name, DWORD attributes);

// A text file written line by line with CR LF, opened without sharing for one run.
struct TextFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
};
int TextFileOpen(TextFile &file, const std::string &name);  // creates or empties
int TextFileWriteLine(TextFile &file, const std::string &text);
int TextFileClose(TextFile &file);

std::string CurrentFolder();

// Reads the environment block; done once at start (and by tests after they change it).
void ReadEnvironmentBlock();
std::string EnvironmentValue(const std::string &name);  // "" when missing

std::string DateText();  // MM-DD-YYYY of the local date
std::string LowerCase(const std::string &text);
int SearchText(int start, const std::string &text, const std::string &find);  // 1-based, 0 none
std::string ReplaceText(const std::string &find, const std::string &replacement,
                        const std::string &text);
std::string NumberText(long number);  // " 5", "-5"
