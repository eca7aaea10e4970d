// Child program of the engine tests: after an optional pause it writes its
// own command line into a file, so a test can see that it ran, when it
// ended and what it was given.
//
//   engine_child.exe <milliseconds> <marker file> [anything else...]

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    Sleep(static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
    FILE* Marker = std::fopen(argv[2], "wb");
    if (!Marker) return 3;
    std::fputs(GetCommandLineA(), Marker);
    std::fclose(Marker);
    return 0;
}
