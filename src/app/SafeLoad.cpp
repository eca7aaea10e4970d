#include "app/SafeLoad.h"

#include <windows.h>
#include <commctrl.h>

namespace {

// Not every system or import library knows these; look them up at run time.
using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
using TSetDllDirectoryA = BOOL(WINAPI*)(LPCSTR);
using TInitCommonControlsEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

template <class T> T KernelProc(const char* Name) {
    // kernel32 is a known DLL: always the system's own copy.
    return reinterpret_cast<T>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), Name)));
}

} // namespace

void RestrictDllSearch() {
    if (auto SetDefault = KernelProc<TSetDefaultDllDirectories>("SetDefaultDllDirectories"))
        SetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // An empty string removes the current folder from the search.
    if (auto SetDirectory = KernelProc<TSetDllDirectoryA>("SetDllDirectoryA")) SetDirectory("");
}

void LoadCommonControls() {
    // By name, so the manifest's side-by-side version 6 is the one found, and
    // with the search confined to the system folder.
    HMODULE Library = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!Library) {
        // A system that does not know the flag: the system folder's copy by
        // its full path.
        char Path[MAX_PATH];
        UINT Length = GetSystemDirectoryA(Path, MAX_PATH);
        if (Length == 0 || Length + sizeof "\\comctl32.dll" > MAX_PATH) return;
        lstrcatA(Path, "\\comctl32.dll");
        Library = LoadLibraryA(Path);
    }
    if (!Library) return;
    auto Init = reinterpret_cast<TInitCommonControlsEx>(
        reinterpret_cast<void*>(GetProcAddress(Library, "InitCommonControlsEx")));
    if (!Init) return;
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                                       ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    Init(&Controls);
}
