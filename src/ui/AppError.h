#pragma once
// The application's general error report. Errors must not unwind through the
// system's window code, so every window procedure of these controls catches
// what its handlers raise and hands it to this report instead.

#include <functional>
#include <string>

using TErrorReport = std::function<void(const std::string& Message)>;

// Replaces the report (an empty one restores the default: a message box with
// the error's text, owned by the active window).
void SetErrorReport(TErrorReport Report);

// Reports the exception being handled; call only inside a catch block.
void ReportCurrentException() noexcept;
