#include "app/SafeLoad.h"

#include "app/LateBinding.h"

#include <windows.h>


namespace {

// Not every system or import library knows these; look them up at run time.
using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
using TSetDllDirectoryA = BOOL(WINAPI*)(LPCSTR);

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

    // Wine's theme library fetches this one by bare name on its first themed
    // drawing, with the search the process started with (program folder and
    // current folder first) whatever was restricted since. A library already
    // loaded is found by its name instead, so the system's copy is loaded now.
    LoadSystemLibrary("msimg32.dll");
}
