// Stands in for unrar.exe in the window's responsiveness test: lists two
// files, and "extracts" them slowly, so the installer has to wait on it.

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "lb") == 0) {
        std::printf("Readme.txt\nHelp\\Guide.txt\n");
        return 0;
    }
    Sleep(400);
    std::printf("Extracting  Readme.txt\n");
    std::fflush(stdout);
    Sleep(400);
    std::printf("Extracting  Help\\Guide.txt\nAll OK: 2 files, 1 folders, 0 bytes\n");
    return 0;
}
