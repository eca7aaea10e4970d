#include "platform/SafeLoad.h"

#include "platform/SystemLibrary.h"

#include <windows.h>

void RestrictDllSearch() {
    // Not every system knows these: looked up, not imported.
    static const TSystemFunction<BOOL(WINAPI*)(DWORD)> SetDefault{"kernel32.dll",
                                                                  "SetDefaultDllDirectories"};
    static const TSystemFunction<BOOL(WINAPI*)(LPCSTR)> SetDirectory{"kernel32.dll",
                                                                     "SetDllDirectoryA"};
    if (SetDefault) SetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // An empty string removes the current folder from the search.
    if (SetDirectory) SetDirectory("");

    // Wine's theme library fetches this one by bare name on its first themed
    // drawing, with the search the process started with (program folder and
    // current folder first) whatever was restricted since. A library already
    // loaded is found by its name instead, so the system's copy is loaded now.
    LoadSystemLibrary("msimg32.dll");
}
