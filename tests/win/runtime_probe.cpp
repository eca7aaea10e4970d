// The programs' own runtime pieces (src/runtime), linked as the programs
// link them.
//
//   runtime_probe          throws what nothing catches
//   runtime_probe locks    std::mutex, std::recursive_mutex and
//                          std::call_once over the stand-ins for the threads
//                          library: exit code 0, or 1 and what went wrong
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>

// Outside any namespace: the runtime's message names the type as declared.
struct TProbeError : std::exception {
    const char* what() const noexcept override { return "the probe's own text"; }
};

namespace {

std::recursive_mutex Recursive; // static initialiser -3
std::mutex Plain;               // static initialiser -1
int Shared = 0;

DWORD WINAPI Contend(void*) {
    for (int I = 0; I < 10000; ++I) {
        const std::lock_guard<std::recursive_mutex> Outer(Recursive);
        const std::lock_guard<std::recursive_mutex> Inner(Recursive);
        const std::lock_guard<std::mutex> Lock(Plain);
        ++Shared;
    }
    return 0;
}

int Locks() {
    HANDLE Threads[2];
    for (HANDLE& Thread : Threads)
        Thread = CreateThread(nullptr, 0, Contend, nullptr, 0, nullptr);
    if (WaitForMultipleObjects(2, Threads, TRUE, 60000) != WAIT_OBJECT_0) {
        std::puts("the locks do not let two threads through");
        return 1;
    }
    if (Shared != 20000) {
        std::printf("the locks let both threads in at once: %d of 20000\n", Shared);
        return 1;
    }
    // A function that raises leaves the flag unset: the next call runs its
    // function, and once that returns no call runs one again.
    std::once_flag Once;
    int Runs = 0;
    try {
        std::call_once(Once, [&] {
            ++Runs;
            throw TProbeError();
        });
    } catch (const TProbeError&) {
    }
    for (int I = 0; I < 2; ++I)
        std::call_once(Once, [&] { ++Runs; });
    if (Runs != 2) {
        std::printf("call_once ran its functions %d times, not 2\n", Runs);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "locks") == 0) return Locks();
    throw TProbeError();
}
