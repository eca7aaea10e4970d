#pragma once
// Text primitives every layer uses, the same in the program, its extraction
// program and the native tests. Portable.

#include <string>

// The ASCII small letters as capitals; every other byte as it is.
inline char UpperAscii(char C) {
    return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

// Text without the blanks (controls and spaces, bytes up to ' ') at its ends.
inline std::string Trimmed(const std::string& Text) {
    std::size_t First = 0, Last = Text.size();
    while (First < Last && static_cast<unsigned char>(Text[First]) <= ' ')
        ++First;
    while (Last > First && static_cast<unsigned char>(Text[Last - 1]) <= ' ')
        --Last;
    return Text.substr(First, Last - First);
}
