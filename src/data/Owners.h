#pragma once
// Owners of the system's resources, one type per kind, each freeing its
// resource the one way the system wants on every way out of a scope.
// Windows only: no unit that is built natively may include this header.

#include <windows.h>
#include <objbase.h>
#include <shtypes.h>

#include <memory>
#include <type_traits>
#include <utility>

// A handle that one call frees. Failed calls hand out nullptr (CreateProcess,
// OpenProcess, CreateThread) or INVALID_HANDLE_VALUE (CreateFile,
// FindFirstFile); both mean none and are never freed, whichever the API.
template <class TFree> class THandleOwner {
public:
    THandleOwner() = default;
    explicit THandleOwner(HANDLE Handle) : FHandle(Handle) {}
    ~THandleOwner() { reset(); }
    THandleOwner(THandleOwner&& Other) noexcept : FHandle(Other.release()) {}
    THandleOwner& operator=(THandleOwner&& Other) noexcept {
        reset(Other.release());
        return *this;
    }

    explicit operator bool() const { return FHandle && FHandle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return FHandle; }
    HANDLE release() { return std::exchange(FHandle, nullptr); }
    // Frees the handle held before taking Handle.
    void reset(HANDLE Handle = nullptr) {
        if (*this) TFree()(FHandle);
        FHandle = Handle;
    }

private:
    HANDLE FHandle = nullptr;
};

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
using TRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TRegCloseKey>;

struct TDeleteObject {
    void operator()(HGDIOBJ Object) const { DeleteObject(Object); }
};
// A pen, brush, font or bitmap; deselect it before it goes.
template <class TGdiHandle>
using TGdiObject = std::unique_ptr<std::remove_pointer_t<TGdiHandle>, TDeleteObject>;

struct TDeleteDc {
    void operator()(HDC Dc) const { DeleteDC(Dc); }
};
// A device context made by CreateCompatibleDC or CreateDC.
using TMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, TDeleteDc>;

// GetDC's device context goes back to the window it came from.
struct TReleaseDc {
    HWND Wnd = nullptr; // nullptr: the screen
    void operator()(HDC Dc) const { ReleaseDC(Wnd, Dc); }
};
// A window's (or the screen's) device context from GetDC.
using TWindowDc = std::unique_ptr<std::remove_pointer_t<HDC>, TReleaseDc>;

struct TFreeLibrary {
    void operator()(HMODULE Module) const { FreeLibrary(Module); }
};
// A library loaded by LoadLibrary.
using TModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, TFreeLibrary>;

struct TCoTaskMemFree {
    void operator()(void* Memory) const { CoTaskMemFree(Memory); }
};
// Memory of the COM task allocator, which is also the shell's: item-id lists
// and strings the shell hands out.
template <class T> using TCoMem = std::unique_ptr<T, TCoTaskMemFree>;
using TItemIdList = TCoMem<ITEMIDLIST>;

struct TComRelease {
    void operator()(IUnknown* Object) const { Object->Release(); }
};
// One reference to a COM object.
template <class TInterface> using TComPtr = std::unique_ptr<TInterface, TComRelease>;

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
