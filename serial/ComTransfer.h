// Overlapped transfers of the port and the line state they read: the transfer record,
// modem input signals and line errors.
#pragma once

#include "serial/ComDevice.h"
#include "serial/ComSettings.h"

#include <cstdint>

enum TComTransferKind : std::uint8_t { tkWrite, tkRead };

// One overlapped transfer; made by InitTransfer, released by DoneTransfer.
struct TComTransfer {
    comm::OVERLAPPED Overlapped;  // hEvent: the record's own manual-reset event
    TComTransferKind Kind;
};

enum TComLineSignal : std::uint8_t { lsCTS, lsDSR, lsRing, lsRLSD };
using TComLineSignals = TSmallSet<TComLineSignal, std::uint8_t>;

enum TComError : std::uint8_t {
    ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull
};
using TComErrors = TSmallSet<TComError, std::uint8_t>;

// The modem status bits (MS_*_ON) as signals.
TComLineSignals ModemStatusToSignals(comm::DWORD status);
// The ClearCommError bits (CE_*) as errors; a parity error counts only when checked.
TComErrors CommErrorsToErrors(comm::DWORD errors, bool parityChecked);
