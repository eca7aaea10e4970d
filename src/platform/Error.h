#pragma once
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
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};
