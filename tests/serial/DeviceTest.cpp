// What the termios device layer promises beyond the port's own use of it: port names,
// events of both kinds, waits that a new mask or the device's close ends, plain
// blocking calls and the records it refuses.
#include "serial/posix/PortName.h"

#include "SerialTest.h"

#include <cerrno>
#include <cstdlib>
#include <future>

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(handle = device.CreateFile("\\\\.\\" + pty.Path()), INVALID_HANDLE_VALUE); }
    void TearDown() override { device.CloseHandle(handle); }

    PtyPair pty;
    TComDevice& device = SystemComDevice();
    THandle handle = INVALID_HANDLE_VALUE;
};

} // namespace

TEST(PortName, MapsWindowsNamesToDevices)
{
    unsetenv("COM9_DEVICE");
    unsetenv("COM12_DEVICE");
    const std::pair<const char*, const char*> names[] = {  // computed, never opened
        {"\\\\.\\COM9", "/dev/ttyS8"}, {"\\\\.\\com12", "/dev/ttyS11"}, {"\\\\.\\/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/3", "/dev/pts/3"}, {"\\\\.\\ttyUSB1", "/dev/ttyUSB1"}, {"\\\\.\\COM0", "/dev/COM0"},
        {"\\\\.\\COMX", "/dev/COMX"}, {"COM1234567890", "/dev/COM1234567890"}};
    for (auto [name, path] : names)
        EXPECT_EQ(DevicePathForPort(name), path);
    setenv("COM12_DEVICE", "/dev/pts/77", 1);
    EXPECT_EQ(DevicePathForPort("\\\\.\\Com12"), "/dev/pts/77");
    unsetenv("COM12_DEVICE");
}

TEST_F(DeviceTest, EventsOfBothKindsWakeWaitersAndTheLowestIndexWins)
{
    const THandle manual = device.CreateEvent(true, false), automatic = device.CreateEvent(false, false);
    const THandle both[] = {manual, automatic};
    auto waiter = std::async(std::launch::async, [&] { return device.WaitForMultipleObjects(2, both, false, INFINITE); });
    EXPECT_TRUE(device.SetEvent(automatic));
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(device.WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);  // taken by the wait
    EXPECT_TRUE(device.SetEvent(automatic) && device.SetEvent(manual));
    EXPECT_EQ(device.WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0);
    EXPECT_EQ(device.WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0);  // a manual one stays set
    EXPECT_TRUE(device.ResetEvent(manual));
    EXPECT_EQ(device.WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(device.WaitForSingleObject(manual, 30), WAIT_TIMEOUT);
    EXPECT_EQ(device.WaitForMultipleObjects(2, both, true, 0), WAIT_FAILED);
    EXPECT_TRUE(device.CloseHandle(automatic));
    EXPECT_EQ(device.WaitForSingleObject(automatic, 0), WAIT_FAILED);
    EXPECT_EQ(device.GetLastError(), DWORD(EBADF));
    EXPECT_FALSE(device.SetEvent(handle));  // a device is no event
    EXPECT_TRUE(device.CloseHandle(manual));
    const THandle signalled = device.CreateEvent(true, true);
    EXPECT_EQ(device.WaitForSingleObject(signalled, 0), WAIT_OBJECT_0);
    device.CloseHandle(signalled);
}

TEST_F(DeviceTest, PendingOperationsEndByANewMaskOrTheDevicesClose)
{
    OVERLAPPED wait{}, second{}, read{};
    for (OVERLAPPED* o : {&wait, &second, &read})
        o->hEvent = device.CreateEvent(true, false);
    ASSERT_TRUE(device.SetCommMask(handle, EV_RXCHAR));
    DWORD mask = 0xFF, other = 0, done = 0;
    EXPECT_FALSE(device.WaitCommEvent(handle, &mask, &wait));
    EXPECT_EQ(device.GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(device.WaitCommEvent(handle, &other, &second));  // one wait at a time
    EXPECT_EQ(device.GetLastError(), DWORD(EINVAL));
    ASSERT_TRUE(device.SetCommMask(handle, 0));
    EXPECT_EQ(device.WaitForSingleObject(wait.hEvent, 1000), WAIT_OBJECT_0);
    EXPECT_TRUE(device.GetOverlappedResult(handle, &wait, &done, false));
    EXPECT_EQ(mask, 0u);
    EXPECT_TRUE(device.SetEvent(second.hEvent));
    EXPECT_FALSE(device.WaitCommEvent(handle, &other, &second));  // no mask: fails at once, its event reset
    EXPECT_EQ(device.GetLastError(), DWORD(EINVAL));
    EXPECT_EQ(device.WaitForSingleObject(second.hEvent, 0), WAIT_TIMEOUT);

    ASSERT_TRUE(device.SetCommTimeouts(handle, COMMTIMEOUTS{}));
    char buffer[4];
    EXPECT_FALSE(device.ReadFile(handle, buffer, 4, &done, &read));
    const THandle closed = std::exchange(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(device.CloseHandle(closed));
    EXPECT_EQ(device.WaitForSingleObject(read.hEvent, 1000), WAIT_OBJECT_0);
    EXPECT_FALSE(device.GetOverlappedResult(closed, &read, &done, false));
    EXPECT_EQ(device.GetLastError(), DWORD(ECANCELED));
    EXPECT_FALSE(device.WriteFile(closed, "x", 1, &done, &read));
    EXPECT_EQ(device.GetLastError(), DWORD(EBADF));
    EXPECT_FALSE(device.CloseHandle(closed));
    for (OVERLAPPED* o : {&wait, &second, &read})
        device.CloseHandle(o->hEvent);
}

TEST_F(DeviceTest, PlainBlockingCallsAndRefusedRecords)
{
    DWORD done = 0;
    EXPECT_TRUE(device.WriteFile(handle, "xyz", 3, &done, nullptr));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(pty.Receive(3, 1000ms), "xyz");
    ASSERT_TRUE(device.SetCommTimeouts(handle, COMMTIMEOUTS{0, 0, 500, 0, 0}));
    pty.Send("uv");
    char buffer[2] = {};
    EXPECT_TRUE(device.ReadFile(handle, buffer, 2, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "uv");
    EXPECT_FALSE(device.PurgeComm(handle, 0x10));
    EXPECT_EQ(device.GetLastError(), DWORD(EINVAL));
    const DCB good = TComPort().BuildControlBlock();
    for (auto spoil : {+[](DCB& d) { d.ByteSize = 9; }, +[](DCB& d) { d.ByteSize = 4; },
                       +[](DCB& d) { d.Parity = 5; }, +[](DCB& d) { d.StopBits = 3; }}) {
        DCB bad = good;
        spoil(bad);
        EXPECT_FALSE(device.SetCommState(handle, bad));
        EXPECT_EQ(device.GetLastError(), DWORD(EINVAL));
    }
    EXPECT_TRUE(device.SetCommState(handle, good));
}
