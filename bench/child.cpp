// The console program of the capture benchmark: writes a number of bytes as
// 80-byte lines (78 characters and CR LF) through the C runtime's buffered
// standard output, as a console tool printing one line per item does.
//
//   bench_child <bytes>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const unsigned long Bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
    char Line[81];
    for (unsigned long N = 0; N < Bytes / 80; ++N) {
        std::snprintf(Line, sizeof Line,
                      "%08lu Extracting  pkg%lu\\mod%lu\\part%lu\\file%lu.dat%*s\r\n", N, N % 10,
                      N % 20, N % 7, N, 0, "");
        // Padded to exactly 80 bytes whatever the numbers' widths.
        std::size_t Length = 0;
        while (Line[Length] != '\r')
            ++Length;
        while (Length < 78)
            Line[Length++] = '.';
        Line[78] = '\r';
        Line[79] = '\n';
        std::fwrite(Line, 1, 80, stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
