// Definitions that keep heavy library parts out of the Windows programs
// (the setup program and the extraction program), which link the C++
// runtime statically. Those for a program with exceptions are in
// ExceptionTrim.cpp.

#include <windows.h>

#include <cxxabi.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <float.h>
#include <math.h>
#include <new>
#include <string>
#include <typeinfo>

extern "C" {

// The C++ runtime demangles the type name of an uncaught exception before
// the program is ended; the demangler is a sixth of the program's size. A
// window program has no console to show the name on, and the extraction
// program's reader is the setup program, so the mangled name, which the
// runtime falls back to, does as well.
char* __cxa_demangle(const char*, char*, std::size_t*, int* Status) {
    if (Status) *Status = -2; // not a name it can demangle
    return nullptr;
}
}

// The C++ runtime and the unwinder guard their own bookkeeping (the pool
// exceptions are allocated from, the table of unwind data, each thread's
// exception state) with these POSIX thread functions. The threads library
// that would provide them is a tenth of the program: with them comes its
// thread registry, condition variables and read-write locks, none of which
// anything here uses. Only these are defined: a use of any other (a
// trylock, a condition variable, a mutex attribute) brings the library's
// own object in, whose definitions of these clash with these, and the link
// fails, so nothing can use a function that is not here.
//
// A mutex is a critical section, made when it is first locked and kept in
// the mutex's own word: it serves each of the static initialisers the
// threads library's header defines (normal -1, error-checking -2,
// recursive -3; std::recursive_mutex starts as -3) and pthread_mutex_init's
// mutexes alike, and it is recursive, which a recursive mutex needs and the
// others never ask of it (an error-checking mutex's refusals are not
// reproduced: nothing here relocks one). A once-flag moves from 0 (not run)
// through 1 (running) to 2 (done), and back to 0 when the function raises,
// as std::call_once requires, so that the next call runs it again. A key is
// a TLS index; its destructor, which would free what a thread kept under
// the key when that thread ends, is not kept: the setup program starts no
// threads of its own and the extraction program one (its inflater, once a
// run), so what they keep is at most one thread's exception state, freed
// with the process. Threads of our own are the system's (CreateThread),
// never std::thread, which would need the threads library. The runtime
// probe (tests/win/runtime_probe.cpp) runs std::mutex,
// std::recursive_mutex and std::call_once over these.
namespace {

// A mutex's word before its first lock: 0, or one of the static
// initialisers (-1, -2, -3); anything else is its critical section.
bool HoldsSection(intptr_t Word) {
    return Word > 0 || Word < -3;
}

// The mutex's critical section, made on first use by whichever thread
// comes first; a word that holds one already is left as it is.
CRITICAL_SECTION* SectionOf(intptr_t* Mutex) {
    const intptr_t Word = __atomic_load_n(Mutex, __ATOMIC_ACQUIRE);
    if (HoldsSection(Word)) return reinterpret_cast<CRITICAL_SECTION*>(Word);
    auto* Made = static_cast<CRITICAL_SECTION*>(std::malloc(sizeof(CRITICAL_SECTION)));
    if (!Made) std::abort();
    InitializeCriticalSection(Made);
    intptr_t Expected = Word;
    if (__atomic_compare_exchange_n(Mutex, &Expected, reinterpret_cast<intptr_t>(Made), false,
                                    __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
        return Made;
    DeleteCriticalSection(Made);
    std::free(Made);
    return reinterpret_cast<CRITICAL_SECTION*>(Expected);
}

} // namespace

extern "C" {
int pthread_mutex_init(intptr_t* Mutex, const void*) {
    *Mutex = -1; // made on first use, as a static one
    return 0;
}
int pthread_mutex_destroy(intptr_t* Mutex) {
    if (HoldsSection(*Mutex)) {
        auto* Section = reinterpret_cast<CRITICAL_SECTION*>(*Mutex);
        DeleteCriticalSection(Section);
        std::free(Section);
    }
    *Mutex = -1;
    return 0;
}
int pthread_mutex_lock(intptr_t* Mutex) {
    EnterCriticalSection(SectionOf(Mutex));
    return 0;
}
int pthread_mutex_unlock(intptr_t* Mutex) {
    LeaveCriticalSection(SectionOf(Mutex));
    return 0;
}
int pthread_once(long* Once, void (*Function)()) {
    for (;;) {
        if (InterlockedCompareExchange(Once, 1, 0) == 0) {
            // Run by whoever set the flag: done, or, when the function
            // raises, not run after all (the guard goes as the exception
            // passes; in a program without exceptions nothing raises).
            struct TRun {
                long* Once;
                bool Done = false;
                ~TRun() { InterlockedExchange(Once, Done ? 2 : 0); }
            } Run{Once};
            Function();
            Run.Done = true;
            return 0;
        }
        // Another thread runs it: wait for it to end, one way or the other.
        while (InterlockedCompareExchange(Once, 1, 1) == 1)
            Sleep(0);
        if (InterlockedCompareExchange(Once, 2, 2) == 2) return 0;
    }
}

// The runtime asks for its exception state on every throw and catch, often
// between a failed call and the GetLastError that reads why, so the keys
// leave the thread's last error as it was (TlsGetValue clears it).
int pthread_key_create(unsigned* Key, void (*)(void*)) {
    const DWORD Index = TlsAlloc();
    if (Index == TLS_OUT_OF_INDEXES) return EAGAIN;
    *Key = Index;
    return 0;
}
void* pthread_getspecific(unsigned Key) {
    const DWORD Error = GetLastError();
    void* Value = TlsGetValue(Key);
    SetLastError(Error);
    return Value;
}
int pthread_setspecific(unsigned Key, const void* Value) {
    const DWORD Error = GetLastError();
    const bool Set = TlsSetValue(Key, const_cast<void*>(Value));
    SetLastError(Error);
    return Set ? 0 : ENOMEM;
}
}

// The C runtime's start-up parts that a program of ours does not need.
extern "C" {

// The start-up code patches the references to data that the linker
// imported from a DLL by itself ("auto-import"). These programs are linked
// with auto-import off (src/runtime/CMakeLists.txt), so the link fails on
// any such reference instead and there is never anything to patch: the
// patcher and its helpers (3.5 KB) are left out.
void _pei386_runtime_relocator() {}

// A math function's error (sin or cos of an infinity): the runtime's handler
// prints it to standard error, which a window program does not have. Zero
// keeps the function's own result and errno, as that handler does.
int _matherr(struct _exception*) {
    return 0;
}

// The start-up code puts this in front of the system's filter for a crash
// (an access violation, a bad instruction). The runtime's version passes it
// to a handler set with signal(), which these programs never set, and then
// to the filter that was there before; what is left of it is that, and its
// answer to the unwinder: a C++ exception that no frame catches comes here
// as the unwinder's continuable "GCC" exception, and carrying on returns to
// the unwinder, which then ends the program through std::terminate.
LPTOP_LEVEL_EXCEPTION_FILTER __mingw_oldexcpt_handler;
LONG WINAPI _gnu_exception_handler(EXCEPTION_POINTERS* Exception) {
    const EXCEPTION_RECORD& Record = *Exception->ExceptionRecord;
    constexpr DWORD UnwinderCode = 0x20000000 | ('G' << 16) | ('C' << 8) | 'C';
    if ((Record.ExceptionCode & 0x20ffffff) == UnwinderCode &&
        !(Record.ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return EXCEPTION_CONTINUE_EXECUTION;
    return __mingw_oldexcpt_handler ? __mingw_oldexcpt_handler(Exception)
                                    : EXCEPTION_CONTINUE_SEARCH;
}

// Called by the start-up code's thread-local storage support for each
// thread that starts and ends. The runtime's version keeps a list of
// destructors of thread data (for the threads library and for thread_local
// objects), of which these programs have none: were the part that holds
// the list pulled in, its definition of this function would clash with
// this one and the link would fail. It also resets the floating-point unit
// of a new thread; only that is left.
BOOL __mingw_TLScallback(HANDLE, DWORD Reason, LPVOID) {
    if (Reason == DLL_THREAD_ATTACH) _fpreset();
    return TRUE;
}
}
