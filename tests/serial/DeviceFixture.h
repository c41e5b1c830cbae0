// The system device layer open on a fresh pseudo-terminal pair, for the device tests.
#pragma once

#include "PtyPair.h"
#include "serial/ComDevice.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

using namespace std::chrono_literals;

// An OVERLAPPED block with an event of its own, closed with the block.
class Overlapped {
public:
    explicit Overlapped(TComDevice& device) : device_(device)
    {
        block.hEvent = device.CreateEvent(true, false);
    }
    ~Overlapped() { device_.CloseHandle(block.hEvent); }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    THandle Event() const { return block.hEvent; }
    bool IsSet() const { return device_.WaitForSingleObject(block.hEvent, 0) == WAIT_OBJECT_0; }

    OVERLAPPED block{};

private:
    TComDevice& device_;
};

inline DCB LineDcb(DWORD rate, BYTE size = 8, BYTE parity = NOPARITY, BYTE stop = ONESTOPBIT)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = rate;
    dcb.fBinary = 1;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

class DeviceTest : public ::testing::Test {
protected:
    explicit DeviceTest(TComDevice& device) : device_(device) {}

    void SetUp() override
    {
        handle_ = device_.CreateFile("\\\\.\\" + pty_.Path());
        ASSERT_NE(handle_, INVALID_HANDLE_VALUE) << "errno " << device_.GetLastError();
        ASSERT_TRUE(device_.SetCommState(handle_, LineDcb(115200)));
    }
    void TearDown() override
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            device_.CloseHandle(handle_);
    }
    void CloseDevice()
    {
        device_.CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    void SetTimeouts(DWORD interval, DWORD readMultiplier, DWORD readConstant,
                     DWORD writeMultiplier = 0, DWORD writeConstant = 0)
    {
        COMMTIMEOUTS t{interval, readMultiplier, readConstant, writeMultiplier, writeConstant};
        ASSERT_TRUE(device_.SetCommTimeouts(handle_, t));
    }
    // Starts an overlapped write; true when it completed at once.
    bool StartWrite(Overlapped& o, const std::string& bytes, DWORD* done = nullptr)
    {
        DWORD n = 0;
        bool now = device_.WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &n,
                                     &o.block);
        if (!now) {
            EXPECT_EQ(device_.GetLastError(), ERROR_IO_PENDING);
        }
        if (done)
            *done = n;
        return now;
    }
    bool StartRead(Overlapped& o, std::string& buffer)
    {
        DWORD n = 0;
        bool now = device_.ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &n,
                                    &o.block);
        if (!now) {
            EXPECT_EQ(device_.GetLastError(), ERROR_IO_PENDING);
        }
        return now;
    }
    // Waits (bounded) for a started operation; its count, or -1 when it failed.
    long Finish(Overlapped& o, std::chrono::milliseconds within = 2000ms)
    {
        auto ms = static_cast<DWORD>(within.count());
        if (device_.WaitForSingleObject(o.Event(), ms) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the operation did not complete";
            return -2;
        }
        DWORD n = 0;
        if (!device_.GetOverlappedResult(handle_, &o.block, &n, false))
            return -1;
        return static_cast<long>(n);
    }
    long Write(const std::string& bytes)
    {
        Overlapped o(device_);
        StartWrite(o, bytes);
        return Finish(o);
    }
    std::string Read(std::size_t count)
    {
        Overlapped o(device_);
        std::string buffer(count, '\0');
        StartRead(o, buffer);
        long n = Finish(o);
        buffer.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return buffer;
    }

    PtyPair pty_;
    TComDevice& device_;
    THandle handle_ = INVALID_HANDLE_VALUE;
};

// Every byte value, then CR/LF pairs and flow-control characters a cooked line would eat.
inline std::string AllByteValues()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    bytes += "\r\n\n\r\x11\x13\x03\x1a\x7f\xff";
    return bytes;
}
