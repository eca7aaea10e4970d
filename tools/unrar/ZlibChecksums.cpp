// zlib's two checksum functions for unrar.exe, by their zlib names, so that
// the inflater calls these and its own (with 9 KB of tables) are not linked.
// A call without data starts a checksum, as zlib's does.

#include "Checksums.h"

#include <zlib.h>

extern "C" {

uLong ZEXPORT crc32(uLong Crc, const Bytef* Data, uInt Size) {
    return Data ? unrar::Crc32(static_cast<std::uint32_t>(Crc), Data, Size) : 0;
}

uLong ZEXPORT adler32(uLong Adler, const Bytef* Data, uInt Size) {
    return Data ? unrar::Adler32(static_cast<std::uint32_t>(Adler), Data, Size) : 1;
}

} // extern "C"
