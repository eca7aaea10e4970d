#include "ui/CommonControls.h"

#include <windows.h>
#include <commctrl.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

using TInitCommonControlsEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

HMODULE LoadFromSystemFolder() {
    // By name, so that the manifest's side-by-side version 6 is the copy
    // found, with the search confined to the system folder.
    HMODULE Library = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (Library) return Library;
    // A system that does not know the flag: the system folder's copy by its
    // full path.
    char Path[MAX_PATH];
    UINT Length = GetSystemDirectoryA(Path, MAX_PATH);
    if (Length == 0 || Length + sizeof "\\comctl32.dll" > MAX_PATH) return nullptr;
    lstrcatA(Path, "\\comctl32.dll");
    // Its own imports are then looked up beside it, in the system folder.
    return LoadLibraryExA(Path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool Load() {
    HMODULE Library = LoadFromSystemFolder();
    if (!Library) return false;
    auto Init = reinterpret_cast<TInitCommonControlsEx>(
        reinterpret_cast<void*>(GetProcAddress(Library, "InitCommonControlsEx")));
    if (!Init) return false;
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    return Init(&Controls) != FALSE;
}

} // namespace

bool LoadCommonControls() {
    // The library stays loaded for the life of the process: its window
    // classes are in use until the end.
    static const bool Loaded = Load();
    return Loaded;
}
