// The serial port component's one exception type and its numbered messages.
#pragma once

#include "runtime/Exception.h"

#include <string>

constexpr int CError_OpenFailed = 1;
constexpr int CError_WriteFailed = 2;
constexpr int CError_ReadFailed = 3;
constexpr int CError_InvalidAsync = 4;
constexpr int CError_PurgeFailed = 5;
constexpr int CError_AsyncCheck = 6;
constexpr int CError_SetStateFailed = 7;
constexpr int CError_TimeoutsFailed = 8;
constexpr int CError_SetupComFailed = 9;
constexpr int CError_ClearComFailed = 10;
constexpr int CError_ModemStatFailed = 11;
constexpr int CError_EscapeComFailed = 12;
constexpr int CError_TransmitFailed = 13;
constexpr int CError_ConnChangeProp = 14;
constexpr int CError_EnumPortsFailed = 15;
constexpr int CError_StoreFailed = 16;
constexpr int CError_LoadFailed = 17;
constexpr int CError_RegFailed = 18;
constexpr int CError_LedStateFailed = 19;
constexpr int CError_ThreadCreated = 20;
constexpr int CError_WaitFailed = 21;
constexpr int CError_HasLink = 22;
constexpr int CError_RegError = 23;

constexpr int ComErrorCount = 23;

// The system's code for a transfer that ran out of time (ETIMEDOUT, ERROR_TIMEOUT),
// for a caller that treats a short write as a failure (posix/ or win32/ComErrors.cpp).
extern const int TimeoutSystemCode;

// Adds "cport" to the runtime's text domains and translates the 23 texts once in
// the current domain. The program calls it after InitTextLookup, before any port
// exists; calling it again (after a change of language) refills the table.
void InitComErrorMessages();

// The text of a code, 1 to ComErrorCount: the translation made by
// InitComErrorMessages, or the English text before it ran. Empty for other codes.
std::string ComErrorMessages(int code);

class EComPort : public Exception {
public:
    // Without a system code: WinCode is -1 and the message is the code's text.
    explicit EComPort(int code);
    // With the system code taken right after the failing call; the message gets the
    // translated suffix " (win error code: %d)".
    EComPort(int code, int winCode);

    int Code() const noexcept { return code_; }
    int WinCode() const noexcept { return winCode_; }

private:
    int code_;
    int winCode_;
};
