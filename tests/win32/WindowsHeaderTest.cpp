// A program of the system's own can include <windows.h> beside the component, and the
// records and bits the component hands to the device layer mean what the system's do.
#include <windows.h>

#include "serial/CPort.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

// The component's record read as the system's, the way the device layer passes it.
::DCB AsSystemDcb(const comm::DCB& dcb)
{
    static_assert(sizeof(::DCB) == sizeof(comm::DCB));
    ::DCB system;
    std::memcpy(&system, &dcb, sizeof system);
    return system;
}

TEST(WindowsHeader, TheComponentsControlBlockReadsAsTheSystemsWithTheSameSettings)
{
    TComPort port;
    port.SetBaudRate(br600);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prMark);
    port.Parity().SetCheck(true);
    port.FlowControl().SetControlRTS(rtsToggle);
    port.FlowControl().SetXonChar(0x81);
    port.SetEventChar('\r');
    const ::DCB dcb = AsSystemDcb(port.BuildControlBlock());

    EXPECT_EQ(dcb.BaudRate, DWORD{CBR_600});
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fRtsControl, DWORD{RTS_CONTROL_TOGGLE});
    EXPECT_EQ(dcb.fDtrControl, DWORD{DTR_CONTROL_DISABLE});
    EXPECT_EQ(static_cast<unsigned char>(dcb.XonChar), 0x81);
    EXPECT_EQ(dcb.EvtChar, '\r');
}

TEST(WindowsHeader, TheComponentsTimeoutsReadAsTheSystems)
{
    TComPort port;
    port.Timeouts().SetReadInterval(7);
    port.Timeouts().SetWriteTotalConstant(1500);
    const comm::COMMTIMEOUTS own = port.BuildTimeouts();
    ::COMMTIMEOUTS system;
    static_assert(sizeof system == sizeof own);
    std::memcpy(&system, &own, sizeof system);
    EXPECT_EQ(system.ReadIntervalTimeout, 7u);
    EXPECT_EQ(system.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(system.WriteTotalTimeoutConstant, 1500u);
}

TEST(WindowsHeader, EveryEventSelectsTheSystemsMaskBit)
{
    const std::pair<TComEvent, DWORD> bits[] = {
        {evRxChar, EV_RXCHAR}, {evTxEmpty, EV_TXEMPTY}, {evRxFlag, EV_RXFLAG}, {evRing, EV_RING},
        {evBreak, EV_BREAK}, {evCTS, EV_CTS}, {evDSR, EV_DSR}, {evError, EV_ERR},
        {evRLSD, EV_RLSD}, {evRx80Full, EV_RX80FULL}};
    for (const auto& [event, bit] : bits)
        EXPECT_EQ(EventsToMask(TComEvents{event}), bit) << int(event);
}

TEST(WindowsHeader, TheDeviceConstantsAreTheSystems)
{
    const std::pair<comm::DWORD, DWORD> constants[] = {
        {comm::kPurgeTxAbort, PURGE_TXABORT}, {comm::kPurgeRxAbort, PURGE_RXABORT},
        {comm::kPurgeTxClear, PURGE_TXCLEAR}, {comm::kPurgeRxClear, PURGE_RXCLEAR},
        {comm::kMsCtsOn, MS_CTS_ON}, {comm::kMsDsrOn, MS_DSR_ON}, {comm::kMsRingOn, MS_RING_ON},
        {comm::kMsRlsdOn, MS_RLSD_ON}, {comm::kCeRxOver, CE_RXOVER}, {comm::kCeOverrun, CE_OVERRUN},
        {comm::kCeRxParity, CE_RXPARITY}, {comm::kCeFrame, CE_FRAME}, {comm::kCeBreak, CE_BREAK},
        {comm::kCeTxFull, CE_TXFULL}, {comm::kCeIoe, CE_IOE}, {comm::kCeMode, CE_MODE},
        {comm::kErrorIoPending, ERROR_IO_PENDING}, {comm::kInfinite, INFINITE},
        {comm::kWaitObject0, WAIT_OBJECT_0}, {comm::kWaitTimeout, WAIT_TIMEOUT},
        {comm::kWaitFailed, WAIT_FAILED}};
    for (const auto& [own, system] : constants)
        EXPECT_EQ(own, system);
}

TEST(WindowsHeader, AClosedPortsHandleIsTheSystemsInvalidHandle)
{
    const TComPort port;
    EXPECT_EQ(reinterpret_cast<HANDLE>(port.Handle()), INVALID_HANDLE_VALUE);
}

// The system's SetPort macro turns the setter's name into its own on both sides.
TEST(WindowsHeader, SetPortSetsThePort)
{
    TComPort port;
    port.SetPort("COM9");
    EXPECT_EQ(port.Port(), "COM9");
}

} // namespace
