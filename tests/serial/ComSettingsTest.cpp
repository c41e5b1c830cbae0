// The settings model of the port: defaults, which change asks for which
// re-application, the flow-control summary, queue-size rounding, text forms.
#include "serial/CPort.h"

#include "FakeComDevice.h"

#include <array>
#include <gtest/gtest.h>
#include <type_traits>
#include <utility>

namespace {

// Whether Buffer, Parity, Timeouts and FlowControl of a `Port&` can be changed through it.
template <typename Port>
constexpr std::array<bool, 4> SettingsWritable{
    !std::is_const_v<std::remove_reference_t<decltype(std::declval<Port&>().Buffer())>>,
    !std::is_const_v<std::remove_reference_t<decltype(std::declval<Port&>().Parity())>>,
    !std::is_const_v<std::remove_reference_t<decltype(std::declval<Port&>().Timeouts())>>,
    !std::is_const_v<std::remove_reference_t<decltype(std::declval<Port&>().FlowControl())>>};
static_assert(SettingsWritable<TComPort> == std::array{true, true, true, true});
static_assert(SettingsWritable<const TComPort> == std::array{false, false, false, false});

// Counts the re-applications the settings ask for.
class CountingPort : public TComPort {
public:
    using TComPort::TComPort;
    int controlBlock = 0, timeouts = 0, bufferSizes = 0;
    void ApplyControlBlock() override { ++controlBlock; TComPort::ApplyControlBlock(); }
    void ApplyTimeoutSettings() override { ++timeouts; TComPort::ApplyTimeoutSettings(); }
    void ApplyBufferSizes() override { ++bufferSizes; TComPort::ApplyBufferSizes(); }
    std::tuple<int, int, int> Applies() const { return {controlBlock, timeouts, bufferSizes}; }
};

using Applies = std::tuple<int, int, int>;

class ComSettings : public ::testing::Test {
protected:
    FakeComDevice fake;
    CountingPort port{nullptr, &fake};
};

} // namespace

TEST_F(ComSettings, NewPortHasTheDocumentedDefaults)
{
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.Events().ToBits(), 0x03FF);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(port.FlowControl().XonChar(), 17);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    const TComTimeouts& t = port.Timeouts();
    EXPECT_EQ((std::vector<int>{t.ReadInterval(), t.ReadTotalMultiplier(), t.ReadTotalConstant(),
                                t.WriteTotalMultiplier(), t.WriteTotalConstant()}),
              (std::vector<int>{-1, 0, 0, 100, 1000}));
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
    EXPECT_TRUE(port.ReportRxCount());
    EXPECT_EQ(port.EventThreadPriority(), cpNormal);
    EXPECT_EQ(port.StoredGroups(), TStoredGroups{sgBasic});
    EXPECT_TRUE(fake.Calls().empty());  // nothing touches the device
}

TEST_F(ComSettings, EachSetterAsksForItsOwnReapplicationOnlyOnAChange)
{
    port.SetBaudRate(br600);
    port.SetCustomBaudRate(31250);
    port.SetStopBits(sbTwoStopBits);
    port.SetDataBits(dbSeven);
    port.SetDiscardNull(true);
    port.SetEventChar('\r');
    EXPECT_EQ(port.Applies(), Applies(6, 0, 0));
    port.SetBaudRate(br600);  // equal values ask for nothing
    port.SetEventChar('\r');
    port.SetEvents({evRxChar});
    port.SetEventThreadPriority(cpHigher);
    port.SetReportRxCount(false);
    port.SetSyncMethod(smNone);
    port.SetStoredGroups({sgBasic, sgBuffer});
    EXPECT_EQ(port.Applies(), Applies(6, 0, 0));

    port.Parity().SetBits(prEven);
    port.Parity().SetCheck(true);
    port.FlowControl().SetOutDSRFlow(true);
    port.FlowControl().SetXonChar(1);
    EXPECT_EQ(port.Applies(), Applies(10, 0, 0));
    port.Timeouts().SetWriteTotalConstant(50);
    port.Timeouts().SetReadInterval(-1);  // unchanged
    EXPECT_EQ(port.Applies(), Applies(10, 1, 0));
    port.Buffer().SetOutputSize(2048);
    EXPECT_EQ(port.Applies(), Applies(10, 1, 1));
    EXPECT_TRUE(fake.Calls().empty());  // closed: every apply only stores
    EXPECT_EQ(port.BaudRate(), br600);
    EXPECT_EQ(port.StoredGroups(), (TStoredGroups{sgBasic, sgBuffer}));
}

TEST_F(ComSettings, WholeObjectsAreCopiedAndAlwaysReapplied)
{
    TComParity parity;
    parity.SetBits(prOdd);
    parity.SetReplace(true);
    parity.SetReplaceChar('?');
    port.SetParity(parity);
    EXPECT_EQ(port.Parity().Bits(), prOdd);
    EXPECT_EQ(port.Parity().ReplaceChar(), '?');
    EXPECT_EQ(port.Parity().ComPort(), &port);  // the back-reference is not copied
    port.SetParity(parity);  // no equality test
    TComFlowControl flow;
    flow.SetFlowControl(fcHardware);
    port.SetFlowControl(flow);
    EXPECT_EQ(port.Applies(), Applies(3, 0, 0));
    TComTimeouts timeouts;
    timeouts.SetReadTotalConstant(7);
    port.SetTimeouts(timeouts);
    TComBuffer buffer;
    buffer.SetInputSize(4096);
    port.SetBuffer(buffer);
    EXPECT_EQ(port.Applies(), Applies(3, 1, 1));
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 7);
}

TEST_F(ComSettings, CopyingBetweenClassesFailsNamingBothAndChangesNothing)
{
    TComBuffer buffer;
    buffer.SetInputSize(10);
    try {
        port.Timeouts().Assign(buffer);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("TComBuffer"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("TComTimeouts"), std::string::npos) << e.what();
    }
    EXPECT_THROW(port.Parity().Assign(port.FlowControl()), EConvertError);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Applies(), Applies(0, 0, 0));
}

TEST_F(ComSettings, FlowControlSummaryFollowsItsFourFieldsAndAppliesOnce)
{
    TComFlowControl& flow = port.FlowControl();
    flow.SetControlDTR(dtrEnable);
    flow.SetOutDSRFlow(true);  // plays no part
    port.controlBlock = 0;
    flow.SetFlowControl(fcHardware);  // four fields change, one apply
    EXPECT_EQ(port.Applies(), Applies(1, 0, 0));
    EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(flow.OutCTSFlow());
    EXPECT_FALSE(flow.XonXoffIn() || flow.XonXoffOut());
    EXPECT_EQ(flow.FlowControl(), fcHardware);
    flow.SetFlowControl(fcHardware);  // no equality test
    EXPECT_EQ(port.Applies(), Applies(2, 0, 0));

    flow.SetFlowControl(fcSoftware);
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_TRUE(flow.XonXoffIn() && flow.XonXoffOut());
    EXPECT_EQ(flow.ControlDTR(), dtrEnable);
    EXPECT_TRUE(flow.OutDSRFlow());
    EXPECT_EQ(flow.FlowControl(), fcSoftware);
    flow.SetXonXoffIn(false);  // only one direction: no named scheme
    EXPECT_EQ(flow.FlowControl(), fcCustom);

    flow.SetFlowControl(fcHardware);
    flow.SetControlRTS(rtsToggle);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
    port.controlBlock = 0;
    flow.SetFlowControl(fcCustom);  // leaves the fields, still applies
    EXPECT_EQ(flow.ControlRTS(), rtsToggle);
    EXPECT_TRUE(flow.OutCTSFlow());
    EXPECT_EQ(port.Applies(), Applies(1, 0, 0));
}

TEST_F(ComSettings, QueueSizesAreRoundedDownToEven)
{
    TComBuffer& buffer = port.Buffer();
    buffer.SetInputSize(1025);
    EXPECT_EQ(buffer.InputSize(), 1024);
    EXPECT_EQ(port.bufferSizes, 1);  // the value differed from the stored one
    buffer.SetInputSize(1024);
    EXPECT_EQ(port.bufferSizes, 1);
    buffer.SetInputSize(-3);
    EXPECT_EQ(buffer.InputSize(), -3);
    buffer.SetOutputSize(1);
    EXPECT_EQ(buffer.OutputSize(), 0);
    buffer.SetOutputSize(0);
    EXPECT_EQ(buffer.OutputSize(), 0);
    EXPECT_EQ(port.bufferSizes, 3);
}

TEST(ComSettingsText, ParsingComparesInUpperCaseAndFallsBack)
{
    EXPECT_EQ(ParseBaudRate("115200"), br115200);
    EXPECT_EQ(ParseBaudRate("custom"), brCustom);
    EXPECT_EQ(ParseBaudRate("600 "), br9600);
    EXPECT_EQ(ParseBaudRate(""), br9600);
    EXPECT_EQ(ParseBaudRate("110"), br110);
    EXPECT_EQ(ParseStopBits("1.5"), sbOne5StopBits);
    EXPECT_EQ(ParseStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(ParseDataBits("5"), dbFive);
    EXPECT_EQ(ParseDataBits("9"), dbEight);
    EXPECT_EQ(ParseParity("sPaCe"), prSpace);
    EXPECT_EQ(ParseParity("none\n"), prNone);
    EXPECT_EQ(ParseFlowControl("none"), fcNone);
    EXPECT_EQ(ParseFlowControl("xyz"), fcCustom);
    EXPECT_EQ(ParseFlowControl("HARDWARE"), fcHardware);
}
