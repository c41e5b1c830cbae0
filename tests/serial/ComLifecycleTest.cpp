// Opening and closing a port on the scripted device: the records sent, the reports
// and their order, and every failure of the connection's state table.
#include "serial/CPort.h"

#include "runtime/ErrorHook.h"

#include "FakeComDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// Names of the device calls, without the event thread's and the transfers' own.
Names DeviceCalls(const FakeComDevice& fake)
{
    Names names;
    for (const std::string& name : fake.Names())
        if (name != "CreateEvent" && name != "WaitForMultipleObjects" && name != "WaitCommEvent" &&
            name != "SetEvent" && name != "GetCommModemStatus" && name != "CloseHandle")
            names.push_back(name);
    return names;
}

// The main window's port, as its stored form sets it.
void UseWindowSettings(TCustomComPort& port)
{
    port.SetPort("COM1");
    port.Parity().SetBits(prNone);
    port.SetStopBits(sbOneStopBit);
    port.SetDataBits(dbEight);
    port.SetEvents({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full});
    port.FlowControl().SetFlowControl(fcNone);
    port.FlowControl().SetControlDTR(dtrDisable);
    port.SetSyncMethod(smNone);
    port.SetBaudRate(br600);
}

// Records every report with the line state it carries.
class ReportLog {
public:
    explicit ReportLog(TCustomComPort& port) : port_(port)
    {
        auto note = [this](std::string text) { entries.push_back(std::move(text)); };
        auto signal = [note](const char* name) {
            return [note, name](TComponent*, bool on) { note(std::string(name) + (on ? "+" : "-")); };
        };
        port.SetOnBeforeOpen([note](TComponent*) { note("BeforeOpen"); });
        port.SetOnAfterOpen([note](TComponent*) { note("AfterOpen"); });
        port.SetOnBeforeClose([note](TComponent*) { note("BeforeClose"); });
        port.SetOnAfterClose([note](TComponent*) { note("AfterClose"); });
        port.SetOnCTSChange(signal("CTS"));
        port.SetOnDSRChange(signal("DSR"));
        port.SetOnRLSDChange(signal("RLSD"));
    }
    ~ReportLog()
    {
        port_.SetOnBeforeOpen(nullptr);
        port_.SetOnAfterOpen(nullptr);
        port_.SetOnBeforeClose(nullptr);
        port_.SetOnAfterClose(nullptr);
        port_.SetOnCTSChange(nullptr);
        port_.SetOnDSRChange(nullptr);
        port_.SetOnRLSDChange(nullptr);
    }
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;
    Names entries;

private:
    TCustomComPort& port_;
};

class ComLifecycle : public ::testing::Test {
protected:
    FakeComDevice fake;
    TComPort port{nullptr, &fake};
};

} // namespace

TEST_F(ComLifecycle, WindowSettingsOpenWithTheirRecordsAndAnEventThread)
{
    UseWindowSettings(port);
    port.Open();
    ASSERT_TRUE(port.Connected());
    EXPECT_TRUE(port.ThreadCreated());
    EXPECT_EQ(port.Handle(), FakeComDevice::DeviceHandle);
    EXPECT_EQ(fake.Last("CreateFile").Text, "\\\\.\\COM1");
    const FakeCall setup = fake.Last("SetupComm");
    EXPECT_EQ(setup.A, 1024u);
    EXPECT_EQ(setup.B, 1024u);

    const DCB dcb = fake.LastDcb();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_DISABLE);
    EXPECT_EQ(dcb.fParity + dcb.fOutxCtsFlow + dcb.fOutxDsrFlow + dcb.fOutX + dcb.fInX +
                  dcb.fErrorChar + dcb.fNull + dcb.fDsrSensitivity + dcb.fTXContinueOnXoff +
                  dcb.fAbortOnError + dcb.fDummy2,
              0u);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(dcb.ErrorChar + dcb.EofChar + dcb.wReserved + dcb.wReserved1, 0);

    const COMMTIMEOUTS t = fake.LastTimeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);

    EXPECT_EQ(fake.Last("SetCommMask").A, 0x5E7u);
    ASSERT_TRUE(fake.WaitForCall("WaitCommEvent", 1));
    EXPECT_EQ(DeviceCalls(fake),
              (Names{"CreateFile", "SetupComm", "SetCommState", "SetCommTimeouts", "SetCommMask"}));

    fake.ClearCalls();
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
    // Abort first; the thread clears the mask and both queues as it ends; then the handle goes.
    EXPECT_EQ(DeviceCalls(fake), (Names{"PurgeComm", "SetCommMask", "PurgeComm"}));
    const auto calls = fake.Calls();
    std::vector<DWORD> purges;
    for (const auto& c : calls)
        if (c.Name == "PurgeComm")
            purges.push_back(c.A);
    EXPECT_EQ(purges, (std::vector<DWORD>{PURGE_TXABORT | PURGE_RXABORT, PURGE_TXCLEAR | PURGE_RXCLEAR}));
    EXPECT_EQ(fake.Last("SetCommMask").A, 0u);
    EXPECT_EQ(calls.back().Name, "CloseHandle");
    EXPECT_EQ(calls.back().Handle, FakeComDevice::DeviceHandle);
    EXPECT_EQ(fake.LiveEvents(), 0);
}

TEST_F(ComLifecycle, ControlBlockCarriesEverySetting)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.SetDataBits(dbFive);
    port.SetStopBits(sbOne5StopBits);
    port.SetDiscardNull(true);
    port.SetEventChar('\n');
    port.Parity().SetBits(prMark);
    port.Parity().SetReplace(true);  // without Check: no error character
    port.Parity().SetReplaceChar(255);
    port.Buffer().SetInputSize(4096);
    TComFlowControl& flow = port.FlowControl();
    flow.SetControlDTR(dtrHandshake);
    flow.SetControlRTS(rtsToggle);
    flow.SetOutDSRFlow(true);
    flow.SetDSRSensitivity(true);
    flow.SetTxContinueOnXoff(true);
    flow.SetXonXoffIn(true);
    flow.SetXonChar('A');
    flow.SetXoffChar(147);
    port.SetEvents({});
    port.Open();
    DCB dcb = fake.LastDcb();
    EXPECT_EQ(dcb.BaudRate, 31250u);
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    EXPECT_EQ(dcb.fNull, 1u);
    EXPECT_EQ(dcb.EvtChar, '\n');
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_HANDSHAKE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_TOGGLE);
    EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fDsrSensitivity, 1u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fInX, 1u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.XonChar, 'A');
    EXPECT_EQ(std::uint8_t(dcb.XoffChar), 147);

    // Changes on the open port are sent at once, always as the whole record.
    port.Parity().SetCheck(true);
    dcb = fake.LastDcb();
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fErrorChar, 1u);
    EXPECT_EQ(std::uint8_t(dcb.ErrorChar), 255);
    EXPECT_EQ(dcb.BaudRate, 31250u);
    EXPECT_EQ(fake.Count("SetCommState"), 2);
}

TEST_F(ComLifecycle, SettingsChangedWhileOpenReachTheDeviceAtOnce)
{
    port.SetEvents({});
    port.Open();
    fake.ClearCalls();
    port.Timeouts().SetWriteTotalConstant(20);
    EXPECT_EQ(fake.LastTimeouts().WriteTotalTimeoutConstant, 20u);
    EXPECT_EQ(fake.LastTimeouts().WriteTotalTimeoutMultiplier, 100u);
    port.Buffer().SetInputSize(4000);  // queue sizes only: the DCB keeps the old limits
    EXPECT_EQ(fake.Last("SetupComm").A, 4000u);
    EXPECT_EQ(fake.Count("SetCommState"), 0);
    port.SetEventChar('x');
    EXPECT_EQ(fake.LastDcb().XonLim, 1000);
    port.SetEvents({evRxChar});  // used by the next Open only
    port.SetEventThreadPriority(cpLower);
    EXPECT_EQ(DeviceCalls(fake), (Names{"SetCommTimeouts", "SetupComm", "SetCommState"}));
}

TEST_F(ComLifecycle, RefusedSettingOnAnOpenPortStaysStoredAndThePortOpen)
{
    port.SetEvents({});
    port.Open();
    fake.Fail("SetCommState", 22);
    try {
        port.SetBaudRate(br115200);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 7);
        EXPECT_EQ(e.WinCode(), 22);
        EXPECT_EQ(e.Message(), "SetCommState function failed (win error code: 22)");
    }
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_TRUE(port.Connected());
    fake.Fail("SetupComm", 12);
    EXPECT_THROW(port.Buffer().SetOutputSize(64), EComPort);
    EXPECT_EQ(port.Buffer().OutputSize(), 64);
}

TEST_F(ComLifecycle, OpenAndCloseTwiceDoNothingTheSecondTime)
{
    ReportLog log(port);
    port.Close();
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(log.entries.empty());
    port.Open();
    const size_t calls = fake.Calls().size();
    port.Open();
    EXPECT_EQ(fake.Calls().size(), calls);
    port.Close();
    const size_t closed = fake.Calls().size();
    port.Close();
    EXPECT_EQ(fake.Calls().size(), closed);
    EXPECT_EQ(std::count(log.entries.begin(), log.entries.end(), "AfterOpen"), 1);
    EXPECT_EQ(std::count(log.entries.begin(), log.entries.end(), "AfterClose"), 1);
}

TEST_F(ComLifecycle, ReportsComeInTheirOrderWithTheLineStates)
{
    ReportLog log(port);
    fake.SetModemStatus(MS_CTS_ON | MS_RLSD_ON);
    port.SetConnected(true);
    EXPECT_EQ(log.entries, (Names{"BeforeOpen", "AfterOpen", "CTS+", "DSR-", "RLSD+"}));
    log.entries.clear();
    const int modemReads = fake.Count("GetCommModemStatus");
    port.SetConnected(false);
    EXPECT_EQ(log.entries, (Names{"CTS-", "DSR-", "RLSD-", "BeforeClose", "AfterClose"}));
    EXPECT_EQ(fake.Count("GetCommModemStatus"), modemReads);  // closing reads no device
}

TEST_F(ComLifecycle, DeviceNameIsThePrefixAndThePortName)
{
    port.SetEvents({});
    port.SetPort("COM10");
    port.Open();
    EXPECT_EQ(fake.Last("CreateFile").Text, "\\\\.\\COM10");
    fake.ClearCalls();
    port.SetPort("COM10");  // the same name: nothing
    EXPECT_TRUE(fake.Calls().empty());
    port.SetPort("/dev/ttyUSB3");  // another name: close, then open on it
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fake.Last("CreateFile").Text, "\\\\.\\/dev/ttyUSB3");
    EXPECT_EQ(DeviceCalls(fake), (Names{"PurgeComm", "CreateFile", "SetupComm", "SetCommState",
                                        "SetCommTimeouts"}));
}

TEST_F(ComLifecycle, EachRefusedStepOfOpenLeavesThePortClosed)
{
    struct Case {
        const char* call;
        int code;
        Names before;
    };
    const Case cases[] = {
        {"CreateFile", 1, {"CreateFile"}},
        {"SetupComm", 9, {"CreateFile", "SetupComm"}},
        {"SetCommState", 7, {"CreateFile", "SetupComm", "SetCommState"}},
        {"SetCommTimeouts", 8, {"CreateFile", "SetupComm", "SetCommState", "SetCommTimeouts"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        FakeComDevice device;
        TComPort p(nullptr, &device);
        ReportLog log(p);
        device.Fail(c.call, 5);
        try {
            p.Open();
            FAIL() << "no error";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_EQ(e.WinCode(), 5);
        }
        EXPECT_FALSE(p.Connected());
        EXPECT_FALSE(p.ThreadCreated());
        EXPECT_EQ(p.Handle(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(DeviceCalls(device), c.before);
        EXPECT_EQ(device.Count("CloseHandle"), c.before.size() > 1 ? 1 : 0);
        EXPECT_EQ(log.entries, (Names{"BeforeOpen"}));
        EXPECT_EQ(device.LiveEvents(), 0);
    }
}

TEST_F(ComLifecycle, FailedAbortLeavesThePortOpenWithItsThread)
{
    ReportLog log(port);
    port.Open();
    fake.Fail("PurgeComm", 5, 1);
    try {
        port.Close();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 5);
        EXPECT_EQ(e.WinCode(), 5);
    }
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.ThreadCreated());
    EXPECT_EQ(port.Handle(), FakeComDevice::DeviceHandle);
    EXPECT_EQ(log.entries.back(), "BeforeClose");  // the before-close report has run
    EXPECT_EQ(fake.Count("CloseHandle"), 0);
    // The thread still reports.
    std::atomic<int> rings{0};
    port.SetOnRing([&](TComponent*) { ++rings; });
    fake.PostCommEvent(EV_RING);
    EXPECT_TRUE(ServeMainThreadUntil([&] { return rings == 1; },
                                     std::chrono::steady_clock::now() + std::chrono::seconds(2)));
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake.LiveEvents(), 0);
}

TEST_F(ComLifecycle, FailedSignalReadAfterOpenLeavesThePortOpen)
{
    fake.Fail("GetCommModemStatus", 19);
    try {
        port.Open();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 11);
        EXPECT_EQ(e.WinCode(), 19);
    }
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.ThreadCreated());
    fake.Succeed("GetCommModemStatus");
    port.Close();
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComLifecycle, SyncMethodCannotChangeWhileOpen)
{
    port.SetEvents({});
    port.Open();
    EXPECT_NO_THROW(port.SetSyncMethod(smThreadSync));
    try {
        port.SetSyncMethod(smWindowSync);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 14);
        EXPECT_EQ(e.WinCode(), -1);
        EXPECT_EQ(e.Message(), "Cannot set property while connected");
    }
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    port.Close();
    port.SetSyncMethod(smWindowSync);
    EXPECT_EQ(port.SyncMethod(), smWindowSync);
}

TEST_F(ComLifecycle, ConnectedReadFromAStoredFormOpensAtFinishLoading)
{
    port.BeginLoading();
    port.SetEvents({});
    port.SetConnected(true);
    port.SetBaudRate(br1200);
    port.SetSyncMethod(smNone);
    EXPECT_TRUE(fake.Calls().empty());
    port.FinishLoading();
    EXPECT_FALSE(port.Loading());
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fake.Count("CreateFile"), 1);
    EXPECT_EQ(fake.LastDcb().BaudRate, 1200u);
}

TEST_F(ComLifecycle, FailedOpenAtFinishLoadingIsShownAndLoadingGoesOn)
{
    std::vector<std::string> shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    {
        TStoredFormReading reading;
        TComPort loaded(nullptr, &fake);
        EXPECT_TRUE(loaded.Loading());
        loaded.SetConnected(true);
        fake.Fail("CreateFile", 2);
        loaded.FinishLoading();
        EXPECT_FALSE(loaded.Connected());
        EXPECT_FALSE(loaded.Loading());
    }
    SetApplicationExceptionHandler(nullptr);
    EXPECT_EQ(shown, (Names{"Unable to open com port (win error code: 2)"}));
}

TEST_F(ComLifecycle, PortDestroyedWhileLoadingTouchesNoDevice)
{
    std::vector<std::string> shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    {
        TComPort loaded(nullptr, &fake);
        loaded.BeginLoading();
        loaded.SetConnected(true);  // recorded only; the form's reading failed before FinishLoading
    }
    SetApplicationExceptionHandler(nullptr);
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(ComLifecycle, DestroyingAnOpenPortClosesItWithItsReports)
{
    Names log;
    {
        TComPort owned(nullptr, &fake);
        owned.SetOnAfterClose([&](TComponent*) { log.push_back("AfterClose"); });
        owned.SetOnBeforeClose([&](TComponent*) { log.push_back("BeforeClose"); });
        owned.Open();
    }
    EXPECT_EQ(log, (Names{"BeforeClose", "AfterClose"}));
    EXPECT_EQ(fake.Calls().back().Name, "CloseHandle");
    EXPECT_EQ(fake.LiveEvents(), 0);
}
