#include "serial/ComStoredValues.h"

#include "serial/CPort.h"
#include "serial/ComValueForms.h"

namespace {

using TText = const std::string&;

void VisitBasic(TCustomComPort& port, TStoredValueVisitor& v)
{
    v.Text("Port", port.Port(), [&](TText t) { port.SetPort(t); });
    v.Text("BaudRate", BaudRateText(port.BaudRate()), [&](TText t) { port.SetBaudRate(ParseBaudRate(t)); });
    if (port.BaudRate() == brCustom)
        v.Integer("CustomBaudRate", port.CustomBaudRate(), 9600,
                  [&](std::int32_t n) { port.SetCustomBaudRate(n); });
    v.Text("StopBits", StopBitsText(port.StopBits()), [&](TText t) { port.SetStopBits(ParseStopBits(t)); });
    v.Text("DataBits", DataBitsText(port.DataBits()), [&](TText t) { port.SetDataBits(ParseDataBits(t)); });
    TComParity& parity = port.Parity();
    v.Text("Parity", ParityText(parity.Bits()), [&](TText t) { parity.SetBits(ParseParity(t)); });
    TComFlowControl& flow = port.FlowControl();
    v.Text("FlowControl", FlowControlText(flow.FlowControl()),
           [&](TText t) { flow.SetFlowControl(ParseFlowControl(t)); });
}

void VisitOthers(TCustomComPort& port, TStoredValueVisitor& v)
{
    v.Text("EventChar", CharText(port.EventChar()), [&](TText t) { port.SetEventChar(ParseChar(t)); });
    v.Text("DiscardNull", BoolText(port.DiscardNull()), [&](TText t) { port.SetDiscardNull(ParseBool(t)); });
}

void VisitParity(TComParity& parity, TStoredValueVisitor& v)
{
    v.Text("Parity.Check", BoolText(parity.Check()), [&](TText t) { parity.SetCheck(ParseBool(t)); });
    v.Text("Parity.Replace", BoolText(parity.Replace()), [&](TText t) { parity.SetReplace(ParseBool(t)); });
    v.Text("Parity.ReplaceChar", CharText(parity.ReplaceChar()),
           [&](TText t) { parity.SetReplaceChar(ParseChar(t)); });
}

void VisitBuffer(TComBuffer& buffer, TStoredValueVisitor& v)
{
    v.Integer("Buffer.OutputSize", buffer.OutputSize(), buffer.OutputSize(),
              [&](std::int32_t n) { buffer.SetOutputSize(n); });
    v.Integer("Buffer.InputSize", buffer.InputSize(), buffer.InputSize(),
              [&](std::int32_t n) { buffer.SetInputSize(n); });
}

// One time-out field: its name, getter and setter.
void VisitTimeout(TComTimeouts& t, TStoredValueVisitor& v, const char* name,
                  std::int32_t (TComTimeouts::*get)() const, void (TComTimeouts::*set)(std::int32_t))
{
    const std::int32_t present = (t.*get)();
    v.Integer(name, present, present, [&](std::int32_t n) { (t.*set)(n); });
}

void VisitTimeouts(TComTimeouts& t, TStoredValueVisitor& v)
{
    using T = TComTimeouts;
    VisitTimeout(t, v, "Timeouts.ReadInterval", &T::ReadInterval, &T::SetReadInterval);
    VisitTimeout(t, v, "Timeouts.ReadTotalConstant", &T::ReadTotalConstant, &T::SetReadTotalConstant);
    VisitTimeout(t, v, "Timeouts.ReadTotalMultiplier", &T::ReadTotalMultiplier, &T::SetReadTotalMultiplier);
    VisitTimeout(t, v, "Timeouts.WriteTotalConstant", &T::WriteTotalConstant, &T::SetWriteTotalConstant);
    VisitTimeout(t, v, "Timeouts.WriteTotalMultiplier", &T::WriteTotalMultiplier, &T::SetWriteTotalMultiplier);
}

// One flag of the flow control: its name, getter and setter.
void VisitFlag(TComFlowControl& f, TStoredValueVisitor& v, const char* name,
               bool (TComFlowControl::*get)() const, void (TComFlowControl::*set)(bool))
{
    v.Text(name, BoolText((f.*get)()), [&](TText t) { (f.*set)(ParseBool(t)); });
}

void VisitFlowControl(TComFlowControl& f, TStoredValueVisitor& v)
{
    using F = TComFlowControl;
    v.Text("FlowControl.ControlRTS", RTSText(f.ControlRTS()), [&](TText t) { f.SetControlRTS(ParseRTS(t)); });
    v.Text("FlowControl.ControlDTR", DTRText(f.ControlDTR()), [&](TText t) { f.SetControlDTR(ParseDTR(t)); });
    VisitFlag(f, v, "FlowControl.DSRSensitivity", &F::DSRSensitivity, &F::SetDSRSensitivity);
    VisitFlag(f, v, "FlowControl.OutCTSFlow", &F::OutCTSFlow, &F::SetOutCTSFlow);
    VisitFlag(f, v, "FlowControl.OutDSRFlow", &F::OutDSRFlow, &F::SetOutDSRFlow);
    VisitFlag(f, v, "FlowControl.TxContinueOnXoff", &F::TxContinueOnXoff, &F::SetTxContinueOnXoff);
    VisitFlag(f, v, "FlowControl.XonXoffIn", &F::XonXoffIn, &F::SetXonXoffIn);
    VisitFlag(f, v, "FlowControl.XonXoffOut", &F::XonXoffOut, &F::SetXonXoffOut);
    v.Text("FlowControl.XoffChar", CharText(f.XoffChar()), [&](TText t) { f.SetXoffChar(ParseChar(t)); });
    v.Text("FlowControl.XonChar", CharText(f.XonChar()), [&](TText t) { f.SetXonChar(ParseChar(t)); });
}

} // namespace

void VisitStoredValues(TCustomComPort& port, TStoredValueVisitor& visitor)
{
    const TStoredGroups groups = port.StoredGroups();
    if (groups.Contains(sgBasic))
        VisitBasic(port, visitor);
    if (groups.Contains(sgOthers))
        VisitOthers(port, visitor);
    if (groups.Contains(sgParity))
        VisitParity(port.Parity(), visitor);
    if (groups.Contains(sgBuffer))
        VisitBuffer(port.Buffer(), visitor);
    if (groups.Contains(sgTimeouts))
        VisitTimeouts(port.Timeouts(), visitor);
    if (groups.Contains(sgFlowControl))
        VisitFlowControl(port.FlowControl(), visitor);
}
