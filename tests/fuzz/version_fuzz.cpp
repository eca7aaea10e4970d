// Any text either fails as blank or parses; parsing the full text of the
// result must give back the same version.
#include "data/Version.h"
#include "platform/Error.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::string Text(reinterpret_cast<const char*>(Data), Size);
    bool Blank = true;
    for (char C : Text)
        if (static_cast<unsigned char>(C) > ' ') Blank = false;
    try {
        TVersion V(Text);
        if (Blank) std::abort();
        TVersion Again(V.FullText());
        if (Again.FullText() != V.FullText() || Again.Major() != V.Major() ||
            Again.Minor() != V.Minor() || Again.Release() != V.Release() ||
            Again.Build() != V.Build() || Again.FreeEdition() != V.FreeEdition())
            std::abort();
    } catch (const Exception&) {
        if (!Blank) std::abort();
    }
    return 0;
}
