#include "ui/AppError.h"

#include <windows.h>

#include <exception>

namespace {

TErrorReport& Report() {
    static TErrorReport Instance;
    return Instance;
}

void DefaultReport(const std::string& Message) {
    MessageBoxA(GetActiveWindow(), Message.c_str(), "Error", MB_OK | MB_ICONERROR);
}

} // namespace

void SetErrorReport(TErrorReport NewReport) {
    Report() = std::move(NewReport);
}

void ReportCurrentException() noexcept {
    std::string Message;
    try {
        throw;
    } catch (const std::exception& E) {
        Message = E.what();
    } catch (...) {
        Message = "Unknown error";
    }
    try {
        if (Report())
            Report()(Message);
        else
            DefaultReport(Message);
    } catch (...) {
        // A failing report must not take the window procedure down with it.
    }
}
