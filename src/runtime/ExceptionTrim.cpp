// Definitions that keep heavy library parts out of the Windows programs that
// use exceptions (the setup program): what the runtime says of an exception
// nothing caught, and the containers' errors.

#include "platform/Error.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

// What std::terminate says before it ends the program (an exception that
// nothing caught, or one thrown while another unwinds), on standard error,
// where a run from a console shows it: the runtime's own words, written
// through the system instead of the C library's streams, which would come
// along only for this (1 KB).
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    static bool Terminating = false;
    const auto Say = [](const char* Text) {
        DWORD Written;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), Text, static_cast<DWORD>(std::strlen(Text)),
                  &Written, nullptr);
    };
    if (Terminating) {
        Say("terminate called recursively\n");
        std::abort();
    }
    Terminating = true;
    if (const std::type_info* Type = abi::__cxa_current_exception_type()) {
        Say("terminate called after throwing an instance of '");
        Say(Type->name());
        Say("'\n");
        try {
            throw;
        } catch (const std::exception& E) {
            Say("  what():  ");
            Say(E.what());
            Say("\n");
        } catch (...) {
        }
    } else {
        Say("terminate called without an active exception\n");
    }
    std::abort();
}
} // namespace __gnu_cxx

// The containers report a misuse (a string or vector grown past its maximum,
// an index out of range) through these functions. The library's own versions
// throw std::length_error and its kin, whose classes keep their text in a
// second, reference-counted string implementation that would come along with
// them (a fifth of the program). Here the same text travels in the program's
// own error type, which is still a std::exception.
namespace std {
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_length_error(const char* What) {
    throw Exception(What);
}
void __throw_logic_error(const char* What) {
    throw Exception(What);
}
void __throw_out_of_range_fmt(const char* Format, ...) {
    throw Exception(Format);
}
// A lock of the threads' wrappers that could not be taken (std::unique_lock
// over nothing). The library's version throws std::system_error, whose text
// comes from the same second string implementation.
void __throw_system_error(int Code) {
    throw Exception("a lock could not be taken (error " + std::to_string(Code) + ")");
}
} // namespace std
