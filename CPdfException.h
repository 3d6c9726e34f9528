#pragma once

#include <string>

// The one exception type of the program. Every failure that the program detects is thrown
// as a CPdfException carrying a fixed English message (CPdfMessages.h), which the entry point
// prints as it is, and, where the thrower knows it, the reason in the words of the system or
// of the reader ("No such file or directory", "no startxref"). The detail line for standard
// error names what failed and where: the thrower sets it when it knows the file, else the
// split job does with the source's name.
class CPdfException {
public:
    explicit CPdfException(const char* text) : message(text) {}
    explicit CPdfException(std::string text) : message(std::move(text)) {}
    // A message with the reason it happened.
    CPdfException(const char* text, std::string why) : message(text), reason(std::move(why)) {}
    virtual ~CPdfException() = default;

    // The message text, exactly as it is to be printed.
    virtual const char* GetMessage() const { return message.c_str(); }
    // Why, as the system or the reader says it; empty when the message says it all.
    const std::string& GetReason() const { return reason; }
    // What failed, where and why ("cannot create /x/o.pdf: Permission denied"); empty until
    // the thrower or a caller that knows the file sets it.
    const std::string& GetDetail() const { return detail; }

    // Replaces the reason.
    void SetReason(std::string why) { reason = std::move(why); }
    // Sets the detail line (without the program's name); returns this exception, to throw.
    CPdfException& Detail(std::string text) {
        detail = std::move(text);
        return *this;
    }
    // Sets the detail, when none is set yet, to the file's name, ": " and the reason (the
    // message without one).
    void ConcernsFile(const std::string& fileName);
    // The detail "<what> <fileName>: <strerror(error)>" for a failed system call.
    static std::string SystemDetail(const char* what, const std::string& fileName, int error);

    // Builds a message from a printf-style format and throws it.
    [[noreturn]] static void Throw(const char* format, ...) __attribute__((format(printf, 1, 2)));

private:
    std::string message;
    std::string reason;
    std::string detail;
};
