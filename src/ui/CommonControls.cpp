#include "ui/CommonControls.h"
#include "platform/SystemLibrary.h"

#include <windows.h>
#include <commctrl.h>

namespace {

using TInitCommonControlsEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

bool Load() {
    // By name, so that the manifest's side-by-side version 6 is the copy
    // found.
    HMODULE Library = LoadSystemLibrary("comctl32.dll");
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
