#include "platform/OsError.h"
#include "platform/Error.h"

#include <windows.h>

#include <utility>

namespace {

std::string Describe(std::uint32_t Code) {
    if (Code == 0) return "A call to an OS function failed";
    return "System Error.  Code: " + std::to_string(static_cast<unsigned long>(Code)) + ".\r\n" +
           SysErrorMessage(Code);
}

} // namespace

EOSError::EOSError(std::uint32_t Code, std::string Operation, std::string Path)
    : Exception(Describe(Code)), FErrorCode(Code), FOperation(std::move(Operation)),
      FPath(std::move(Path)) {}

std::string EOSError::Context() const {
    if (FOperation.empty()) return {};
    return FOperation + (FPath.empty() ? "" : " \"" + FPath + "\"") + " failed.";
}

std::string SysErrorMessage(std::uint32_t Code) {
    char Buffer[512];
    DWORD Length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  nullptr, Code, 0, Buffer, sizeof Buffer, nullptr);
    // The system ends its texts with a line break (and sometimes blanks).
    while (Length > 0 && static_cast<unsigned char>(Buffer[Length - 1]) <= ' ') --Length;
    return std::string(Buffer, Length);
}

std::string HResultText(long Result) {
    const auto Code = static_cast<std::uint32_t>(Result);
    std::string Text = SysErrorMessage(Code);
    if (Text.empty() && HRESULT_FACILITY(Result) == FACILITY_WIN32)
        Text = SysErrorMessage(HRESULT_CODE(Result));
    std::string Hex = "0x";
    for (int Shift = 28; Shift >= 0; Shift -= 4)
        Hex += "0123456789ABCDEF"[(Code >> Shift) & 15];
    return Text.empty() ? Hex : Text + " (" + Hex + ")";
}

void RaiseLastOSError(const char* Operation, const std::string& Path) {
    throw EOSError(GetLastError(), Operation, Path);
}

void RaiseLastOSError(const char* Operation, const char* Name) {
    RaiseLastOSError(Operation, std::string(Name));
}
