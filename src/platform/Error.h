#pragma once
// How the platform layer (src/platform) reports failures:
// - Queries and file, path, console and library functions (Utils.h,
//   Console.h, SystemLibrary.h, registry reads) never raise: they answer
//   with their result (false, empty, none, nullptr with the system's error
//   code). The caller decides what a failure means.
// - Registry writes: Write* answer false; Put* raise Exception with "Failed
//   to set data for '<name>'". A value that a later run or the system reads
//   (the record, the Installed-apps entry, the journal) is written with Put*;
//   Write* only where a failure is harmless by design and the caller says so.
// - RaiseLastOSError (OsError.h) raises EOSError, the one type for a failed
//   system call that the caller cannot go on without.
// - Owners free their resource and never raise.
//
// The program's error type: an exception that carries the message the user
// is shown. It holds its text in a plain std::string; the standard library's
// error classes would link a second, reference-counted string implementation
// into the setup program only for themselves.

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
    // A fixed message: the string is made once, here, not at each throw.
    [[gnu::noinline]] explicit Exception(const char* Message) : FMessage(Message) {}
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};
