// Open, close and the application of the settings to the device.
#include "serial/CPort.h"

#include "serial/ComThread.h"

namespace {

[[noreturn]] void NotAvailable(const char* what)
{
    throw EInvalidOperation(std::string(what) + " is not available yet");
}

} // namespace

void TCustomComPort::Open() { NotAvailable("Open"); }
void TCustomComPort::Close() {}
void TCustomComPort::OpenDevice() { NotAvailable("OpenDevice"); }
void TCustomComPort::CloseDevice() { NotAvailable("CloseDevice"); }
void TCustomComPort::ApplyAllSettings() { NotAvailable("ApplyAllSettings"); }
void TCustomComPort::FinishLoading() { TComponent::FinishLoading(); }
void TCustomComPort::ApplyControlBlock() {}
void TCustomComPort::ApplyTimeoutSettings() {}
void TCustomComPort::ApplyBufferSizes() {}
DCB TCustomComPort::BuildControlBlock() const { return DCB{}; }
COMMTIMEOUTS TCustomComPort::BuildTimeouts() const { return COMMTIMEOUTS{}; }
