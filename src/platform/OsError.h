#pragma once
// The one error type for failed operating-system calls.

#include "platform/Error.h"

#include <cstdint>
#include <string>

// Message: "System Error.  Code: %d." CR LF and the system's text for the
// code, or "A call to an OS function failed" when there is no code.
class EOSError : public Exception {
public:
    explicit EOSError(std::uint32_t Code);
    std::uint32_t ErrorCode() const { return FErrorCode; }

private:
    std::uint32_t FErrorCode;
};

// The system's text for an error code, without the trailing line break.
std::string SysErrorMessage(std::uint32_t Code);

// The system's text for a COM result, then its number: "Access is denied.
// (0x80070005)".
std::string HResultText(long Result);

// Raises EOSError for GetLastError().
[[noreturn]] void RaiseLastOSError();
