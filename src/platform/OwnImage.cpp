#include "platform/OwnImage.h"

#include <windows.h>

namespace {

// Held until the process ends; the system closes it then.
HANDLE Image = INVALID_HANDLE_VALUE;

std::string OwnFileName() {
    std::string Path(MAX_PATH, '\0');
    for (;;) {
        const DWORD Length =
            GetModuleFileNameA(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
        if (Length == 0) return {};
        if (Length < Path.size()) return Path.substr(0, Length);
        Path.resize(Path.size() * 2);
    }
}

} // namespace

bool HoldOwnImage() {
    if (Image != INVALID_HANDLE_VALUE) return true;
    const std::string Path = OwnFileName();
    if (Path.empty()) return false;
    Image = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    return Image != INVALID_HANDLE_VALUE;
}

bool ReadOwnImage(std::string& Bytes) {
    Bytes.clear();
    LARGE_INTEGER Size{};
    if (!HoldOwnImage() || !GetFileSizeEx(Image, &Size) || Size.QuadPart > 0x7FFFFFFF) return false;
    Bytes.resize(static_cast<std::size_t>(Size.QuadPart));
    // Read by position: nothing else moves this handle's pointer, and a
    // second copy reads from the start again.
    std::size_t Done = 0;
    while (Done < Bytes.size()) {
        OVERLAPPED At{};
        At.Offset = static_cast<DWORD>(Done);
        DWORD Read = 0;
        if (!ReadFile(Image, Bytes.data() + Done, static_cast<DWORD>(Bytes.size() - Done), &Read,
                      &At) ||
            Read == 0)
            return false;
        Done += Read;
    }
    return true;
}
