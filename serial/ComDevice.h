// Every device operation the serial port component uses, behind one interface.
//
// The operations keep the shape of the Windows communication calls the component
// was designed around (handles, DCB, COMMTIMEOUTS, OVERLAPPED, manual-reset events),
// so the component's logic reads the same on every platform. serial/posix/ gives
// them on termios, serial/win32/ by the Windows calls themselves; tests/support/ has
// a scripted fake for failures a real device cannot produce.
//
// Contract of every implementation:
// - A failing call returns false (or kInvalidHandle / 0 for the creators) and
//   leaves the reason in GetLastError() of the calling thread.
// - Overlapped transfers: WriteFile/ReadFile/WaitCommEvent either complete at once
//   (true; the event is set; *done holds the count) or return false with
//   GetLastError() == kErrorIoPending. A pending operation completes when a
//   WaitForSingleObject/WaitForMultipleObjects on its event returns that event;
//   GetOverlappedResult then gives its result. An implementation may do the
//   device work of a pending operation inside that wait.
// - A write completes only when its bytes have left the software output queue, or
//   when its total time-out (WriteTotalTimeoutMultiplier x count +
//   WriteTotalTimeoutConstant) runs out; then with the count taken, the rest dropped.
// - PurgeComm(kPurgeTxAbort | kPurgeRxAbort) completes every pending transfer at once,
//   from any thread, with the counts done so far. kPurgeTxClear never
//   discards bytes of a write that has completed.
// - Events are manual-reset; a wait reports the lowest index of the set events.
#pragma once

#include <cstdint>
#include <string>

// The names live in `comm` and the constants are spelt kLikeThis, not as the system's
// macros, so that a source file may include <windows.h> beside this header, in either order.
namespace comm {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using THandle = std::intptr_t;

constexpr THandle kInvalidHandle = -1;

constexpr DWORD kErrorIoPending = 997;
constexpr DWORD kInfinite = 0xFFFFFFFF;
constexpr DWORD kWaitObject0 = 0;
constexpr DWORD kWaitTimeout = 258;
constexpr DWORD kWaitFailed = 0xFFFFFFFF;

// PurgeComm flags
constexpr DWORD kPurgeTxAbort = 0x1;
constexpr DWORD kPurgeRxAbort = 0x2;
constexpr DWORD kPurgeTxClear = 0x4;
constexpr DWORD kPurgeRxClear = 0x8;

// SetCommMask / WaitCommEvent bits
constexpr DWORD kEvRxChar = 0x1;
constexpr DWORD kEvRxFlag = 0x2;
constexpr DWORD kEvTxEmpty = 0x4;
constexpr DWORD kEvCts = 0x8;
constexpr DWORD kEvDsr = 0x10;
constexpr DWORD kEvRlsd = 0x20;
constexpr DWORD kEvBreak = 0x40;
constexpr DWORD kEvErr = 0x80;
constexpr DWORD kEvRing = 0x100;
constexpr DWORD kEvRx80Full = 0x400;

// GetCommModemStatus bits
constexpr DWORD kMsCtsOn = 0x10;
constexpr DWORD kMsDsrOn = 0x20;
constexpr DWORD kMsRingOn = 0x40;
constexpr DWORD kMsRlsdOn = 0x80;

// ClearCommError bits
constexpr DWORD kCeRxOver = 0x1;
constexpr DWORD kCeOverrun = 0x2;
constexpr DWORD kCeRxParity = 0x4;
constexpr DWORD kCeFrame = 0x8;
constexpr DWORD kCeBreak = 0x10;
constexpr DWORD kCeTxFull = 0x100;
constexpr DWORD kCeIoe = 0x400;
constexpr DWORD kCeMode = 0x8000;

// DCB field values
constexpr DWORD kDtrControlDisable = 0, kDtrControlEnable = 1, kDtrControlHandshake = 2;
constexpr DWORD kRtsControlDisable = 0, kRtsControlEnable = 1, kRtsControlHandshake = 2,
                kRtsControlToggle = 3;
constexpr BYTE kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
constexpr BYTE kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;

// The device control block: line settings, with the platform's field names and layout.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
static_assert(sizeof(DCB) == 28);

// Time-outs in milliseconds; a multiplier is milliseconds per byte.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD Flags;
    DWORD cbInQue;   // bytes waiting in the input queue
    DWORD cbOutQue;  // bytes waiting in the output queue
};

// One overlapped operation. Internal and InternalHigh belong to the implementation
// (status and count of the operation); callers zero the block and set hEvent.
struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    THandle hEvent;
};

} // namespace comm

class TComDevice {
public:
    virtual ~TComDevice() = default;

    // Device handles. `name` is "\\.\" followed by the port's name.
    virtual comm::THandle OpenPort(const std::string& name) = 0;
    // Closes a device or an event handle.
    virtual bool CloseHandle(comm::THandle handle) = 0;
    // The system code of the calling thread's last failed call (errno on Linux,
    // Windows' own error code on Windows).
    virtual comm::DWORD GetLastError() = 0;

    virtual bool SetupComm(comm::THandle device, comm::DWORD inQueue, comm::DWORD outQueue) = 0;
    virtual bool SetCommState(comm::THandle device, const comm::DCB& dcb) = 0;
    virtual bool SetCommTimeouts(comm::THandle device, const comm::COMMTIMEOUTS& timeouts) = 0;

    virtual bool WriteFile(comm::THandle device, const void* buffer, comm::DWORD count, comm::DWORD* done,
                           comm::OVERLAPPED* overlapped) = 0;
    virtual bool ReadFile(comm::THandle device, void* buffer, comm::DWORD count, comm::DWORD* done,
                          comm::OVERLAPPED* overlapped) = 0;
    virtual bool GetOverlappedResult(comm::THandle device, comm::OVERLAPPED* overlapped, comm::DWORD* done,
                                     bool wait) = 0;

    virtual bool SetCommMask(comm::THandle device, comm::DWORD mask) = 0;
    virtual bool WaitCommEvent(comm::THandle device, comm::DWORD* mask, comm::OVERLAPPED* overlapped) = 0;
    virtual bool ClearCommError(comm::THandle device, comm::DWORD* errors, comm::COMSTAT* status) = 0;
    virtual bool GetCommModemStatus(comm::THandle device, comm::DWORD* status) = 0;
    virtual bool PurgeComm(comm::THandle device, comm::DWORD flags) = 0;

    // Events: 0 on failure.
    virtual comm::THandle NewEvent(bool manualReset, bool initialState) = 0;
    virtual bool SetEvent(comm::THandle event) = 0;
    virtual bool ResetEvent(comm::THandle event) = 0;
    virtual comm::DWORD WaitForSingleObject(comm::THandle event, comm::DWORD milliseconds) = 0;
    virtual comm::DWORD WaitForMultipleObjects(comm::DWORD count, const comm::THandle* events, bool waitAll,
                                         comm::DWORD milliseconds) = 0;
};

// The real device layer of this platform (serial/posix/ or serial/win32/ComDevice.cpp).
TComDevice& SystemComDevice();
