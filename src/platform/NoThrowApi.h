#pragma once
// The system functions the program calls, declared as never throwing.
//
// The compiler assumes that any function not declared otherwise may throw a
// C++ exception, and the system headers promise nothing. So each call made
// while a string or an owned handle is alive needed an entry in the unwind
// tables and a cleanup path. These functions are C, throw nothing, and run
// no code of the program's: none sends or dispatches a message to one of
// its windows (DispatchMessage, SendMessage, CreateWindowEx, SetWindowText,
// a message box's own loop and the like are not listed, nor is a function
// that calls back, such as EnumThreadWindows), so no exception of ours can
// come out of one of them, whatever a window procedure lets through.
//
// Every part of the program is compiled with this header included first
// (src/app/CMakeLists.txt); adding the attribute to a declaration changes
// nothing else about the function.

#include <windows.h>

#include <ntsecapi.h>
#include <sddl.h>

// clang-format off
#define MORVANE_SYSTEM_FUNCTIONS(X) \
    /* advapi32 */ \
    X(AddAccessAllowedAceEx) X(ConvertSecurityDescriptorToStringSecurityDescriptorA) \
    X(CreateWellKnownSid) X(GetTokenInformation) X(InitializeAcl) X(InitializeSecurityDescriptor) \
    X(IsWellKnownSid) X(OpenProcessToken) X(RegCloseKey) X(RegCreateKeyExA) X(RegDeleteKeyExA) \
    X(RegDeleteValueA) X(RegEnumKeyExA) X(RegEnumValueA) X(RegOpenKeyExA) X(RegQueryInfoKeyA) \
    X(RegQueryValueExA) X(RegSetValueExA) X(SetSecurityDescriptorControl) \
    X(SetSecurityDescriptorDacl) X(SystemFunction036) \
    /* gdi32 */ \
    X(CreateCompatibleBitmap) X(CreateCompatibleDC) X(CreateFontA) X(CreateFontIndirectA) \
    X(CreatePen) X(CreateSolidBrush) X(DeleteDC) X(DeleteObject) X(Ellipse) X(GetDeviceCaps) \
    X(GetObjectA) X(GetStockObject) X(LineTo) X(MoveToEx) X(SelectObject) X(SetBkColor) \
    X(SetBkMode) X(SetStretchBltMode) X(SetTextColor) X(StretchBlt) \
    /* kernel32 */ \
    X(AllocConsole) X(AttachConsole) X(CloseHandle) X(CopyFileA) X(CreateDirectoryA) \
    X(CreateFileA) X(CreateMutexA) X(CreatePipe) X(CreateProcessA) X(DeleteFileA) \
    X(DuplicateHandle) X(FindClose) X(FindFirstFileA) X(FindNextFileA) X(FindResourceA) \
    X(FlushFileBuffers) X(FormatMessageA) X(FreeLibrary) X(GetACP) X(GetConsoleMode) X(GetCPInfo) \
    X(GetCurrentProcess) X(GetCurrentProcessId) X(GetCurrentThreadId) X(GetEnvironmentVariableA) \
    X(GetExitCodeProcess) X(GetFileAttributesA) X(GetFileAttributesExA) X(GetFileSizeEx) \
    X(GetFileType) X(GetFinalPathNameByHandleA) X(GetFullPathNameA) X(GetLastError) \
    X(GetLongPathNameA) X(GetModuleFileNameA) X(GetModuleHandleA) X(GetModuleHandleW) \
    X(GetProcAddress) X(GetShortPathNameA) X(GetStdHandle) X(GetSystemDirectoryA) \
    X(GetSystemWow64DirectoryA) X(GetTempPathA) X(GetTickCount) \
    X(GetVersionExA) X(GetWindowsDirectoryA) X(IsDBCSLeadByteEx) \
    X(LoadLibraryExA) X(LoadLibraryW) X(LoadResource) X(LocalFree) X(LockResource) \
    X(lstrcmpiA) X(MoveFileExA) X(MulDiv) \
    X(MultiByteToWideChar) X(PeekNamedPipe) X(ReadFile) X(RemoveDirectoryA) X(SetFileAttributesA) \
    X(SetFilePointer) X(SetHandleInformation) X(SetLastError) X(SizeofResource) X(Sleep) \
    X(TerminateProcess) X(WaitForSingleObject) X(WideCharToMultiByte) X(WriteConsoleA) \
    X(WriteFile) \
    /* user32 */ \
    X(AdjustWindowRectEx) X(AllowSetForegroundWindow) X(DrawEdge) X(DrawTextA) X(EndPaint) \
    X(FillRect) X(GetActiveWindow) X(GetClassInfoExA) X(GetClientRect) X(GetDC) \
    X(GetDlgCtrlID) X(GetFocus) X(GetNextDlgTabItem) X(GetParent) X(GetPropA) X(GetSysColor) \
    X(GetSysColorBrush) X(GetSystemMetrics) X(GetWindowLongPtrA) X(GetWindowRect) \
    X(InvalidateRect) X(IsChild) X(IsWindow) X(IsWindowEnabled) X(IsWindowVisible) \
    X(LoadCursorA) X(LoadIconA) X(LoadImageA) X(MapWindowPoints) X(OemToCharBuffA) \
    X(PostMessageA) X(PostQuitMessage) X(RegisterClassExA) X(ReleaseDC) X(RemovePropA) \
    X(SetPropA) X(SetTimer) X(SystemParametersInfoA) X(TranslateMessage) X(WaitForInputIdle)
// clang-format on

#define MORVANE_NO_THROW(Name) \
    extern "C" __declspec(dllimport) decltype(::Name) Name __attribute__((nothrow));
MORVANE_SYSTEM_FUNCTIONS(MORVANE_NO_THROW)
#undef MORVANE_NO_THROW
