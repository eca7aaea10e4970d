#include "Checksums.h"

#include <bit>
#include <cstring>

namespace unrar {

namespace {

static_assert(std::endian::native == std::endian::little, "the words are read little-endian");

// Eight tables: Table[0] for one byte, Table[K] for a byte K places further
// on, so that eight bytes take eight lookups and no shift of the CRC between.
struct TCrcTables {
    std::uint32_t Table[8][256];
    TCrcTables() {
        for (std::uint32_t N = 0; N < 256; ++N) {
            std::uint32_t C = N;
            for (int Bit = 0; Bit < 8; ++Bit)
                C = C & 1 ? 0xEDB88320u ^ (C >> 1) : C >> 1;
            Table[0][N] = C;
        }
        for (std::uint32_t N = 0; N < 256; ++N)
            for (int K = 1; K < 8; ++K)
                Table[K][N] = (Table[K - 1][N] >> 8) ^ Table[0][Table[K - 1][N] & 0xFF];
    }
};

// Made before main, on the one thread there is then.
const TCrcTables Crc;

} // namespace

std::uint32_t Crc32(std::uint32_t Value, const unsigned char* Data, std::size_t Size) {
    const auto& T = Crc.Table;
    Value = ~Value;
    for (; Size >= 8; Data += 8, Size -= 8) {
        std::uint32_t Low, High;
        std::memcpy(&Low, Data, 4);
        std::memcpy(&High, Data + 4, 4);
        Low ^= Value;
        Value = T[7][Low & 0xFF] ^ T[6][(Low >> 8) & 0xFF] ^ T[5][(Low >> 16) & 0xFF] ^
                T[4][Low >> 24] ^ T[3][High & 0xFF] ^ T[2][(High >> 8) & 0xFF] ^
                T[1][(High >> 16) & 0xFF] ^ T[0][High >> 24];
    }
    for (; Size > 0; ++Data, --Size)
        Value = T[0][(Value ^ *Data) & 0xFF] ^ (Value >> 8);
    return ~Value;
}

std::uint32_t Adler32(std::uint32_t Adler, const unsigned char* Data, std::size_t Size) {
    constexpr std::uint32_t Base = 65521;
    // The most bytes whose sums cannot overflow 32 bits before the modulo.
    constexpr std::size_t Run = 5552;
    std::uint32_t A = Adler & 0xFFFF, B = Adler >> 16;
    while (Size > 0) {
        std::size_t Block = Size < Run ? Size : Run;
        Size -= Block;
        for (; Block > 0; --Block) {
            A += *Data++;
            B += A;
        }
        A %= Base;
        B %= Base;
    }
    return (B << 16) | A;
}

} // namespace unrar
