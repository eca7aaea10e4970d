#include "ui/CommonControls.h"
#include "platform/SystemLibrary.h"

#include <windows.h>
#include <commctrl.h>

namespace {

bool Load() {
    // By name, so that the manifest's side-by-side version 6 is the copy
    // found.
    static const TSystemFunction<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)> Init{
        "comctl32.dll", "InitCommonControlsEx"};
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

namespace {

const TSystemFunction<BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR)> SetSubclass{
    "comctl32.dll", "SetWindowSubclass"};
const TSystemFunction<BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR)> Unsubclass{
    "comctl32.dll", "RemoveWindowSubclass"};
const TSystemFunction<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)> DefProc{"comctl32.dll",
                                                                            "DefSubclassProc"};

} // namespace

bool SubclassWindow(HWND Window, SUBCLASSPROC Proc, UINT_PTR Id, DWORD_PTR Data) {
    return SetSubclass && SetSubclass(Window, Proc, Id, Data);
}

bool RemoveSubclass(HWND Window, SUBCLASSPROC Proc, UINT_PTR Id) {
    return Unsubclass && Unsubclass(Window, Proc, Id);
}

LRESULT DefSubclass(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    return DefProc ? DefProc(Window, Msg, WParam, LParam) : 0;
}
