#include "platform/SystemLibrary.h"

#include <cstring>

HMODULE LoadSystemLibrary(const char* Library) {
    HMODULE Module = LoadLibraryExA(Library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Only a system that does not know the flag gets here for an existing
    // library: load by full path, and let the libraries that one imports be
    // looked up beside it (the system folder) rather than beside the program.
    if (Module || GetLastError() != ERROR_INVALID_PARAMETER) return Module;
    char Path[MAX_PATH];
    UINT Length = GetSystemDirectoryA(Path, MAX_PATH);
    const std::size_t NameLength = std::strlen(Library);
    if (Length == 0 || Length + 1 + NameLength >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    Path[Length] = '\\';
    std::memcpy(Path + Length + 1, Library, NameLength + 1);
    return LoadLibraryExA(Path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* SystemFunctionAddress(const char* Library, const char* Name) {
    const HMODULE Module = LoadSystemLibrary(Library);
    return Module ? reinterpret_cast<void*>(GetProcAddress(Module, Name)) : nullptr;
}
