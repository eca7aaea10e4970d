#pragma once
// A library of the system folder, loaded when first needed and bound by
// name: one that older systems lack (rstrtmgr.dll, bcrypt.dll) must not be
// imported, and no library may come from the setup's own folder. Windows
// only.

#include "data/Owners.h"
#include "data/Utils.h"

#include <windows.h>

class TSystemLibrary {
public:
    explicit TSystemLibrary(const char* Name) {
        char Folder[MAX_PATH];
        const UINT Length = GetSystemDirectoryA(Folder, MAX_PATH);
        if (Length == 0 || Length >= MAX_PATH) return;
        FModule.reset(LoadLibraryExA((AddTrailingBackslash(Folder) + Name).c_str(), nullptr,
                                     LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    // Sets Proc to the function Name of the library; false, and Proc null,
    // when there is none.
    template <class TProc> bool Bind(TProc& Proc, const char* Name) const {
        Proc = FModule ? reinterpret_cast<TProc>(
                             reinterpret_cast<void*>(GetProcAddress(FModule.get(), Name)))
                       : nullptr;
        return Proc != nullptr;
    }

private:
    TModule FModule;
};
