// The exception family shared by every subsystem: one base carrying the message.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// The file layer's error: a code and the message chosen by it.
class EInOutError : public Exception {
public:
    // File-layer codes of their own, beside the platform's.
    static constexpr int ReadBeyondEnd = 100;
    static constexpr int DiskFull = 101;
    static constexpr int InvalidInput = 106;
    static constexpr int SharingViolation = 32;

    explicit EInOutError(int code);
    // Maps an errno value onto the file layer's codes; unmapped values keep
    // their number and get the generic "I/O error %d" text.
    static EInOutError FromErrno(int err);

    int ErrorCode() const noexcept { return code_; }

private:
    EInOutError(int code, std::string message) : Exception(std::move(message)), code_(code) {}
    int code_;
};

// Raised when an operation is not valid in the object's present state.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// Raised by a failed conversion, among them copying between unrelated settings classes.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
