#pragma once
// Windows of this or another process, looked at as a user would, and the
// message pump of the in-process window tests.

#include <windows.h>

#include <string>
#include <vector>

std::string ClassName(HWND Window);
// The caption or text; an edit of a busy program answers "<no answer>".
std::string WindowText(HWND Window);

// The visible top-level windows of a process.
std::vector<HWND> TopWindows(DWORD Pid);
// The process's visible top-level window with this caption (and class, when
// given); none when there is no such window.
HWND FindTopWindow(DWORD Pid, const std::string& Caption, const char* Class = nullptr);
// Every window below Parent, at any depth.
std::vector<HWND> Descendants(HWND Parent);

// Writes the whole screen as a 24-bit BMP file; false when it could not.
bool SaveScreenshot(const std::string& FileName);

// Dispatches the messages waiting for this thread.
void PumpMessages();

// Waits until Done() holds, polling every 50 ms; false on timeout.
template <class TPredicate> bool WaitFor(DWORD Ms, TPredicate Done) {
    const DWORD Start = GetTickCount();
    for (;;) {
        if (Done()) return true;
        if (GetTickCount() - Start >= Ms) return false;
        Sleep(50);
    }
}
