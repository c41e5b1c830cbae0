#include "serial/CPort.h"
#include "serial/ComPersistence.h"

#include "runtime/IniFile.h"
#include "runtime/RegistryKey.h"

#include "FakeComDevice.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

TStoredGroups AllGroups()
{
    return {sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};
}

// A port with every saved setting away from its initial value.
void Customise(TCustomComPort& port)
{
    port.SetPort("/dev/ttyUSB3");
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.SetStopBits(sbTwoStopBits);
    port.SetDataBits(dbSeven);
    port.Parity().SetBits(prMark);
    port.SetEventChar('\r');
    port.SetDiscardNull(true);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    port.Buffer().SetOutputSize(4096);
    port.Buffer().SetInputSize(2048);
    port.Timeouts().SetReadInterval(5);
    port.Timeouts().SetReadTotalConstant(6);
    port.Timeouts().SetReadTotalMultiplier(7);
    port.Timeouts().SetWriteTotalConstant(8);
    port.Timeouts().SetWriteTotalMultiplier(9);
    TComFlowControl& f = port.FlowControl();
    f.SetControlRTS(rtsToggle);
    f.SetControlDTR(dtrHandshake);
    f.SetDSRSensitivity(true);
    f.SetOutCTSFlow(true);
    f.SetOutDSRFlow(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonXoffIn(true);
    f.SetXonXoffOut(false);
    f.SetXoffChar(147);
    f.SetXonChar('X');
}

// Every saved setting of the port, as the registry form of all groups shows it.
std::string AllSettings(TCustomComPort& port)
{
    TempDir scratch;
    TRegistry key(scratch.Path() / "all.reg");
    const TStoredGroups groups = port.StoredGroups();
    port.SetStoredGroups(AllGroups());
    port.SaveToRegistryKey(key);
    port.SetStoredGroups(groups);
    return ReadFileBytes(key.CurrentKey());
}

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

class Persistence : public ::testing::Test {
protected:
    Persistence()
    {
        port.SetName("RS232");
        loaded.SetName("RS232");
    }
    std::filesystem::path KeyPath() const { return dir.Path() / "port.reg"; }
    std::filesystem::path IniPath() const { return dir.Path() / "ports.ini"; }

    TempDir dir;
    FakeComDevice device;
    TComPort port{nullptr, &device};
    TComPort loaded{nullptr, &device};
};

} // namespace

TEST(ValueForms, CharactersAreWrittenAsCodesOutsidePrintableAsciiAndReadBack)
{
    const std::pair<std::uint8_t, const char*> written[] = {
        {'\r', "#13"}, {' ', "#32"}, {'!', "!"}, {'#', "#"}, {'\x7f', "\x7f"}, {0x80, "#128"},
        {147, "#147"}, {255, "#255"}};
    for (const auto& [c, text] : written)
        EXPECT_EQ(CharText(c), text);
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(ParseChar(CharText(std::uint8_t(code))), code);

    // Codes wrap to a byte; anything that is not a whole 32-bit number reads as #0.
    const std::pair<const char*, int> read[] = {
        {"AB", 'A'}, {"#", '#'}, {"#300", 44}, {"#-1", 255}, {"#+66", 'B'}, {"", 0},
        {"#x", 0}, {"#65 ", 0}, {"#+", 0}, {"#+-5", 0}, {"#99999999999", 0}, {"##", 0}};
    for (const auto& [text, code] : read)
        EXPECT_EQ(ParseChar(text), code) << text;
}

TEST(ValueForms, FlagsAndLineControls)
{
    EXPECT_EQ(BoolText(true), "Yes");
    EXPECT_EQ(BoolText(false), "No");
    for (const char* yes : {"Yes", "yes", "yEs"})
        EXPECT_TRUE(ParseBool(yes)) << yes;
    for (const char* no : {"No", "1", "True", "", "yes "})
        EXPECT_FALSE(ParseBool(no)) << no;

    const char* names[] = {"Disable", "Enable", "Handshake", "Toggle"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RTSText(TRTSFlowControl(i)), names[i]);
        EXPECT_EQ(ParseRTS(names[i]), i);
        if (i < 3) {
            EXPECT_EQ(DTRText(TDTRFlowControl(i)), names[i]);
            EXPECT_EQ(ParseDTR(names[i]), i);
        }
    }
    EXPECT_EQ(ParseDTR("handSHAKE"), dtrHandshake);
    EXPECT_EQ(ParseDTR("Toggle"), dtrDisable);
    EXPECT_EQ(ParseRTS("Enable "), rtsDisable);
}

TEST_F(Persistence, BasicGroupOfANewPortIsAllThatIsSaved)
{
    TRegistry key(KeyPath());
    port.SaveToRegistryKey(key);
    EXPECT_EQ(ReadFileBytes(KeyPath()),
              "REGEDIT4\n\n"
              "\"Port\"=\"COM1\"\n\"BaudRate\"=\"9600\"\n\"StopBits\"=\"1\"\n\"DataBits\"=\"8\"\n"
              "\"Parity\"=\"None\"\n\"FlowControl\"=\"None\"\n");
    TIniFile ini(IniPath());
    port.SaveToIniSection(ini);
    EXPECT_EQ(ReadFileBytes(IniPath()),
              "[RS232]\nPort = COM1\nBaudRate = 9600\nStopBits = 1\nDataBits = 8\nParity = None\n"
              "FlowControl = None\n");
    EXPECT_EQ(device.Calls().size(), 0u);
}

TEST_F(Persistence, EveryGroupIsWrittenInItsOrderAndForm)
{
    Customise(port);
    port.SetStoredGroups(AllGroups());
    TRegistry key(KeyPath());
    port.SaveToRegistryKey(key);
    EXPECT_EQ(ReadFileBytes(KeyPath()),
              "REGEDIT4\n\n"
              "\"Port\"=\"/dev/ttyUSB3\"\n"
              "\"BaudRate\"=\"Custom\"\n"
              "\"CustomBaudRate\"=dword:00007a12\n"
              "\"StopBits\"=\"2\"\n"
              "\"DataBits\"=\"7\"\n"
              "\"Parity\"=\"Mark\"\n"
              "\"FlowControl\"=\"Custom\"\n"
              "\"EventChar\"=\"#13\"\n"
              "\"DiscardNull\"=\"Yes\"\n"
              "\"Parity.Check\"=\"Yes\"\n"
              "\"Parity.Replace\"=\"Yes\"\n"
              "\"Parity.ReplaceChar\"=\"?\"\n"
              "\"Buffer.OutputSize\"=dword:00001000\n"
              "\"Buffer.InputSize\"=dword:00000800\n"
              "\"Timeouts.ReadInterval\"=dword:00000005\n"
              "\"Timeouts.ReadTotalConstant\"=dword:00000006\n"
              "\"Timeouts.ReadTotalMultiplier\"=dword:00000007\n"
              "\"Timeouts.WriteTotalConstant\"=dword:00000008\n"
              "\"Timeouts.WriteTotalMultiplier\"=dword:00000009\n"
              "\"FlowControl.ControlRTS\"=\"Toggle\"\n"
              "\"FlowControl.ControlDTR\"=\"Handshake\"\n"
              "\"FlowControl.DSRSensitivity\"=\"Yes\"\n"
              "\"FlowControl.OutCTSFlow\"=\"Yes\"\n"
              "\"FlowControl.OutDSRFlow\"=\"Yes\"\n"
              "\"FlowControl.TxContinueOnXoff\"=\"Yes\"\n"
              "\"FlowControl.XonXoffIn\"=\"Yes\"\n"
              "\"FlowControl.XonXoffOut\"=\"No\"\n"
              "\"FlowControl.XoffChar\"=\"#147\"\n"
              "\"FlowControl.XonChar\"=\"X\"\n");
}

TEST_F(Persistence, EveryGroupSurvivesARoundTripThroughBothStores)
{
    Customise(port);
    port.SetStoredGroups(AllGroups());
    loaded.SetStoredGroups(AllGroups());
    TRegistry key(KeyPath());
    port.SetEventChar(255);
    port.SaveToRegistryKey(key);
    loaded.LoadFromRegistryKey(key);
    EXPECT_EQ(AllSettings(loaded), AllSettings(port));
    EXPECT_EQ(loaded.EventChar(), 255);
    EXPECT_EQ(loaded.FlowControl().XoffChar(), 147);

    TComPort fresh(nullptr, &device);
    fresh.SetName("RS232");
    fresh.SetStoredGroups(AllGroups());
    TIniFile ini(IniPath());
    port.SaveToIniSection(ini);
    fresh.LoadFromIniSection(ini);
    EXPECT_EQ(AllSettings(fresh), AllSettings(port));
    EXPECT_EQ(device.Calls().size(), 0u);
}

TEST_F(Persistence, OnlyTheSelectedGroupsTravel)
{
    Customise(port);
    port.SetStoredGroups({sgTimeouts});
    TIniFile ini(IniPath());
    port.SaveToIniSection(ini);
    EXPECT_EQ(ReadFileBytes(IniPath()),
              "[RS232]\nTimeouts.ReadInterval = 5\nTimeouts.ReadTotalConstant = 6\n"
              "Timeouts.ReadTotalMultiplier = 7\nTimeouts.WriteTotalConstant = 8\n"
              "Timeouts.WriteTotalMultiplier = 9\n");
    loaded.SetStoredGroups({sgTimeouts});
    loaded.LoadFromIniSection(ini);
    EXPECT_EQ(loaded.Timeouts().WriteTotalMultiplier(), 9);
    EXPECT_EQ(loaded.Port(), "COM1");
    EXPECT_EQ(loaded.BaudRate(), br9600);

    port.SetStoredGroups({});
    TRegistry key(KeyPath());
    port.SaveToRegistryKey(key);
    EXPECT_FALSE(std::filesystem::exists(KeyPath()));
}

TEST_F(Persistence, IniLoadReadsEachFormAndKeepsWhatIsMissing)
{
    dir.Write("ports.ini",
              "[RS232]\nPort=COM2\nBaudRate=custom\nDiscardNull=yes\nEventChar=#65\nParity.Check=1\n"
              "Parity.Replace=True\nParity.ReplaceChar=#300\nBuffer.InputSize=1025\n"
              "Buffer.OutputSize=lots\n[Other]\nStopBits=2\n");
    loaded.SetStoredGroups({sgBasic, sgOthers, sgParity, sgBuffer});
    loaded.SetStopBits(sbOne5StopBits);
    loaded.SetCustomBaudRate(31250);
    loaded.FlowControl().SetFlowControl(fcSoftware);
    loaded.Parity().SetCheck(true);
    TIniFile ini(IniPath());
    loaded.LoadFromIniSection(ini);
    EXPECT_EQ(loaded.Port(), "COM2");
    EXPECT_EQ(loaded.BaudRate(), brCustom);
    EXPECT_EQ(loaded.CustomBaudRate(), 9600);  // missing, and not kept
    EXPECT_EQ(loaded.StopBits(), sbOne5StopBits);
    EXPECT_EQ(loaded.FlowControl().FlowControl(), fcSoftware);
    EXPECT_TRUE(loaded.DiscardNull());
    EXPECT_EQ(loaded.EventChar(), 'A');
    EXPECT_FALSE(loaded.Parity().Check());
    EXPECT_FALSE(loaded.Parity().Replace());
    EXPECT_EQ(loaded.Parity().ReplaceChar(), 44);
    EXPECT_EQ(loaded.Buffer().InputSize(), 1024);   // odd sizes are lowered
    EXPECT_EQ(loaded.Buffer().OutputSize(), 1024);  // no number: the present size stays
}

TEST_F(Persistence, RegistryLoadHasNoDefaults)
{
    TRegistry key(KeyPath());
    key.WriteString("BaudRate", "115200");
    Customise(loaded);
    loaded.SetStoredGroups({sgBasic, sgOthers, sgParity});
    loaded.LoadFromRegistryKey(key);
    EXPECT_EQ(loaded.Port(), "");
    EXPECT_EQ(loaded.BaudRate(), br115200);
    EXPECT_EQ(loaded.CustomBaudRate(), 31250);  // not read: BaudRate is no longer brCustom
    EXPECT_EQ(loaded.StopBits(), sbOneStopBit);
    EXPECT_EQ(loaded.EventChar(), 0);
    EXPECT_FALSE(loaded.Parity().Check());
    // The empty summary reads as fcCustom, which leaves the fields alone.
    EXPECT_EQ(loaded.FlowControl().ControlRTS(), rtsToggle);
    EXPECT_TRUE(loaded.FlowControl().OutCTSFlow());
}

TEST_F(Persistence, RegistryFailurePartWayKeepsWhatWasSetBeforeIt)
{
    TRegistry key(KeyPath());
    key.WriteString("Port", "COM7");
    key.WriteString("BaudRate", "Custom");
    key.WriteString("StopBits", "2");
    loaded.SetCustomBaudRate(1234);
    EXPECT_EQ(MessageOf([&] { loaded.LoadFromRegistryKey(key); }), "Failed to get data for 'CustomBaudRate'");
    EXPECT_EQ(loaded.Port(), "COM7");
    EXPECT_EQ(loaded.BaudRate(), brCustom);
    EXPECT_EQ(loaded.CustomBaudRate(), 1234);
    EXPECT_EQ(loaded.StopBits(), sbOneStopBit);

    key.WriteString("CustomBaudRate", "31250");
    EXPECT_EQ(MessageOf([&] { loaded.LoadFromRegistryKey(key); }), "Invalid data type for 'CustomBaudRate'");

    TRegistry other(dir.Path() / "other.reg");
    other.WriteString("Port", "COM8");
    other.WriteInteger("BaudRate", 600);
    EXPECT_EQ(MessageOf([&] { loaded.LoadFromRegistryKey(other); }), "Invalid data type for 'BaudRate'");
    EXPECT_EQ(loaded.Port(), "COM8");
    EXPECT_EQ(loaded.BaudRate(), brCustom);
}

TEST_F(Persistence, SummaryIsReadFirstAndTheFlowValuesHaveTheLastWord)
{
    TRegistry key(KeyPath());
    key.WriteString("FlowControl", "Hardware");
    key.WriteString("FlowControl.ControlRTS", "Enable");
    key.WriteString("FlowControl.OutCTSFlow", "No");
    key.WriteString("FlowControl.XonXoffIn", "Yes");
    loaded.LoadFromRegistryKey(key);
    EXPECT_EQ(loaded.FlowControl().ControlRTS(), rtsHandshake);
    EXPECT_TRUE(loaded.FlowControl().OutCTSFlow());
    EXPECT_FALSE(loaded.FlowControl().XonXoffIn());

    loaded.SetStoredGroups({sgBasic, sgFlowControl});
    loaded.LoadFromRegistryKey(key);
    EXPECT_EQ(loaded.FlowControl().ControlRTS(), rtsEnable);
    EXPECT_FALSE(loaded.FlowControl().OutCTSFlow());
    EXPECT_TRUE(loaded.FlowControl().XonXoffIn());
    EXPECT_EQ(loaded.FlowControl().FlowControl(), fcCustom);
}

TEST_F(Persistence, AccessFailuresReachTheCaller)
{
    std::filesystem::create_directory(dir.Path() / "folder");
    TIniFile ini(dir.Path() / "folder");
    EXPECT_THROW(port.SaveToIniSection(ini), EIniFileException);
    EXPECT_THROW(loaded.LoadFromIniSection(ini), EIniFileException);
    TRegistry key(dir.Path() / "folder");
    EXPECT_THROW(port.SaveToRegistryKey(key), ERegistryException);
    EXPECT_THROW(loaded.LoadFromRegistryKey(key), ERegistryException);
    TComPort untouched(nullptr, &device);
    EXPECT_EQ(AllSettings(loaded), AllSettings(untouched));
}

namespace {

// An open port on the fake device, with no event thread to drive.
class OpenPersistence : public Persistence {
protected:
    void SetUp() override
    {
        port.SetEvents({});
        port.SetSyncMethod(smNone);
        port.Open();
        device.ClearCalls();
    }
};

} // namespace

TEST_F(OpenPersistence, LoadAppliesEachChangeToTheDeviceAtOnce)
{
    TRegistry key(KeyPath());
    key.WriteString("Port", "COM1");
    key.WriteString("BaudRate", "600");
    key.WriteString("StopBits", "2");
    key.WriteString("DataBits", "8");
    key.WriteString("Parity", "Even");
    key.WriteString("FlowControl", "None");
    key.WriteString("FlowControl.ControlRTS", "Handshake");
    key.WriteString("FlowControl.OutCTSFlow", "Yes");
    key.WriteInteger("Timeouts.WriteTotalConstant", 250);
    port.SetStoredGroups(AllGroups());
    EXPECT_EQ(MessageOf([&] { port.LoadFromRegistryKey(key); }),
              "Failed to get data for 'Buffer.OutputSize'");
    // Unchanged Port and DataBits cost nothing; BaudRate, StopBits, Parity and the
    // summary re-send the control block once each; the missing buffer size ends the
    // load before the time-outs and the flow group.
    EXPECT_EQ(device.Count("CreateFile"), 0);
    EXPECT_EQ(device.Count("SetCommState"), 4);
    EXPECT_EQ(device.LastDcb().BaudRate, 600u);
    EXPECT_EQ(device.LastDcb().StopBits, 2);
    EXPECT_EQ(device.LastDcb().Parity, 2);
    EXPECT_EQ(device.Count("SetCommTimeouts"), 0);

    key.WriteInteger("Buffer.OutputSize", 1024);
    key.WriteInteger("Buffer.InputSize", 1024);
    key.WriteInteger("Timeouts.ReadInterval", -1);
    key.WriteInteger("Timeouts.ReadTotalConstant", 0);
    key.WriteInteger("Timeouts.ReadTotalMultiplier", 0);
    key.WriteInteger("Timeouts.WriteTotalMultiplier", 100);
    device.ClearCalls();
    port.LoadFromRegistryKey(key);
    EXPECT_EQ(device.Count("SetupComm"), 0);
    EXPECT_EQ(device.Count("SetCommTimeouts"), 1);
    EXPECT_EQ(device.LastTimeouts().WriteTotalTimeoutConstant, 250u);
    EXPECT_EQ(device.LastDcb().fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(device.LastDcb().fOutxCtsFlow, 1u);
    EXPECT_TRUE(port.Connected());
}

TEST_F(OpenPersistence, DeviceFailurePartWayKeepsTheValuesBeforeIt)
{
    dir.Write("ports.ini", "[RS232]\nBaudRate=600\nStopBits=2\nParity=Odd\n");
    TIniFile ini(IniPath());
    device.Fail("SetCommState", 22, FakeComDevice::Always, 1);
    try {
        port.LoadFromIniSection(ini);
        FAIL() << "the load went on after the device refused";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), CError_SetStateFailed);
        EXPECT_EQ(e.WinCode(), 22);
    }
    EXPECT_EQ(port.BaudRate(), br600);
    EXPECT_EQ(device.LastDcb().BaudRate, 600u);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(device.Count("SetCommState"), 2);
}

namespace {

// A port of the system device layer open on a pseudo-terminal.
class PtyPersistence : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.SetName("RS232");
        port.SetEvents({});
        port.SetSyncMethod(smNone);
        port.SetPort(first.Path());
        port.Open();
    }

    PtyPair first;
    PtyPair second;
    TempDir dir;
    TComPort port;
    TIniFile ini{dir.Path() / "ports.ini"};
};

} // namespace

TEST_F(PtyPersistence, LoadedSettingsReachTheLineAndANewPortReopensThere)
{
    ini.WriteString("RS232", "BaudRate", "19200");
    ini.WriteString("RS232", "StopBits", "2");
    ini.WriteString("RS232", "Parity", "Odd");
    port.LoadFromIniSection(ini);
    // A pseudo-terminal forces CS8 and clears PARENB; it keeps PARODD and CSTOPB.
    const PtyLine line = first.Line();
    EXPECT_EQ(line.OutputSpeed, 19200u);
    EXPECT_EQ(line.Attributes.c_cflag & (CSTOPB | PARODD | CMSPAR), tcflag_t(CSTOPB | PARODD));

    ini.WriteString("RS232", "Port", second.Path());
    ini.WriteString("RS232", "BaudRate", "Custom");
    ini.WriteInteger("RS232", "CustomBaudRate", 31250);
    port.LoadFromIniSection(ini);
    ASSERT_TRUE(port.Connected());
    EXPECT_EQ(second.Line().OutputSpeed, 31250u);
    EXPECT_EQ(second.Line().Attributes.c_cflag & (CSTOPB | PARODD), tcflag_t(CSTOPB | PARODD));
    EXPECT_EQ(port.Write("Z", 1), 1);
    EXPECT_EQ(second.Receive(1, std::chrono::milliseconds(500)), "Z");
    // The first line was let go: another port can have it now.
    TComPort other;
    other.SetEvents({});
    other.SetPort(first.Path());
    EXPECT_NO_THROW(other.Open());
}
