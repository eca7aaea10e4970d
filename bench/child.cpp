// The console program of the capture benchmark: writes a number of bytes as
// 80-byte lines (78 characters and LF, which text mode writes as CR LF)
// through the C runtime's standard output with a 4 KB buffer, as a console tool printing one line per item
// does. The buffer is set explicitly: the runtime's own choice differs
// between a pipe and the NUL device, and both runs must write alike.
//
//   bench_child <bytes>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    static char Buffer[4096];
    std::setvbuf(stdout, Buffer, _IOFBF, sizeof Buffer);
    const unsigned long Bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
    char Line[79];
    for (unsigned long N = 0; N < Bytes / 80; ++N) {
        std::memset(Line, '.', sizeof Line);
        const int Length =
            std::snprintf(Line, sizeof Line, "%08lu Extracting  pkg%lu\\mod%lu\\file%lu.dat ", N,
                          N % 10, N % 20, N);
        Line[Length] = '.';
        Line[78] = '\n';
        std::fwrite(Line, 1, sizeof Line, stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
