#include "platform/ShellNames.h"
#include "platform/Owners.h"

#include <cstring>
#include <utility>

std::string StrRetToText(STRRET& Value, PCUITEMID_CHILD Item) {
    switch (Value.uType) {
    case STRRET_WSTR: {
        const TCoMem<WCHAR> Wide(std::exchange(Value.pOleStr, nullptr));
        std::string Text;
        if (!Wide) return Text;
        int Size = WideCharToMultiByte(CP_ACP, 0, Wide.get(), -1, nullptr, 0, nullptr, nullptr);
        if (Size > 0) {
            Text.resize(Size);
            WideCharToMultiByte(CP_ACP, 0, Wide.get(), -1, Text.data(), Size, nullptr, nullptr);
            Text.resize(Size - 1);
        }
        return Text;
    }
    case STRRET_OFFSET:
        return std::string(reinterpret_cast<const char*>(Item) + Value.uOffset);
    case STRRET_CSTR:
        return std::string(Value.cStr, strnlen(Value.cStr, sizeof Value.cStr));
    default:
        return {};
    }
}
