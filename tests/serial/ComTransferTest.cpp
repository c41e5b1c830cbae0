// The transfer members of the port: the scripted fake for every failure code and the
// release of records, and a real pseudo-terminal for what the upload relies on.
#include "DeviceFixture.h"
#include "FakeComDevice.h"
#include "serial/CPort.h"

#include <cerrno>
#include <future>

namespace {

using Names = std::vector<std::string>;

// EComPort's code and system code, or {0, 0} when nothing was raised.
template <typename F>
std::pair<int, int> Raised(F&& call)
{
    try {
        call();
    } catch (const EComPort& e) {
        return {e.Code(), e.WinCode()};
    }
    return {0, 0};
}

class FakePort : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_.SetEvents(TComEvents{});
        port_.Open();
        fake_.ClearCalls();
    }
    FakeComDevice fake_;
    TComPort port_{nullptr, &fake_};
};

TEST_F(FakePort, WriteIsOneEventOneOverlappedWriteAndOneWait)
{
    EXPECT_EQ(port_.Write("A", 1), 1);
    EXPECT_EQ(fake_.Names(), (Names{"CreateEvent", "WriteFile", "WaitForSingleObject",
                                    "GetOverlappedResult", "CloseHandle"}));
    FakeCall create = fake_.Last("CreateEvent");
    EXPECT_EQ(create.A, 1u) << "manual reset";
    EXPECT_EQ(create.B, 1u) << "created signalled";
    FakeCall write = fake_.Last("WriteFile");
    EXPECT_EQ(write.Handle, FakeComDevice::DeviceHandle);
    EXPECT_EQ(write.Text, "A");
    EXPECT_EQ(fake_.Last("WaitForSingleObject").A, INFINITE);
    EXPECT_EQ(fake_.Last("GetOverlappedResult").A, 0u) << "no waiting in the result query";
    EXPECT_EQ(fake_.LiveEvents(), 0);
}

TEST_F(FakePort, ShortCountsAndPendingTransfersAreNoFailure)
{
    fake_.SetWriteLimit(2);
    EXPECT_EQ(port_.Write("abcde", 5), 2);
    fake_.SetTransfersPending(true);
    TComTransfer* transfer = nullptr;
    port_.InitTransfer(transfer);
    EXPECT_EQ(port_.StartWrite("xyz", 3, transfer), 0);
    EXPECT_EQ(port_.WaitForTransfer(transfer), 2);
    fake_.QueueInput("hello");
    char buffer[8] = {};
    EXPECT_EQ(port_.StartRead(buffer, 8, transfer), 0);
    EXPECT_EQ(port_.WaitForTransfer(transfer), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    port_.DoneTransfer(transfer);
    EXPECT_EQ(transfer, nullptr);
    EXPECT_EQ(fake_.LiveEvents(), 0);
    EXPECT_EQ(port_.Write("x", -5), 0) << "a negative count moves nothing";
    EXPECT_EQ(fake_.Last("WriteFile").A, 0u);
}

TEST_F(FakePort, NoRecordRaisesInvalidAsyncParameter)
{
    TComTransfer* none = nullptr;
    char byte = 0;
    for (auto call : {std::function<void()>([&] { port_.StartWrite(&byte, 1, none); }),
                      std::function<void()>([&] { port_.StartRead(&byte, 1, none); }),
                      std::function<void()>([&] { port_.WaitForTransfer(none); })}) {
        try {
            call();
            ADD_FAILURE() << "nothing raised";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code(), 4);
            EXPECT_EQ(e.WinCode(), -1);
            EXPECT_EQ(e.Message(), "Invalid Async parameter");
        }
    }
    EXPECT_EQ(fake_.Count("WriteFile") + fake_.Count("ReadFile"), 0);
    port_.DoneTransfer(none);  // releasing nothing is harmless
}

TEST_F(FakePort, EveryFailureRaisesItsCodeAndReleasesTheRecord)
{
    char buffer[4] = {};
    struct Case {
        const char* call;
        std::function<void()> run;
        int code;
    };
    const Case cases[] = {
        {"WriteFile", [&] { port_.Write("ab", 2); }, 2},
        {"ReadFile", [&] { port_.Read(buffer, 4); }, 3},
        {"WaitForSingleObject", [&] { port_.Write("ab", 2); }, 2},
        {"WaitForSingleObject", [&] { port_.Read(buffer, 4); }, 3},
        {"GetOverlappedResult", [&] { port_.Write("ab", 2); }, 2},
        {"GetOverlappedResult", [&] { port_.Read(buffer, 4); }, 3},
        {"PurgeComm", [&] { port_.AbortTransfers(); }, 5},
        {"ClearCommError", [&] { port_.ReceivedCount(); }, 10},
        {"ClearCommError", [&] { port_.TakeLineErrors(); }, 10},
        {"GetCommModemStatus", [&] { port_.LineSignals(); }, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        fake_.Fail(c.call, 31, 1);
        EXPECT_EQ(Raised(c.run), std::make_pair(c.code, 31));
        EXPECT_EQ(fake_.LiveEvents(), 0) << "the record's event is closed";
    }
    EXPECT_EQ(fake_.Count("CreateEvent"), fake_.Count("CloseHandle"));
    EXPECT_EQ(fake_.Last("PurgeComm").A, PURGE_TXABORT | PURGE_RXABORT);
}

TEST_F(FakePort, LineStateIsReadAndErrorsAreTaken)
{
    EXPECT_EQ(port_.ReceivedCount(), 0);
    fake_.SetInQueue(7);
    EXPECT_EQ(port_.ReceivedCount(), 7);

    fake_.SetModemStatus(MS_CTS_ON | MS_RLSD_ON);
    EXPECT_EQ(port_.LineSignals(), (TComLineSignals{lsCTS, lsRLSD}));
    fake_.SetModemStatus(MS_DSR_ON | MS_RING_ON);
    EXPECT_EQ(port_.LineSignals(), (TComLineSignals{lsDSR, lsRing}));

    fake_.SetCommErrors(CE_RXPARITY | CE_FRAME);
    EXPECT_EQ(port_.TakeLineErrors(), (TComErrors{ceFrame})) << "parity unchecked";
    port_.Parity().SetCheck(true);
    fake_.SetCommErrors(CE_RXPARITY);
    EXPECT_EQ(port_.TakeLineErrors(), (TComErrors{ceRxParity}));
    EXPECT_TRUE(port_.TakeLineErrors().Empty()) << "taken by the first call";
    fake_.SetCommErrors(CE_RXOVER | CE_OVERRUN | CE_BREAK | CE_TXFULL | CE_IOE | CE_MODE | 0x200);
    EXPECT_EQ(port_.TakeLineErrors(),
              (TComErrors{ceRxOver, ceOverrun, ceBreak, ceTxFull, ceIO, ceMode}));
}

class PtyPort : public ::testing::Test {
protected:
    PtyPort()
    {
        port_.SetPort(pty_.Path());
        port_.SetEvents(TComEvents{});
    }
    PtyPair pty_;
    TComPort port_;
};

TEST_F(PtyPort, ByteByByteUploadArrivesWholeAfterClose)
{
    pty_.ReleaseSlave();  // Close is the slave's last close
    port_.SetBaudRate(br600);
    // As the upload window has it: an event thread that purges both queues as it ends.
    port_.SetEvents(MaskToEvents(0x5E7));
    port_.SetSyncMethod(smNone);
    port_.Open();
    ASSERT_TRUE(port_.ThreadCreated());
    EXPECT_EQ(pty_.Line().OutputSpeed, 600u);
    std::string bytes = AllByteValues();
    for (char c : bytes)
        ASSERT_EQ(port_.Write(&c, 1), 1);
    // More than the reader's line buffer holds, so a flush at close would lose bytes.
    std::string block(8000, 'b');
    ASSERT_EQ(port_.Write(block.data(), static_cast<std::int32_t>(block.size())), 8000);
    bytes += block;
    port_.Close();
    EXPECT_EQ(pty_.Receive(bytes.size() + 1, 1000ms), bytes);
}

TEST_F(PtyPort, CustomRateAndASecondOpenOfTheDevice)
{
    port_.SetBaudRate(brCustom);
    port_.SetCustomBaudRate(31250);
    port_.Open();
    EXPECT_EQ(pty_.Line().OutputSpeed, 31250u);
    TComPort second;
    second.SetPort(pty_.Path());
    second.SetEvents(TComEvents{});
    EXPECT_EQ(Raised([&] { second.Open(); }), std::make_pair(1, EBUSY));
    EXPECT_FALSE(second.Connected());
}

TEST_F(PtyPort, TransfersOnAClosedPortRaiseWithTheInvalidHandle)
{
    EXPECT_EQ(Raised([&] { port_.Write("x", 1); }), std::make_pair(2, EBADF));
    char byte = 0;
    EXPECT_EQ(Raised([&] { port_.Read(&byte, 1); }), std::make_pair(3, EBADF));
    EXPECT_EQ(Raised([&] { port_.ReceivedCount(); }), std::make_pair(10, EBADF));
    EXPECT_EQ(Raised([&] { port_.LineSignals(); }), std::make_pair(11, EBADF));
    EXPECT_EQ(Raised([&] { port_.AbortTransfers(); }), std::make_pair(5, EBADF));
}

TEST_F(PtyPort, AStalledReaderEndsAWriteAtItsTimeOut)
{
    port_.Timeouts().SetWriteTotalConstant(50);
    port_.Timeouts().SetWriteTotalMultiplier(0);
    port_.Open();
    std::string bytes(1 << 20, 'w');
    std::int32_t taken = port_.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, static_cast<std::int32_t>(bytes.size()));
}

TEST_F(PtyPort, HangUpFailsThePendingWrite)
{
    port_.Timeouts().SetWriteTotalConstant(0);
    port_.Timeouts().SetWriteTotalMultiplier(0);
    port_.Open();
    std::string bytes(1 << 20, 'h');
    TComTransfer* transfer = nullptr;
    port_.InitTransfer(transfer);
    EXPECT_EQ(port_.StartWrite(bytes.data(), static_cast<std::int32_t>(bytes.size()), transfer), 0);
    auto waiter = std::async(std::launch::async,
                             [&] { return Raised([&] { port_.WaitForTransfer(transfer); }); });
    pty_.CloseMaster();
    EXPECT_EQ(waiter.get(), std::make_pair(2, EIO));
    port_.DoneTransfer(transfer);
    EXPECT_EQ(Raised([&] { port_.Write("x", 1); }), std::make_pair(2, EIO));
    port_.Close();
    EXPECT_FALSE(port_.Connected());
}

TEST_F(PtyPort, ReadsWhatHasArrivedAndCountsTheRest)
{
    port_.Open();
    pty_.Send("hello");
    port_.Timeouts().SetReadInterval(0);
    port_.Timeouts().SetReadTotalConstant(1000);
    char buffer[3] = {};
    EXPECT_EQ(port_.Read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "hel");
    EXPECT_EQ(port_.ReceivedCount(), 2);
    EXPECT_TRUE(port_.LineSignals().Empty()) << "a pseudo-terminal has no modem lines";
    EXPECT_TRUE(port_.TakeLineErrors().Empty());
}

} // namespace
