#include "Names.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace unrar::names {

bool IsUtf8(const std::string& Text) {
    const auto* s = reinterpret_cast<const unsigned char*>(Text.data());
    const size_t n = Text.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (length == 0 || c > 0xF4 || i + length > n) return false;
        unsigned long code = c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

#ifdef _WIN32

std::wstring Wide(const std::string& Utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), nullptr, 0);
    std::wstring wide(size_t(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), wide.data(), size);
    return wide;
}

std::string Utf8(const std::wstring& Wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), text.data(), size, nullptr,
                            nullptr);
    return text;
}

namespace {

std::wstring FromCodePage(const std::string& Text, UINT codePage) {
    const int size = MultiByteToWideChar(codePage, 0, Text.data(), int(Text.size()), nullptr, 0);
    std::wstring wide(size_t(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(codePage, 0, Text.data(), int(Text.size()), wide.data(), size);
    return wide;
}

// Wide in codePage; Exact tells whether every character had its own.
std::string ToCodePage(const std::wstring& Wide, UINT codePage, bool* Exact = nullptr) {
    BOOL defaulted = FALSE;
    // Best-fit would quietly make "ã" into "a": a name that then means
    // another file.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(codePage, flags, Wide.data(), int(Wide.size()), nullptr, 0,
                                         nullptr, Exact ? &defaulted : nullptr);
    std::string text(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, flags, Wide.data(), int(Wide.size()), text.data(), size,
                            nullptr, Exact ? &defaulted : nullptr);
    if (Exact) *Exact = !defaulted;
    return text;
}

} // namespace

std::string EntryName(const std::string& Bytes, bool IsPax) {
    if (IsPax || IsUtf8(Bytes)) return Bytes;
    return Utf8(FromCodePage(Bytes, CP_ACP));
}

std::string Argument(const std::string& Text) {
    return Utf8(FromCodePage(Text, CP_ACP));
}

bool FitsSetupProgram(const std::string& Utf8Name) {
    const std::wstring wide = Wide(Utf8Name);
    bool ansi = false, oem = false;
    ToCodePage(wide, CP_ACP, &ansi);
    ToCodePage(wide, CP_OEMCP, &oem);
    return ansi && oem;
}

std::string ForConsole(const std::string& Utf8Text) {
    // Plain ASCII, nearly every line: nothing to convert.
    for (char c : Utf8Text)
        if (static_cast<unsigned char>(c) >= 0x80) return ToCodePage(Wide(Utf8Text), CP_OEMCP);
    return Utf8Text;
}

#else

std::string EntryName(const std::string& Bytes, bool) {
    return Bytes;
}

std::string Argument(const std::string& Text) {
    return Text;
}

bool FitsSetupProgram(const std::string&) {
    return true;
}

std::string ForConsole(const std::string& Utf8Text) {
    return Utf8Text;
}

#endif

} // namespace unrar::names
