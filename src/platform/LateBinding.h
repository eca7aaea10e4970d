#pragma once
// Functions of system libraries bound on first use instead of at load time.
//
// A library the program imports is loaded while the process is mapped,
// before the program's first line runs and so before it can restrict the
// DLL search; the libraries that one pulls in are then looked up in the
// program's folder first. A late-bound function instead sits in a slot that
// starts out pointing at First(): its first call loads the library from the
// system folder only, stores the real function in the slot and calls it.
// Later calls go straight through the slot.
//
// When the library or the function cannot be found, the call fails the way
// its callers already expect a failure, with the system's error code:
//  - a function returning HRESULT returns HRESULT_FROM_WIN32 of the code;
//  - a function without a result (CoTaskMemFree, CoUninitialize: releases,
//    made from destructors) does nothing;
//  - any other function raises EOSError, which travels like every other
//    failed system call of the program to its error report.
// The code is also left in GetLastError().

#include "platform/OsError.h"
#include "platform/SystemLibrary.h"

#include <windows.h>

#include <cstddef>
#include <type_traits>

// Which function of which system library a slot stands for.
struct TLateProc {
    const char* Library; // file name, e.g. "shell32.dll"
    const char* Name;    // exported name
};

// Stack bytes one argument takes: a reference is passed as a pointer.
template <class T>
constexpr std::size_t StackSlotBytes = std::is_reference_v<T> ? sizeof(void*)
                                                              : (sizeof(T) + 3) / 4 * 4;

template <class TFunction> struct TLateBound;

template <class R, class... A> struct TLateBound<R(WINAPI*)(A...)> {
    using TFunction = R(WINAPI*)(A...);

    // Bytes of arguments the function takes off the stack: the number in its
    // decorated name ("_SHGetFolderPathA@20").
    static constexpr std::size_t StackBytes = (StackSlotBytes<A> + ... + 0);

    template <TFunction& Slot, const TLateProc& Proc> static R WINAPI First(A... Args) {
        if (void* Found = SystemFunctionAddress(Proc.Library, Proc.Name)) {
            auto Real = reinterpret_cast<TFunction>(Found);
            // Threads racing here store the same address.
            __atomic_store_n(&Slot, Real, __ATOMIC_RELEASE);
            return Real(Args...);
        }
        if constexpr (std::is_same_v<R, HRESULT>) {
            // Never a success code, even without an error code.
            DWORD Code = GetLastError();
            return Code ? HRESULT_FROM_WIN32(Code) : E_FAIL;
        } else if constexpr (std::is_void_v<R>)
            return;
        else
            RaiseLastOSError("Finding the system function", Proc.Name);
    }
};
