// Every device operation the serial port component uses, behind one interface.
//
// The operations keep the shape of the Windows communication calls the component
// was designed around (handles, DCB, COMMTIMEOUTS, OVERLAPPED, manual-reset events),
// so the component's logic reads the same on every platform. serial/posix/ gives
// them on termios, serial/win32/ by the Windows calls themselves; tests/support/ has
// a scripted fake for failures a real device cannot produce.
//
// Contract of every implementation:
// - A failing call returns false (or INVALID_HANDLE_VALUE / 0 for the creators) and
//   leaves the reason in GetLastError() of the calling thread.
// - Overlapped transfers: WriteFile/ReadFile/WaitCommEvent either complete at once
//   (true; the event is set; *done holds the count) or return false with
//   GetLastError() == ERROR_IO_PENDING. A pending operation completes when a
//   WaitForSingleObject/WaitForMultipleObjects on its event returns that event;
//   GetOverlappedResult then gives its result. An implementation may do the
//   device work of a pending operation inside that wait.
// - A write completes only when its bytes have left the software output queue, or
//   when its total time-out (WriteTotalTimeoutMultiplier x count +
//   WriteTotalTimeoutConstant) runs out; then with the count taken, the rest dropped.
// - PurgeComm(PURGE_TXABORT | PURGE_RXABORT) completes every pending transfer at
//   once, from any thread, with the counts done so far. PURGE_TXCLEAR never
//   discards bytes of a write that has completed.
// - Events are manual-reset; a wait reports the lowest index of the set events.
#pragma once

#include <cstdint>
#include <string>

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using THandle = std::intptr_t;

constexpr THandle INVALID_HANDLE_VALUE = -1;

constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// PurgeComm flags
constexpr DWORD PURGE_TXABORT = 0x1;
constexpr DWORD PURGE_RXABORT = 0x2;
constexpr DWORD PURGE_TXCLEAR = 0x4;
constexpr DWORD PURGE_RXCLEAR = 0x8;

// SetCommMask / WaitCommEvent bits
constexpr DWORD EV_RXCHAR = 0x1;
constexpr DWORD EV_RXFLAG = 0x2;
constexpr DWORD EV_TXEMPTY = 0x4;
constexpr DWORD EV_CTS = 0x8;
constexpr DWORD EV_DSR = 0x10;
constexpr DWORD EV_RLSD = 0x20;
constexpr DWORD EV_BREAK = 0x40;
constexpr DWORD EV_ERR = 0x80;
constexpr DWORD EV_RING = 0x100;
constexpr DWORD EV_RX80FULL = 0x400;

// GetCommModemStatus bits
constexpr DWORD MS_CTS_ON = 0x10;
constexpr DWORD MS_DSR_ON = 0x20;
constexpr DWORD MS_RING_ON = 0x40;
constexpr DWORD MS_RLSD_ON = 0x80;

// ClearCommError bits
constexpr DWORD CE_RXOVER = 0x1;
constexpr DWORD CE_OVERRUN = 0x2;
constexpr DWORD CE_RXPARITY = 0x4;
constexpr DWORD CE_FRAME = 0x8;
constexpr DWORD CE_BREAK = 0x10;
constexpr DWORD CE_TXFULL = 0x100;
constexpr DWORD CE_IOE = 0x400;
constexpr DWORD CE_MODE = 0x8000;

// DCB field values
constexpr DWORD DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                RTS_CONTROL_TOGGLE = 3;
constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

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

class TComDevice {
public:
    virtual ~TComDevice() = default;

    // Device handles. `name` is "\\.\" followed by the port's name.
    virtual THandle CreateFile(const std::string& name) = 0;
    // Closes a device or an event handle.
    virtual bool CloseHandle(THandle handle) = 0;
    // The system code of the calling thread's last failed call (errno on Linux,
    // Windows' own error code on Windows).
    virtual DWORD GetLastError() = 0;

    virtual bool SetupComm(THandle device, DWORD inQueue, DWORD outQueue) = 0;
    virtual bool SetCommState(THandle device, const DCB& dcb) = 0;
    virtual bool SetCommTimeouts(THandle device, const COMMTIMEOUTS& timeouts) = 0;

    virtual bool WriteFile(THandle device, const void* buffer, DWORD count, DWORD* done,
                           OVERLAPPED* overlapped) = 0;
    virtual bool ReadFile(THandle device, void* buffer, DWORD count, DWORD* done,
                          OVERLAPPED* overlapped) = 0;
    virtual bool GetOverlappedResult(THandle device, OVERLAPPED* overlapped, DWORD* done,
                                     bool wait) = 0;

    virtual bool SetCommMask(THandle device, DWORD mask) = 0;
    virtual bool WaitCommEvent(THandle device, DWORD* mask, OVERLAPPED* overlapped) = 0;
    virtual bool ClearCommError(THandle device, DWORD* errors, COMSTAT* status) = 0;
    virtual bool GetCommModemStatus(THandle device, DWORD* status) = 0;
    virtual bool PurgeComm(THandle device, DWORD flags) = 0;

    // Events: 0 on failure.
    virtual THandle CreateEvent(bool manualReset, bool initialState) = 0;
    virtual bool SetEvent(THandle event) = 0;
    virtual bool ResetEvent(THandle event) = 0;
    virtual DWORD WaitForSingleObject(THandle event, DWORD milliseconds) = 0;
    virtual DWORD WaitForMultipleObjects(DWORD count, const THandle* events, bool waitAll,
                                         DWORD milliseconds) = 0;
};

// The real device layer of this platform (serial/posix/ or serial/win32/).
TComDevice& SystemComDevice();
