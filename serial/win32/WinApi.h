// The Windows calls the device layer makes, behind types of fixed width.
//
// <windows.h> defines DWORD as a 32-bit `unsigned long` and, as macros, most names of
// the component's own Windows-shaped declarations, so the two cannot meet in one source
// file. Only WinApi.cpp and PortList.cpp include <windows.h>; structures are passed as
// the component's own, whose layout WinApi.cpp checks against the system's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winapi {

using Handle = std::intptr_t;
using U32 = std::uint32_t;

// Windows' codes that the device layer tells apart.
constexpr U32 kErrorTimeout = 1460;
constexpr U32 kErrorOperationAborted = 995;
constexpr U32 kErrorIoIncomplete = 996;
constexpr U32 kErrorNotFound = 1168;

U32 LastError();
void SetLastError(U32 code);

// "\\.\COMn" opened for overlapped transfers; -1 on failure.
Handle OpenPort(const std::string& name);
bool CloseHandle(Handle handle);

bool SetupComm(Handle device, U32 inQueue, U32 outQueue);
bool SetCommState(Handle device, const void* dcb);
bool SetCommTimeouts(Handle device, const void* timeouts);
bool WriteFile(Handle device, const void* buffer, U32 count, U32* done, void* overlapped);
bool ReadFile(Handle device, void* buffer, U32 count, U32* done, void* overlapped);
bool GetOverlappedResult(Handle device, void* overlapped, U32* done, bool wait);
bool CancelIoEx(Handle device, void* overlapped);
bool SetCommMask(Handle device, U32 mask);
bool WaitCommEvent(Handle device, U32* mask, void* overlapped);
bool ClearCommError(Handle device, U32* errors, void* status);
bool GetCommModemStatus(Handle device, U32* status);
bool PurgeComm(Handle device, U32 flags);

Handle NewEvent(bool manualReset, bool initialState);  // 0 on failure
bool SetEvent(Handle event);
bool ResetEvent(Handle event);
U32 WaitForMultipleObjects(U32 count, const Handle* handles, bool waitAll, U32 milliseconds);

// -15 (idle), -2 .. 2, 15 (time-critical), as SetThreadPriority takes them.
bool SetCurrentThreadPriority(int priority);
int CurrentThreadPriority();

// The names of the serial ports the system lists ("COM3"), sorted.
std::vector<std::string> SerialPortNames();

} // namespace winapi
