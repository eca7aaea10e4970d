#pragma once
// The two checksums of zlib's streams, small: the tables are made when the
// program starts (in memory, not in the program file). unrar.exe hands them
// to zlib in place of its own (ZlibChecksums.cpp), whose tables are 9 KB of
// the file; the results are the same.

#include <cstddef>
#include <cstdint>

namespace unrar {

// CRC-32 (ISO 3309, as gzip has it) of Data, continuing Crc (0 to start).
std::uint32_t Crc32(std::uint32_t Crc, const unsigned char* Data, std::size_t Size);

// Adler-32 (as the zlib format has it) of Data, continuing Adler (1 to start).
std::uint32_t Adler32(std::uint32_t Adler, const unsigned char* Data, std::size_t Size);

} // namespace unrar
