#pragma once
// Owners of the system's resources, one type per kind, each freeing its
// resource the one way the system wants on every way out of a scope.
// Windows only: no unit that is built natively may include this header.

#include <windows.h>
#include <objbase.h>
#include <shtypes.h>

#include "platform/ScopeExit.h"

#include <cstddef>
#include <utility>

// One resource of the system, freed by TFree on every way out of its owner's
// scope. Failed calls hand out nullptr (CreateProcess, OpenProcess,
// CreateThread, RegOpenKeyEx's untouched out-parameter) or
// INVALID_HANDLE_VALUE (CreateFile, FindFirstFile); both mean none and are
// never freed, whichever the API.
template <class T, class TFree> class TOwner {
public:
    TOwner() = default;
    TOwner(std::nullptr_t) {}
    explicit TOwner(T Raw, TFree Free = TFree()) : FRaw(Raw), FFree(Free) {}
    ~TOwner() { reset(); }
    TOwner(TOwner&& Other) noexcept : FRaw(Other.release()), FFree(Other.FFree) {}
    TOwner& operator=(TOwner&& Other) noexcept {
        reset(Other.release());
        FFree = Other.FFree;
        return *this;
    }

    explicit operator bool() const {
        return FRaw && reinterpret_cast<void*>(FRaw) != INVALID_HANDLE_VALUE;
    }
    friend bool operator==(const TOwner& Owner, std::nullptr_t) { return !Owner; }
    friend bool operator!=(const TOwner& Owner, std::nullptr_t) { return static_cast<bool>(Owner); }
    T get() const { return FRaw; }
    T operator->() const { return FRaw; }
    T release() { return std::exchange(FRaw, T()); }
    // Frees the resource held before taking Raw.
    void reset(T Raw = T()) {
        if (*this) FFree(FRaw);
        FRaw = Raw;
    }
    // For a call that hands its resource out through a pointer: frees what is
    // held and gives the call the owner's own slot, so nothing is ever held
    // by a raw variable in between.
    T* put() {
        reset();
        return &FRaw;
    }
    // The same for the calls that take a void** (CoCreateInstance,
    // QueryInterface, QueryService).
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T FRaw = T();
    TFree FFree;
};

template <class TFree> using THandleOwner = TOwner<HANDLE, TFree>;

struct TCloseHandle {
    void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
struct TFindClose {
    void operator()(HANDLE Find) const { FindClose(Find); }
};
// A kernel object: file, pipe, process, thread, event.
using THandle = THandleOwner<TCloseHandle>;
// A search of FindFirstFile.
using TFindHandle = THandleOwner<TFindClose>;

struct TRegCloseKey {
    void operator()(HKEY Key) const { RegCloseKey(Key); }
};
// An opened or created registry key (never a predefined one).
using TRegKey = TOwner<HKEY, TRegCloseKey>;

struct TDeleteObject {
    void operator()(HGDIOBJ Object) const { DeleteObject(Object); }
};
// A pen, brush, font or bitmap; deselect it before it goes.
template <class TGdiHandle> using TGdiObject = TOwner<TGdiHandle, TDeleteObject>;

struct TDeleteDc {
    void operator()(HDC Dc) const { DeleteDC(Dc); }
};
// A device context made by CreateCompatibleDC or CreateDC.
using TMemoryDc = TOwner<HDC, TDeleteDc>;

// GetDC's device context goes back to the window it came from.
struct TReleaseDc {
    HWND Wnd = nullptr; // nullptr: the screen
    void operator()(HDC Dc) const { ReleaseDC(Wnd, Dc); }
};
// A window's (or the screen's) device context from GetDC.
using TWindowDc = TOwner<HDC, TReleaseDc>;

struct TFreeLibrary {
    void operator()(HMODULE Module) const { FreeLibrary(Module); }
};
// A library loaded by LoadLibrary.
using TModule = TOwner<HMODULE, TFreeLibrary>;

struct TCoTaskMemFree {
    void operator()(void* Memory) const { CoTaskMemFree(Memory); }
};
// Memory of the COM task allocator, which is also the shell's: item-id lists
// and strings the shell hands out.
template <class T> using TCoMem = TOwner<T*, TCoTaskMemFree>;
using TItemIdList = TCoMem<ITEMIDLIST>;

struct TComRelease {
    void operator()(IUnknown* Object) const { Object->Release(); }
};
// One reference to a COM object.
template <class TInterface> using TComPtr = TOwner<TInterface*, TComRelease>;

// COM on the calling thread for the object's lifetime. Every successful
// CoInitializeEx (S_FALSE too: already initialised) needs its CoUninitialize.
class TComScope {
public:
    explicit TComScope(DWORD Model = COINIT_APARTMENTTHREADED)
        : FStarted(SUCCEEDED(CoInitializeEx(nullptr, Model))) {}
    ~TComScope() {
        if (FStarted) CoUninitialize();
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;

private:
    bool FStarted;
};
