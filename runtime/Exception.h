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
    // their number and get the generic "I/O error %d" text. The system's own text
    // for the errno value is its explanation.
    static EInOutError FromErrno(int err);
    // A code of the file layer with what caused it in the user's words.
    static EInOutError Explained(int code, std::string explanation);

    int ErrorCode() const noexcept { return code_; }
    // Why, in words the code's message does not have (the system's text for the
    // failing call's error, say); empty when there is nothing to add. Programs that
    // can say more than the message put it after the message.
    const std::string& Explanation() const noexcept { return explanation_; }
    void SetExplanation(std::string explanation) { explanation_ = std::move(explanation); }

private:
    EInOutError(int code, std::string message) : Exception(std::move(message)), code_(code) {}
    int code_;
    std::string explanation_;
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
