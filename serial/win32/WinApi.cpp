#include "serial/win32/WinApi.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>

// The component's DCB, COMMTIMEOUTS, COMSTAT and OVERLAPPED are passed as they are:
// they must be laid out as the system's.
static_assert(sizeof(::DCB) == 28 && offsetof(::DCB, XonLim) == 14 && offsetof(::DCB, EvtChar) == 25);
static_assert(sizeof(::COMMTIMEOUTS) == 20 && sizeof(::COMSTAT) == 12 && offsetof(::COMSTAT, cbInQue) == 4);
static_assert(sizeof(::OVERLAPPED) == 32 && offsetof(::OVERLAPPED, hEvent) == 24);
static_assert(sizeof(DWORD) == sizeof(winapi::U32) && sizeof(HANDLE) == sizeof(winapi::Handle));

namespace winapi {
namespace {

HANDLE H(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle Of(HANDLE handle) { return reinterpret_cast<Handle>(handle); }
LPDWORD D(U32* value) { return reinterpret_cast<LPDWORD>(value); }
LPOVERLAPPED O(void* overlapped) { return static_cast<LPOVERLAPPED>(overlapped); }

} // namespace

U32 LastError() { return ::GetLastError(); }
void SetLastError(U32 code) { ::SetLastError(code); }

Handle OpenPort(const std::string& name)
{
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : Of(h);
}

bool CloseHandle(Handle handle) { return ::CloseHandle(H(handle)); }

bool SetupComm(Handle device, U32 inQueue, U32 outQueue) { return ::SetupComm(H(device), inQueue, outQueue); }

bool SetCommState(Handle device, const void* dcb)
{
    ::DCB copy = *static_cast<const ::DCB*>(dcb);
    copy.DCBlength = sizeof copy;
    return ::SetCommState(H(device), &copy);
}

bool SetCommTimeouts(Handle device, const void* timeouts)
{
    ::COMMTIMEOUTS copy = *static_cast<const ::COMMTIMEOUTS*>(timeouts);
    return ::SetCommTimeouts(H(device), &copy);
}

bool WriteFile(Handle device, const void* buffer, U32 count, U32* done, void* overlapped)
{
    return ::WriteFile(H(device), buffer, count, D(done), O(overlapped));
}

bool ReadFile(Handle device, void* buffer, U32 count, U32* done, void* overlapped)
{
    return ::ReadFile(H(device), buffer, count, D(done), O(overlapped));
}

bool GetOverlappedResult(Handle device, void* overlapped, U32* done, bool wait)
{
    return ::GetOverlappedResult(H(device), O(overlapped), D(done), wait);
}

bool CancelIoEx(Handle device, void* overlapped) { return ::CancelIoEx(H(device), O(overlapped)); }
bool SetCommMask(Handle device, U32 mask) { return ::SetCommMask(H(device), mask); }

bool WaitCommEvent(Handle device, U32* mask, void* overlapped)
{
    return ::WaitCommEvent(H(device), D(mask), O(overlapped));
}

bool ClearCommError(Handle device, U32* errors, void* status)
{
    return ::ClearCommError(H(device), D(errors), static_cast<::COMSTAT*>(status));
}

bool GetCommModemStatus(Handle device, U32* status) { return ::GetCommModemStatus(H(device), D(status)); }
bool PurgeComm(Handle device, U32 flags) { return ::PurgeComm(H(device), flags); }

Handle NewEvent(bool manualReset, bool initialState)
{
    return Of(::CreateEventW(nullptr, manualReset, initialState, nullptr));
}

bool SetEvent(Handle event) { return ::SetEvent(H(event)); }
bool ResetEvent(Handle event) { return ::ResetEvent(H(event)); }

U32 WaitForMultipleObjects(U32 count, const Handle* handles, bool waitAll, U32 milliseconds)
{
    HANDLE list[MAXIMUM_WAIT_OBJECTS];
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::transform(handles, handles + count, list, H);
    return ::WaitForMultipleObjects(count, list, waitAll, milliseconds);
}

bool SetCurrentThreadPriority(int priority) { return ::SetThreadPriority(::GetCurrentThread(), priority); }
int CurrentThreadPriority() { return ::GetThreadPriority(::GetCurrentThread()); }

// The serial port map the system keeps: one value a port, its data the port's name.
std::vector<std::string> SerialPortNames()
{
    std::vector<std::string> names;
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char value[256], data[256];
        DWORD valueSize = sizeof value, dataSize = sizeof data - 1, type = 0;
        const LONG rc = ::RegEnumValueA(key, i, value, &valueSize, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        if (type == REG_SZ && dataSize > 0) {
            data[dataSize] = '\0';
            names.emplace_back(data);
        }
    }
    ::RegCloseKey(key);
    // COM2 before COM10.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

} // namespace winapi
