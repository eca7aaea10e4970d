// unrar.exe on Windows is built without exceptions (CMakeLists.txt). What
// would throw there, the allocator when memory runs out and the containers
// on a misuse, ends the program instead, with the words and the exit code
// that Run gives those errors where exceptions are caught.
#include "data/Extraction.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void EndProgram(const char* what) {
    std::fwrite(extraction::ErrorPrefix.data(), 1, extraction::ErrorPrefix.size(), stderr);
    std::fputs(what, stderr);
    std::fputs("\n", stderr);
    std::exit(extraction::ecFatal);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size ? size : 1)) return block;
    EndProgram("out of memory");
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

namespace std {
void __throw_bad_alloc() {
    EndProgram("out of memory");
}
void __throw_bad_array_new_length() {
    EndProgram("out of memory");
}
void __throw_length_error(const char* what) {
    EndProgram(what);
}
void __throw_logic_error(const char* what) {
    EndProgram(what);
}
void __throw_out_of_range_fmt(const char* format, ...) {
    EndProgram(format);
}
void __throw_system_error(int) {
    EndProgram("a lock could not be taken");
}
void __throw_bad_function_call() {
    EndProgram("bad_function_call");
}
} // namespace std
