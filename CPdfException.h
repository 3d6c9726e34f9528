#pragma once

#include <string>

// The one exception type of the program. Every failure that the program detects is thrown
// as a CPdfException carrying a fixed English message; the entry point prints it.
class CPdfException {
public:
    explicit CPdfException(const char* text) : message(text) {}
    explicit CPdfException(std::string text) : message(std::move(text)) {}
    virtual ~CPdfException() = default;

    // The message text, exactly as it is to be printed.
    virtual const char* GetMessage() const { return message.c_str(); }

    // Builds a message from a printf-style format and throws it.
    [[noreturn]] static void Throw(const char* format, ...) __attribute__((format(printf, 1, 2)));

private:
    std::string message;
};
