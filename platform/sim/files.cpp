// STUB: every call fails until this area is implemented.
#include "internal.h"

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  SetLastError(120);
  return FALSE;
}
HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI FindClose(HANDLE hFindFile) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  SetLastError(120);
  return FALSE;
}
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten, void *lpOverlapped) {
  SetLastError(120);
  return FALSE;
}
DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  SetLastError(120);
  return FALSE;
}
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  SetLastError(120);
  return 0;
}
DWORD WINAPI QueryDosDeviceA(LPCSTR lpDeviceName, LPSTR lpTargetPath, DWORD ucchMax) {
  SetLastError(120);
  return 0;
}
