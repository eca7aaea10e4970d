#pragma once
// Libraries of the system folder and their functions, bound when first
// needed and by name: a function that older systems or Wine lack
// (rstrtmgr.dll, bcrypt.dll, GetTempPath2A, the private namespaces) must
// not be imported, or the program would not start there; and no library
// may come from the setup's own folder. Windows only.

#include <windows.h>

#include <utility>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// The system folder's copy of a library, never one from the program's or
// the current folder; nullptr with the system's error code when missing.
// It stays loaded for the life of the process, as an imported one would.
HMODULE LoadSystemLibrary(const char* Library);

// The address of the function Name of the system library Library; nullptr
// with the system's error code when either is missing.
void* SystemFunctionAddress(const char* Library, const char* Name);

// One function of a system library, with its type, looked up at its first
// use. Empty where the system lacks it: the caller asks before calling.
template <class TFunction> class TSystemFunction {
public:
    constexpr TSystemFunction(const char* Library, const char* Name)
        : FLibrary(Library), FName(Name) {}

    TFunction get() const {
        if (!FLooked) {
            FFunction = reinterpret_cast<TFunction>(SystemFunctionAddress(FLibrary, FName));
            FLooked = true;
        }
        return FFunction;
    }
    explicit operator bool() const { return get() != nullptr; }
    template <class... TArgs> decltype(auto) operator()(TArgs&&... Args) const {
        return get()(std::forward<TArgs>(Args)...);
    }

private:
    const char* FLibrary;
    const char* FName;
    mutable TFunction FFunction = nullptr;
    mutable bool FLooked = false;
};
