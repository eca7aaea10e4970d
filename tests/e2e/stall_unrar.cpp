// Stands in for unrar.exe in the flow that cuts a run off half-way: it
// lists the archive with the real extraction program beside it
// (real_unrar.exe), and on extracting waits to be stopped, as a run waits
// that a power loss ends.

#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "lb") != 0) {
        Sleep(INFINITE);
        return 0;
    }
    char Path[MAX_PATH];
    const DWORD Length = GetModuleFileNameA(nullptr, Path, MAX_PATH);
    std::string Real(Path, Length);
    Real = Real.substr(0, Real.find_last_of('\\') + 1) + "real_unrar.exe";
    std::string Command = "real_unrar.exe lb data.arc";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION Process{};
    if (!CreateProcessA(Real.c_str(), Command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &Startup, &Process))
        return 6;
    WaitForSingleObject(Process.hProcess, INFINITE);
    DWORD Code = 2;
    GetExitCodeProcess(Process.hProcess, &Code);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    return static_cast<int>(Code);
}
