// Capture benchmark: the same console program run with its output captured
// line by line (RunCaptured, a hook that counts lines) and with its output
// sent to NUL, alternately, several times. Prints each run and the medians.
//
//   bench_capture <child.exe> <bytes> <runs>

#include "BenchUtil.h"
#include "engine/CapExec.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Captured(const std::string& Child, const std::string& Bytes, unsigned long& Lines) {
    Lines = 0;
    const bench::TStopwatch Watch;
    const std::int32_t Code = RunCaptured(
        Child, Bytes, "", [&Lines](const std::string&, bool&) { ++Lines; }, nullptr, false, Child);
    const double Seconds = Watch.Seconds();
    if (Code != 0) std::fprintf(stderr, "captured run ended with %d\n", Code);
    return Seconds;
}

double ToNul(const std::string& Child, const std::string& Bytes) {
    SECURITY_ATTRIBUTES Security{sizeof Security, nullptr, TRUE};
    HANDLE Nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Security,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    Startup.wShowWindow = SW_HIDE;
    Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = Nul;
    Startup.hStdError = Nul;
    std::string CommandLine = Child + " " + Bytes;
    PROCESS_INFORMATION Info{};
    const bench::TStopwatch Watch;
    if (!CreateProcessA(Child.c_str(), CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &Startup, &Info)) {
        std::fprintf(stderr, "cannot start %s\n", Child.c_str());
        std::exit(2);
    }
    WaitForSingleObject(Info.hProcess, INFINITE);
    const double Seconds = Watch.Seconds();
    CloseHandle(Info.hThread);
    CloseHandle(Info.hProcess);
    CloseHandle(Nul);
    return Seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_capture <child.exe> <bytes> <runs>\n");
        return 2;
    }
    const std::string Child = argv[1];
    const std::string Bytes = argv[2];
    const int Runs = std::atoi(argv[3]);
    const unsigned long Expected = std::strtoul(argv[2], nullptr, 10) / 80;

    std::vector<double> Ours, Baseline;
    for (int Run = 1; Run <= Runs; ++Run) {
        unsigned long Lines = 0;
        Ours.push_back(Captured(Child, Bytes, Lines));
        Baseline.push_back(ToNul(Child, Bytes));
        std::printf("capture run %d: ours %.3f s (%lu lines), baseline %.3f s\n", Run, Ours.back(),
                    Lines, Baseline.back());
        std::fflush(stdout);
        if (Lines != Expected) {
            std::fprintf(stderr, "expected %lu lines, got %lu\n", Expected, Lines);
            return 1;
        }
    }
    bench::PrintResult("capture", Ours, Baseline);
    return 0;
}
