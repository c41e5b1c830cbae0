#include "serial/CPort.h"

// Saving and loading settings come with the registry and initialisation-file access
// objects; until then these refuse rather than pretend to succeed.

namespace {

[[noreturn]] void NotAvailable(const char* what)
{
    throw EInvalidOperation(std::string(what) + " is not available yet");
}

} // namespace

void TCustomComPort::SaveToRegistryKey(TRegistry&) { NotAvailable("SaveToRegistryKey"); }
void TCustomComPort::SaveToIniSection(TIniFile&) { NotAvailable("SaveToIniSection"); }
void TCustomComPort::LoadFromRegistryKey(TRegistry&) { NotAvailable("LoadFromRegistryKey"); }
void TCustomComPort::LoadFromIniSection(TIniFile&) { NotAvailable("LoadFromIniSection"); }
