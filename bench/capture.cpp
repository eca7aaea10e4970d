// Capture benchmark: the same console program run with its output captured
// line by line (RunCaptured, a hook that counts lines) and with its output
// sent to NUL, alternately, several times. Prints each run and the medians.
// Under Wine a write to NUL is a round trip to the Wine server, whose speed
// swings from one run to the next; a second comparison against the program
// writing into a plain file that nobody reads shows the figure without it.
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

// The child with its output sent to Target ("NUL" or a file made afresh).
double Uncaptured(const std::string& Child, const std::string& Bytes, const char* Target) {
    SECURITY_ATTRIBUTES Security{sizeof Security, nullptr, TRUE};
    const bool Device = std::string(Target) == "NUL";
    HANDLE Nul = CreateFileA(Target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Security,
                             Device ? OPEN_EXISTING : CREATE_ALWAYS,
                             Device ? 0 : FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                             nullptr);
    if (Nul == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s\n", Target);
        std::exit(2);
    }
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

    char Temp[MAX_PATH] = {};
    GetTempPathA(sizeof Temp, Temp);
    const std::string Plain = std::string(Temp) + "bench_capture_plain.out";

    std::vector<double> Ours, Baseline, ToFile;
    for (int Run = 1; Run <= Runs; ++Run) {
        unsigned long Lines = 0;
        Ours.push_back(Captured(Child, Bytes, Lines));
        Baseline.push_back(Uncaptured(Child, Bytes, "NUL"));
        ToFile.push_back(Uncaptured(Child, Bytes, Plain.c_str()));
        std::printf("capture run %d: ours %.3f s (%lu lines), baseline %.3f s, to a file %.3f s\n",
                    Run, Ours.back(), Lines, Baseline.back(), ToFile.back());
        std::fflush(stdout);
        if (Lines != Expected) {
            std::fprintf(stderr, "expected %lu lines, got %lu\n", Expected, Lines);
            return 1;
        }
    }
    bench::PrintResult("capture", Ours, Baseline);
    bench::PrintResult("capture-f", Ours, ToFile);
    return 0;
}
