#pragma once
// A library of the system folder, loaded when first needed and bound by
// name: one that older systems lack (rstrtmgr.dll, bcrypt.dll) must not be
// imported, and no library may come from the setup's own folder. Windows
// only.

#include "platform/Owners.h"

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// The system folder's copy of a library, never one from the program's or
// the current folder; nullptr with the system's error code when missing.
HMODULE LoadSystemLibrary(const char* Library);

class TSystemLibrary {
public:
    explicit TSystemLibrary(const char* Name) : FModule(LoadSystemLibrary(Name)) {}
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
