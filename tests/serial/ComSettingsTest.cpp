// The settings of a port: text forms, the records they build, the flow-control
// summary, and saving to and loading from registry keys and INI files.
#include "serial/ComValueForms.h"
#include "runtime/IniFile.h"
#include "runtime/RegistryKey.h"
#include "SerialTest.h"
#include "Platform.h"
#include "TempDir.h"
#include <gmock/gmock.h>
#include <cerrno>
#include <sstream>

using namespace comm;

namespace {

TStoredGroups AllGroups() { return {sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers}; }

// Every saved setting away from its initial value, as a registry key holds it.
const char* const kCustomised =
    "REGEDIT4\n\n"
    "\"Port\"=\"/dev/ttyUSB3\"\n\"BaudRate\"=\"Custom\"\n\"CustomBaudRate\"=dword:00007a12\n"
    "\"StopBits\"=\"2\"\n\"DataBits\"=\"7\"\n\"Parity\"=\"Mark\"\n\"FlowControl\"=\"Custom\"\n"
    "\"EventChar\"=\"#13\"\n\"DiscardNull\"=\"Yes\"\n"
    "\"Parity.Check\"=\"Yes\"\n\"Parity.Replace\"=\"Yes\"\n\"Parity.ReplaceChar\"=\"?\"\n"
    "\"Buffer.OutputSize\"=dword:00001000\n\"Buffer.InputSize\"=dword:00000800\n"
    "\"Timeouts.ReadInterval\"=dword:00000005\n\"Timeouts.ReadTotalConstant\"=dword:00000006\n"
    "\"Timeouts.ReadTotalMultiplier\"=dword:00000007\n\"Timeouts.WriteTotalConstant\"=dword:00000008\n"
    "\"Timeouts.WriteTotalMultiplier\"=dword:00000009\n"
    "\"FlowControl.ControlRTS\"=\"Toggle\"\n\"FlowControl.ControlDTR\"=\"Handshake\"\n"
    "\"FlowControl.DSRSensitivity\"=\"Yes\"\n\"FlowControl.OutCTSFlow\"=\"Yes\"\n"
    "\"FlowControl.OutDSRFlow\"=\"Yes\"\n\"FlowControl.TxContinueOnXoff\"=\"Yes\"\n"
    "\"FlowControl.XonXoffIn\"=\"Yes\"\n\"FlowControl.XonXoffOut\"=\"No\"\n"
    "\"FlowControl.XoffChar\"=\"#147\"\n\"FlowControl.XonChar\"=\"X\"\n";

// Every saved setting: each field of the records built from them, in declaration order
// (the control block's length and rate, flags, limits and framing, characters; the
// time-outs), and what no record holds.
std::string Snapshot(const TCustomComPort& port)
{
    const DCB d = port.BuildControlBlock();
    const COMMTIMEOUTS t = port.BuildTimeouts();
    std::ostringstream s;
    s << d.DCBlength << ' ' << d.BaudRate << " | " << d.fBinary << d.fParity << d.fOutxCtsFlow
      << d.fOutxDsrFlow << d.fDtrControl << d.fDsrSensitivity << d.fTXContinueOnXoff << d.fOutX << d.fInX
      << d.fErrorChar << d.fNull << d.fRtsControl << d.fAbortOnError << ' ' << d.fDummy2 << " | "
      << d.wReserved << ' ' << d.XonLim << ' ' << d.XoffLim << ' ' << int(d.ByteSize) << int(d.Parity)
      << int(d.StopBits) << " |";
    for (char c : {d.XonChar, d.XoffChar, d.ErrorChar, d.EofChar, d.EvtChar})
        s << ' ' << int(BYTE(c));
    s << ' ' << d.wReserved1 << " | ";
    for (DWORD field : {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                        t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant})
        s << field << ' ';
    s << "| " << port.Port() << ' ' << port.Buffer().OutputSize() << ' ' << port.Parity().Replace()
      << int(port.Parity().ReplaceChar()) << ' ' << int(port.BaudRate());
    return s.str();
}

void Customise(TCustomComPort& port)
{
    TempDir scratch;
    TRegistry key(scratch.Write("customised.reg", kCustomised));
    const TStoredGroups kept = port.StoredGroups();
    port.SetStoredGroups(AllGroups());
    port.LoadFromRegistryKey(key);
    port.SetStoredGroups(kept);
}

class Persistence : public ::testing::Test {
protected:
    Persistence() { port.SetName("RS232"); loaded.SetName("RS232"); }
    std::filesystem::path IniPath() const { return dir.Path() / "ports.ini"; }

    TempDir dir;
    TComPort port, loaded;
};

} // namespace

TEST(ComSettingsText, TextFormsParseInUpperCaseAndFallBack)
{
    for (int rate = brCustom; rate <= br256000; ++rate) {  // a rate is saved as its bit/s
        EXPECT_EQ(ParseBaudRate(BaudRateText(TBaudRate(rate))), rate);
        EXPECT_EQ(BaudRateText(TBaudRate(rate)), rate ? std::to_string(BaudRateValue(TBaudRate(rate))) : "Custom");
    }
    EXPECT_EQ(std::make_tuple(ParseBaudRate("custom"), ParseBaudRate("600 "), ParseStopBits("1.5"),
                              ParseStopBits("1,5"), ParseDataBits("5"), ParseDataBits("9")),
              std::make_tuple(brCustom, br9600, sbOne5StopBits, sbOneStopBit, dbFive, dbEight));
    EXPECT_EQ(std::make_tuple(ParseParity("sPaCe"), ParseParity("none\n"), ParseFlowControl("HARDWARE"),
                              ParseFlowControl("xyz")),
              std::make_tuple(prSpace, prNone, fcHardware, fcCustom));
    const std::pair<std::uint8_t, const char*> written[] = {
        {'\r', "#13"}, {' ', "#32"}, {'!', "!"}, {'#', "#"}, {'\x7f', "\x7f"}, {0x80, "#128"}, {255, "#255"}};
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

    EXPECT_EQ(BoolText(true) + BoolText(false), "YesNo");
    for (auto [text, value] :
         {std::pair{"yEs", true}, {"No", false}, {"1", false}, {"True", false}, {"yes ", false}})
        EXPECT_EQ(ParseBool(text), value) << text;
    const char* names[] = {"Disable", "Enable", "Handshake", "Toggle"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RTSText(TRTSFlowControl(i)) + "," + DTRText(TDTRFlowControl(i % 3)),
                  names[i] + std::string(",") + names[i % 3]);
        EXPECT_EQ(std::make_pair(int(ParseRTS(names[i])), int(ParseDTR(names[i]))), std::make_pair(i, i % 3));
    }
    EXPECT_EQ(std::tuple(ParseDTR("handSHAKE"), ParseRTS("Enable ")), std::tuple(dtrHandshake, rtsDisable));
}

TEST(ComSettings, RecordsCarryEverySetting)
{
    TComPort port;
    EXPECT_EQ(Snapshot(port), "28 9600 | 1000000000000 0 | 0 256 256 800 | 17 19 0 0 0 0 | "
                              "4294967295 0 0 100 1000 | COM1 1024 00 7");
    EXPECT_EQ(std::make_tuple(port.Events(), port.SyncMethod(), port.StoredGroups()),
              std::make_tuple(AllComEvents, smThreadSync, TStoredGroups{sgBasic}));
    Customise(port);
    port.SetDataBits(dbFive);
    port.SetStopBits(sbOne5StopBits);
    port.Parity().SetCheck(false);  // Replace without Check: no error character
    port.SetEventChar('\n');
    EXPECT_EQ(Snapshot(port), "28 31250 | 1011211010130 0 | 0 512 512 531 | 88 147 0 0 10 0 | 5 7 6 9 8 | "
                              "/dev/ttyUSB3 4096 163 0");
    port.Parity().SetCheck(true);
    EXPECT_EQ(Snapshot(port), "28 31250 | 1111211011130 0 | 0 512 512 531 | 88 147 63 0 10 0 | 5 7 6 9 8 | "
                              "/dev/ttyUSB3 4096 163 0");
}

TEST(ComSettings, FlowControlSummaryFollowsItsFourFields)
{
    TComPort port;
    TComFlowControl& flow = port.FlowControl();
    flow.SetControlDTR(dtrEnable);
    flow.SetOutDSRFlow(true);  // neither plays a part
    auto fields = [&] {
        return std::make_tuple(flow.ControlRTS(), flow.OutCTSFlow(), flow.XonXoffIn(), flow.XonXoffOut());
    };
    const std::pair<TFlowControl, std::tuple<TRTSFlowControl, bool, bool, bool>> schemes[] = {
        {fcHardware, {rtsHandshake, true, false, false}}, {fcSoftware, {rtsDisable, false, true, true}},
        {fcNone, {rtsDisable, false, false, false}}};
    for (const auto& [scheme, set] : schemes) {
        flow.SetFlowControl(scheme);
        EXPECT_EQ(std::tuple(fields(), flow.FlowControl()), std::tuple(set, scheme));
    }
    EXPECT_EQ(std::make_pair(flow.ControlDTR(), flow.OutDSRFlow()), std::make_pair(dtrEnable, true));
    const std::function<void()> mixed[] = {
        [&] { flow.SetXonXoffIn(true); },  // one direction only
        [&] {
            flow.SetFlowControl(fcHardware);
            flow.SetXonXoffOut(true);
        },
        [&] {
            flow.SetFlowControl(fcHardware);
            flow.SetControlRTS(rtsToggle);
        }};
    for (const auto& mix : mixed) {
        mix();
        EXPECT_EQ(flow.FlowControl(), fcCustom);
    }
    flow.SetFlowControl(fcCustom);  // leaves the fields as they are
    EXPECT_EQ(fields(), std::make_tuple(rtsToggle, true, false, false));
}

TEST(ComSettings, QueueSizesAreRoundedDownToEvenAndWholeObjectsCopiedWithoutTheirPort)
{
    TComBuffer buffer;
    for (auto [set, kept] : {std::pair{1025, 1024}, {1024, 1024}, {-3, -3}, {1, 0}, {0, 0}, {7, 6}}) {
        buffer.SetInputSize(set);
        buffer.SetOutputSize(set);
        EXPECT_EQ(std::make_pair(buffer.InputSize(), buffer.OutputSize()), std::make_pair(kept, kept)) << set;
    }
    TComPort source, target, plain;
    Customise(source);
    Customise(target);
    for (TComPort* from : {&plain, &source}) {
        target.SetParity(from->Parity());
        target.SetFlowControl(from->FlowControl());
        target.SetTimeouts(from->Timeouts());
        target.SetBuffer(from->Buffer());
        EXPECT_EQ(Snapshot(target) == Snapshot(source), from == &source);
    }
    EXPECT_EQ(target.Parity().ComPort(), &target);
    EXPECT_THAT([&] { target.Timeouts().Assign(source.Buffer()); },
                testing::ThrowsMessage<EConvertError>("Cannot assign a TComBuffer to a TComTimeouts"));
}

TEST_F(Persistence, EachSelectedGroupIsWrittenInItsOrderAndForm)
{
    TIniFile ini(IniPath());
    port.SaveToIniSection(ini);
    EXPECT_EQ(ReadFileBytes(IniPath()), IniLines("[RS232]\nPort = COM1\nBaudRate = 9600\nStopBits = 1\nDataBits = 8\n"
                                                 "Parity = None\nFlowControl = None\n"));
    std::filesystem::remove(IniPath());
    Customise(port);
    TRegistry key(dir.Path() / "port.reg");
    port.SetStoredGroups(AllGroups());
    port.SaveToRegistryKey(key);
    EXPECT_EQ(ReadFileBytes(key.CurrentKey()), kCustomised);
    port.SetStoredGroups({sgTimeouts});
    port.SaveToIniSection(ini);
    EXPECT_EQ(ReadFileBytes(IniPath()), IniLines("[RS232]\nTimeouts.ReadInterval = 5\nTimeouts.ReadTotalConstant = 6\n"
                                                 "Timeouts.ReadTotalMultiplier = 7\nTimeouts.WriteTotalConstant = 8\n"
                                                 "Timeouts.WriteTotalMultiplier = 9\n"));
}

TEST_F(Persistence, IniLoadKeepsWhatIsMissingOrNoNumber)
{
    TIniFile ini(dir.Write("ports.ini", "[RS232]\nBaudRate=custom\nEventChar=#300\nBuffer.InputSize=1025\n"
                                        "Buffer.OutputSize=lots\n[Other]\nStopBits=2\n"));
    loaded.SetStoredGroups({sgBasic, sgOthers, sgBuffer});
    loaded.SetStopBits(sbOne5StopBits);
    loaded.SetCustomBaudRate(31250);
    loaded.Buffer().SetOutputSize(64);
    loaded.LoadFromIniSection(ini);
    // A missing CustomBaudRate is 9600; other missing values stay, and so does a size that is no number.
    EXPECT_EQ(std::make_tuple(loaded.Port(), loaded.BaudRate(), loaded.CustomBaudRate(), loaded.StopBits(),
                              int(loaded.EventChar()), loaded.Buffer().InputSize(), loaded.Buffer().OutputSize()),
              std::make_tuple("COM1", brCustom, 9600, sbOne5StopBits, 44, 1024, 64));
}

TEST_F(Persistence, RegistryLoadHasNoDefaultsAndStopsAtTheFirstFailure)
{
    TRegistry key(dir.Write("port.reg", "REGEDIT4\n\n\"BaudRate\"=\"115200\"\n\"FlowControl\"=\"Hardware\"\n"
                                        "\"FlowControl.ControlRTS\"=\"Enable\"\n"
                                        "\"FlowControl.XonXoffIn\"=\"Yes\"\n"));
    Customise(loaded);
    loaded.SetStoredGroups({sgBasic, sgOthers, sgParity});
    loaded.LoadFromRegistryKey(key);
    // Missing texts read as empty; CustomBaudRate is not read once BaudRate is no longer brCustom.
    EXPECT_EQ(std::tuple(loaded.Port(), loaded.BaudRate(), loaded.CustomBaudRate(), loaded.StopBits(),
                         int(loaded.EventChar()), loaded.Parity().Check(), loaded.FlowControl().FlowControl()),
              std::tuple("", br115200, 31250, sbOneStopBit, 0, false, fcHardware));
    // The summary is read first, then the flow values have the last word.
    loaded.SetStoredGroups({sgBasic, sgFlowControl});
    loaded.LoadFromRegistryKey(key);
    const TComFlowControl& flow = loaded.FlowControl();
    EXPECT_EQ(std::make_tuple(flow.ControlRTS(), flow.OutCTSFlow(), flow.XonXoffIn()),
              std::make_tuple(rtsEnable, false, true));

    key.WriteString("Port", "COM7");
    key.WriteString("BaudRate", "Custom");
    key.WriteString("StopBits", "2");
    EXPECT_THAT([&] { loaded.LoadFromRegistryKey(key); },
                testing::ThrowsMessage<ERegistryException>("Failed to get data for 'CustomBaudRate'"));
    EXPECT_EQ(std::make_tuple(loaded.Port(), loaded.BaudRate(), loaded.StopBits()),
              std::make_tuple("COM7", brCustom, sbOneStopBit));
}
