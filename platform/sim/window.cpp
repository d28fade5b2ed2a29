// STUB: every call fails until this area is implemented.
#include "internal.h"

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  SetLastError(120);
  return 0;
}
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  SetLastError(120);
  return FALSE;
}
HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
  SetLastError(120);
  return 0;
}
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return 0;
}
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  SetLastError(120);
  return FALSE;
}
LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  return 0;
}
BOOL WINAPI DestroyWindow(HWND hWnd) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI IsWindow(HWND hWnd) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  SetLastError(120);
  return FALSE;
}
HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  SetLastError(120);
  return FALSE;
}
BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  SetLastError(120);
  return FALSE;
}
int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  return 0;
}
int WINAPI GetWindowTextLengthA(HWND hWnd) {
  return 0;
}
HWND WINAPI GetActiveWindow(void) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
  SetLastError(120);
  return FALSE;
}
void WINAPI InitCommonControls(void) {
  SetLastError(120);
}
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce) {
  SetLastError(120);
  return FALSE;
}
HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  return 120;
}
void WINAPI CoUninitialize(void) {
  SetLastError(120);
}
void WINAPI CoTaskMemFree(LPVOID pv) {
  SetLastError(120);
}
LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi) {
  SetLastError(120);
  return 0;
}
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
  SetLastError(120);
  return FALSE;
}
