// A thread and the lock and signal it shares with its starter. On Windows
// they are the system's own (CreateThread, a slim lock, a condition
// variable): the standard library's versions would link the POSIX threads
// library into unrar.exe, a tenth of its size. Elsewhere the standard ones.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace unrar {

class TMutex {
public:
    void lock() { AcquireSRWLockExclusive(&FLock); }
    void unlock() { ReleaseSRWLockExclusive(&FLock); }
    SRWLOCK* Native() { return &FLock; }

private:
    SRWLOCK FLock = SRWLOCK_INIT;
};

class TCondition {
public:
    template <class Predicate> void wait(std::unique_lock<TMutex>& lock, Predicate ready) {
        while (!ready())
            SleepConditionVariableSRW(&FCondition, lock.mutex()->Native(), INFINITE, 0);
    }
    void notify_all() { WakeAllConditionVariable(&FCondition); }

private:
    CONDITION_VARIABLE FCondition = CONDITION_VARIABLE_INIT;
};

// Runs a function on a thread of its own; join waits for its end. A thread
// the system cannot start is reported as std::bad_alloc, the lack of memory
// it is.
class TThread {
public:
    TThread() = default;
    explicit TThread(std::function<void()> work)
        : FWork(std::make_unique<std::function<void()>>(std::move(work))) {
        // The function lives on the heap, so the thread keeps its address
        // when this object is moved.
        FHandle = CreateThread(nullptr, 0, Start, FWork.get(), 0, nullptr);
        // The runtime's own report (NoExceptions.cpp where unrar.exe has no
        // exceptions).
        if (!FHandle) std::__throw_bad_alloc();
    }
    TThread(TThread&& other) noexcept { *this = std::move(other); }
    TThread& operator=(TThread&& other) noexcept {
        std::swap(FHandle, other.FHandle);
        std::swap(FWork, other.FWork);
        return *this;
    }
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    ~TThread() { join(); }
    void join() {
        if (!FHandle) return;
        WaitForSingleObject(FHandle, INFINITE);
        CloseHandle(FHandle);
        FHandle = nullptr;
        FWork.reset();
    }

private:
    static DWORD WINAPI Start(void* work) {
        (*static_cast<std::function<void()>*>(work))();
        return 0;
    }
    HANDLE FHandle = nullptr;
    std::unique_ptr<std::function<void()>> FWork;
};

} // namespace unrar
#else
#include <condition_variable>
#include <mutex>
#include <thread>

namespace unrar {
using TMutex = std::mutex;
using TCondition = std::condition_variable;
using TThread = std::thread;
} // namespace unrar
#endif
