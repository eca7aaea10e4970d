// Definitions that keep heavy library parts out of the setup program.

#include <windows.h>
#include <shlobj.h>

#include <cstddef>

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
