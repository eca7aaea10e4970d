// Definitions that keep heavy library parts out of the setup program.

#include "data/Error.h"

#include <windows.h>
#include <shlobj.h>

#include <cstddef>
#include <new>

// The four interface and class identifiers the program uses. The system's
// uuid library holds thousands in one block, all of which a reference to one
// of them would pull in; defined here, it is not linked at all.
extern "C" {
const CLSID CLSID_ShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellFolder = {0x000214E6, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The C++ runtime demangles the type name of an uncaught exception before
// the program is ended; the demangler is a sixth of the program's size. A
// window program has no console to show the name on, so the mangled name,
// which the runtime falls back to, does as well.
char* __cxa_demangle(const char*, char*, std::size_t*, int* Status) {
    if (Status) *Status = -2; // not a name it can demangle
    return nullptr;
}
}

// The containers report a misuse (a string or vector grown past its maximum,
// an index out of range) through these functions. The library's own versions
// throw std::length_error and its kin, whose classes keep their text in a
// second, reference-counted string implementation that would come along with
// them (a fifth of the program). Here the same text travels in the program's
// own error type, which is still a std::exception.
namespace std {
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_length_error(const char* What) {
    throw Exception(What);
}
void __throw_logic_error(const char* What) {
    throw Exception(What);
}
void __throw_out_of_range_fmt(const char* Format, ...) {
    throw Exception(Format);
}
} // namespace std
