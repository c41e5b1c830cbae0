// The handling steps of line events and the hooks through which handlers are called.
#include "serial/CPort.h"

#include <vector>

void TCustomComPort::NotifyAfterClose() { onAfterClose_(this); }
void TCustomComPort::NotifyAfterOpen() { onAfterOpen_(this); }
void TCustomComPort::NotifyBeforeClose() { onBeforeClose_(this); }
void TCustomComPort::NotifyBeforeOpen() { onBeforeOpen_(this); }
void TCustomComPort::NotifyRxChar(std::int32_t count) { onRxChar_(this, count); }
void TCustomComPort::NotifyRxBuf(const void* buffer, std::int32_t count) { onRxBuf_(this, buffer, count); }
void TCustomComPort::NotifyTxEmpty() { onTxEmpty_(this); }
void TCustomComPort::NotifyBreak() { onBreak_(this); }
void TCustomComPort::NotifyRing() { onRing_(this); }
void TCustomComPort::NotifyRxFlag() { onRxFlag_(this); }
void TCustomComPort::NotifyCTSChange(bool onOff) { onCTSChange_(this, onOff); }
void TCustomComPort::NotifyDSRChange(bool onOff) { onDSRChange_(this, onOff); }
void TCustomComPort::NotifyError(TComErrors errors) { onError_(this, errors); }
void TCustomComPort::NotifyRLSDChange(bool onOff) { onRLSDChange_(this, onOff); }
void TCustomComPort::NotifyRx80Full() { onRx80Full_(this); }

void TCustomComPort::HandleError()
{
    const TComErrors errors = TakeLineErrors();
    if (!errors.Empty())
        NotifyError(errors);
}

void TCustomComPort::HandleRxChar()
{
    std::int32_t count = ReceivedCount();
    if (count > 0 && !ReportRxCount()) {
        std::vector<char> buffer(static_cast<std::size_t>(count));
        Read(buffer.data(), count);
        NotifyRxBuf(buffer.data(), count);
        count = 0;
    }
    if (count > 0)
        NotifyRxChar(count);
}

void TCustomComPort::HandleTxEmpty() { NotifyTxEmpty(); }
void TCustomComPort::HandleBreak() { NotifyBreak(); }
void TCustomComPort::HandleRing() { NotifyRing(); }
void TCustomComPort::HandleCTSChange() { NotifyCTSChange(LineSignals().Contains(lsCTS)); }
void TCustomComPort::HandleDSRChange() { NotifyDSRChange(LineSignals().Contains(lsDSR)); }
void TCustomComPort::HandleRxFlag() { NotifyRxFlag(); }
void TCustomComPort::HandleRLSDChange() { NotifyRLSDChange(LineSignals().Contains(lsRLSD)); }
void TCustomComPort::HandleRx80Full() { NotifyRx80Full(); }
