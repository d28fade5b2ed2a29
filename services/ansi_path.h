// Folders as exact ANSI text: the program's file calls are ANSI calls, and the code page's best-fit
// conversion can turn a folder's name into another folder's (b\u0101ck into back), so a folder whose
// name the ANSI code page cannot spell exactly is never used. The same holds for the OEM code page,
// in which cmd reads a batch file.
#pragma once

#include <string>

#include "platform.h"

// Converts a NUL-terminated wide path to ANSI text in *text, each character without its own byte
// in the code page given as '?' (for telling the user which folder it is). True only when every
// character has its own byte, so that the text names exactly this folder.
bool ExactAnsiText(const WCHAR *wide, std::string *text);

// The current directory as exact ANSI text: false when its name cannot be spelled (*folder then as
// above) or the directory cannot be read or does not fit MAX_PATH (*folder then empty).
bool ExactCurrentFolder(std::string *folder);

// ANSI text in the OEM code page (GetOEMCP), in which cmd reads a batch file from a console that
// keeps its default code page. True only when every character has its own byte there: no best-fit
// letter, no default character (a path spelled otherwise would name another file or none).
bool ExactOemText(const std::string &ansi, std::string *oem);
