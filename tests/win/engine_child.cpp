// Child program of the engine tests.
//
//   engine_child.exe <milliseconds> <marker file> [anything else...]
//       After the pause, writes its own command line into the marker file,
//       so a test can see that it ran, when it ended and what it was given.
//
// Copied under the name unrar.exe it stands in for the extraction program:
// it lists no files, and on extracting writes its command line to
// "cmdline.txt" in its current folder and fails with exit code 7, so the
// install stops right after it.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool WriteCommandLine(const char* Path) {
    FILE* Marker = std::fopen(Path, "wb");
    if (!Marker) return false;
    std::fputs(GetCommandLineA(), Marker);
    std::fclose(Marker);
    return true;
}

bool RunningAsUnrar() {
    char Path[MAX_PATH];
    DWORD Length = GetModuleFileNameA(nullptr, Path, sizeof Path);
    const char* Name = Path;
    for (DWORD I = 0; I < Length; ++I)
        if (Path[I] == '\\') Name = Path + I + 1;
    return _stricmp(Name, "unrar.exe") == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (RunningAsUnrar()) {
        if (argc >= 2 && std::strcmp(argv[1], "lb") == 0) return 0;
        WriteCommandLine("cmdline.txt");
        std::puts("stand-in extraction program");
        return 7;
    }
    if (argc < 3) return 2;
    Sleep(static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
    return WriteCommandLine(argv[2]) ? 0 : 3;
}
