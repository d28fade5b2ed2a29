// Test control of the simulated file system: drives, folders and files, files held open by another
// process, attributes that cannot be changed and folders that refuse writes.
// Paths are resolved as the file calls resolve them ("X:\...", "\..." on the current drive, or
// relative to the current directory); unlike the ANSI calls they have no length limit. A request
// that makes no sense (a file where a folder is needed, a missing file to hold open) throws.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace sim {

void AddDrive(char letter, const std::string &device);  // also makes "X:\" exist
// The drive holds no medium (an empty card reader or DVD drive): every path on it fails with 21
// (ERROR_NOT_READY), after Windows' critical-error box asking for a disk unless the process's error
// mode has SEM_FAILCRITICALERRORS. The boxes are counted, answered with Cancel.
void RemoveMedium(char letter);
int CriticalErrorBoxes();
void MakeFolders(const std::string &path);              // all levels
void PutFile(const std::string &path, const std::string &bytes,
             DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);  // makes the parent folders
bool FileExists(const std::string &path);                 // a file (not a folder)
bool FolderExists(const std::string &path);
std::string FileBytes(const std::string &path);  // "" when missing
// What GetFileAttributesA reports (FILE_ATTRIBUTE_NORMAL for a file without attributes);
// INVALID_FILE_ATTRIBUTES when missing.
DWORD FileAttributes(const std::string &path);
std::vector<std::string> ListFolder(const std::string &path);  // names as stored, sorted
void HoldOpen(const std::string &path, DWORD shareMode);  // another process holds it open (read+write)
void ReleaseHold(const std::string &path);                // that process closes it again
void LockAttributes(const std::string &path);             // SetFileAttributesA gives 5
void DenyWrites(const std::string &folder);  // creating/deleting/writing under it gives 5
// The file or folder becomes a link (symbolic link or junction): listed and reported with
// FILE_ATTRIBUTE_REPARSE_POINT; DeleteFileA and RemoveDirectoryA remove the link itself, and a call
// that would follow it fails with 120 (not modelled).
void MakeReparsePoint(const std::string &path);
void SetCurrentDirectory(const std::string &path);
int OpenFileCount(const std::string &path);  // handles of this process open on the file

// Every SetFileAttributesA call as the file system received it (faulted calls included).
struct AttributeRequest {
  std::string path;
  DWORD attributes;
};
const std::vector<AttributeRequest> &AttributeRequests();

}  // namespace sim
