#pragma once
// The one error type for failed operating-system calls.

#include "platform/Error.h"

#include <cstdint>
#include <string>

// Message: "System Error.  Code: %d." CR LF and the system's text for the
// code, or "A call to an OS function failed" when there is no code. It also
// carries what was being done and on which path, for the log to name them
// on a line of their own before the message.
class EOSError : public Exception {
public:
    EOSError(std::uint32_t Code, std::string Operation, std::string Path);
    std::uint32_t ErrorCode() const { return FErrorCode; }
    const std::string& Operation() const { return FOperation; }
    const std::string& Path() const { return FPath; }
    // "<Operation> "<Path>" failed." (without a path: "<Operation> failed.").
    std::string Context() const;

private:
    std::uint32_t FErrorCode;
    std::string FOperation, FPath;
};

// The system's text for an error code, without the trailing line break.
std::string SysErrorMessage(std::uint32_t Code);

// The system's text for a COM result, then its number: "Access is denied.
// (0x80070005)".
std::string HResultText(long Result);

// Raises EOSError for GetLastError(): Operation (a phrase such as
// "Creating the program folder") failed on Path (may be empty).
[[noreturn]] void RaiseLastOSError(const char* Operation, const std::string& Path = {});
// The same for a caller that makes no string of its own (the late bindings,
// compiled apart from the rest of the program).
[[noreturn]] void RaiseLastOSError(const char* Operation, const char* Name);
