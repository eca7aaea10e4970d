#include "ui/BrowseFolderDialog.h"

#include "platform/OsError.h"
#include "platform/Owners.h"
#include "platform/Utils.h"
#include "ui/Centring.h"

#include <shlobj.h>

#include <vector>

namespace {

// Makes the dialog modal to the whole thread: disables the visible, enabled
// top-level windows and, on the way out, enables exactly those again and
// reactivates the window that was active.
class TThreadWindowsDisabled {
public:
    explicit TThreadWindowsDisabled(HWND Active) : FActive(Active) {
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
        for (HWND Wnd : FWindows)
            EnableWindow(Wnd, FALSE);
    }
    ~TThreadWindowsDisabled() {
        for (HWND Wnd : FWindows)
            if (IsWindow(Wnd)) EnableWindow(Wnd, TRUE);
        if (FActive && IsWindow(FActive)) SetActiveWindow(FActive);
    }
    TThreadWindowsDisabled(const TThreadWindowsDisabled&) = delete;
    TThreadWindowsDisabled& operator=(const TThreadWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Collect(HWND Wnd, LPARAM Data) {
        auto* Self = reinterpret_cast<TThreadWindowsDisabled*>(Data);
        if (IsWindowVisible(Wnd) && IsWindowEnabled(Wnd)) Self->FWindows.push_back(Wnd);
        return TRUE;
    }
    HWND FActive;
    std::vector<HWND> FWindows;
};

void CentreOnScreen(HWND Wnd) {
    RECT Bounds{};
    if (!GetWindowRect(Wnd, &Bounds)) return;
    TWindowOrigin Origin =
        CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                      Bounds.right - Bounds.left, Bounds.bottom - Bounds.top);
    SetWindowPos(Wnd, nullptr, Origin.Left, Origin.Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

bool IsExistingFolderItem(LPCITEMIDLIST Item) {
    char Path[MAX_PATH + 1] = {};
    return Item && SHGetPathFromIDListA(Item, Path) && DirectoryPresent(Path);
}

bool TBrowseFolderDialog::Execute() {
    FDisplayName.assign(MAX_PATH, '\0');
    HWND Active = GetActiveWindow();

    BROWSEINFOA Info{};
    Info.hwndOwner = Owner ? Owner : Active;
    Info.pidlRoot = nullptr;
    Info.pszDisplayName = FDisplayName.data();
    Info.lpszTitle = DialogText.empty() ? nullptr : DialogText.c_str();
    Info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    Info.lpfn = &BrowseCallback;
    Info.lParam = reinterpret_cast<LPARAM>(this);
    Info.iImage = 0;

    // The shell's dialog needs COM on this thread.
    TComScope Com;
    TItemIdList Item;
    {
        TThreadWindowsDisabled Disabled(Active);
        Item.reset(SHBrowseForFolderA(&Info));
    }
    if (!Item) return false;
    char Path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(Item.get(), Path))
        RaiseLastOSError("Reading the path of the chosen folder");
    FolderName = StripTrailingBackslash(Path);
    return true;
}

int CALLBACK TBrowseFolderDialog::BrowseCallback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data) {
    auto* Self = reinterpret_cast<TBrowseFolderDialog*>(Data);
    try {
        Self->HandleCallback(Wnd, Msg, Param);
    } catch (...) {
        // Nothing may unwind into the shell; the dialog just stays as it is.
    }
    return 0;
}

void CALLBACK TBrowseFolderDialog::PreselectTick(HWND Wnd, UINT, UINT_PTR Id, DWORD) {
    // The timer ends with the dialog; once something is selected, or after
    // 15 s, its ticks do nothing.
    auto* Self = reinterpret_cast<TBrowseFolderDialog*>(Id);
    if (Self->FPreselectTicksLeft > 0) {
        --Self->FPreselectTicksLeft;
        SendMessageA(Wnd, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(Self->FolderName.c_str()));
    }
}

void TBrowseFolderDialog::HandleCallback(HWND Wnd, UINT Msg, LPARAM Param) {
    switch (Msg) {
    case BFFM_INITIALIZED:
        CentreOnScreen(Wnd);
        if (DirectoryPresent(FolderName)) {
            // Set before the request: a selection it makes clears it.
            FPreselectTicksLeft = 60;
            SendMessageA(Wnd, BFFM_SETSELECTIONA, TRUE,
                         reinterpret_cast<LPARAM>(FolderName.c_str()));
            // Wine's dialog can drop a selection asked for this early; the
            // same request again may also fail on a loaded machine, each one
            // opening more of the tree. So the request is repeated while the
            // dialog starts and nothing is selected yet.
            SetTimer(Wnd, reinterpret_cast<UINT_PTR>(this), 250, &PreselectTick);
        }
        break;
    case BFFM_SELCHANGED:
        FPreselectTicksLeft = 0;
        SendMessageA(Wnd, BFFM_ENABLEOK, 0,
                     IsExistingFolderItem(reinterpret_cast<LPCITEMIDLIST>(Param)) ? 1 : 0);
        break;
    }
}
