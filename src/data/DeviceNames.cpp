#include "data/DeviceNames.h"
#include "platform/Text.h"

namespace {

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// The superscripts one, two and three: single bytes in Latin-1 (and the
// Windows code page 1252), two in UTF-8.
bool IsSuperscriptDigit(const std::string& Text) {
    static const char* const Forms[] = {"\xB9", "\xB2", "\xB3", "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
    for (const char* Form : Forms)
        if (Text == Form) return true;
    return false;
}

} // namespace

bool IsDeviceName(const std::string& Name) {
    std::string Base;
    for (char C : Name.substr(0, Name.find('.')))
        Base += UpperAscii(C);
    while (!Base.empty() && Base.back() == ' ')
        Base.pop_back();
    static const char* const Devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* Device : Devices)
        if (Base == Device) return true;
    if (Base.size() < 4 || (Base.compare(0, 3, "COM") != 0 && Base.compare(0, 3, "LPT") != 0))
        return false;
    const std::string Number = Base.substr(3);
    return (Number.size() == 1 && IsDigit(Number[0])) || IsSuperscriptDigit(Number);
}

bool LooksLikeShortName(const std::string& Name) {
    const std::string::size_type Dot = Name.rfind('.');
    const std::string Base = Name.substr(0, Dot);
    if (Dot != std::string::npos && Name.size() - Dot - 1 > 3) return false;
    const std::string::size_type Tilde = Base.rfind('~');
    if (Base.size() > 8 || Tilde == std::string::npos || Tilde == 0 || Tilde + 1 == Base.size())
        return false;
    for (std::string::size_type I = Tilde + 1; I < Base.size(); ++I)
        if (!IsDigit(Base[I])) return false;
    return true;
}
