// The termios device layer on a pseudo-terminal: opening, line settings as the other end
// sees them, and byte transparency.
#include "DeviceFixture.h"
#include "serial/posix/PortName.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

class LineTest : public DeviceTest {
protected:
    LineTest() : DeviceTest(SystemComDevice()) {}

    // TIOCGEXCL through a descriptor of our own on the slave.
    bool Exclusive() const
    {
        int fd = ::open(pty_.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int flag = -1;
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &flag), 0);
        ::close(fd);
        return flag != 0;
    }
};

TEST(PortName, MapsWindowsNamesToDevices)
{
    unsetenv("COM12_DEVICE");
    unsetenv("COM2_DEVICE");
    EXPECT_EQ(DevicePathForPort("\\\\.\\COM2"), "/dev/ttyS1");  // computed, never opened
    EXPECT_EQ(DevicePathForPort("\\\\.\\com12"), "/dev/ttyS11");
    setenv("COM12_DEVICE", "/dev/pts/77", 1);
    EXPECT_EQ(DevicePathForPort("\\\\.\\Com12"), "/dev/pts/77");
    unsetenv("COM12_DEVICE");
    EXPECT_EQ(DevicePathForPort("\\\\.\\/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathForPort("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(DevicePathForPort("\\\\.\\ttyUSB1"), "/dev/ttyUSB1");
    EXPECT_EQ(DevicePathForPort("\\\\.\\COM0"), "/dev/COM0");
    EXPECT_EQ(DevicePathForPort("\\\\.\\COMX"), "/dev/COMX");
}

TEST_F(LineTest, OpensExclusivelyUntilClosed)
{
    EXPECT_TRUE(Exclusive());
    EXPECT_EQ(device_.CreateFile("\\\\.\\" + pty_.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EBUSY));
    CloseDevice();
    EXPECT_FALSE(Exclusive()) << "TIOCNXCL before close";
    handle_ = device_.CreateFile("\\\\.\\" + pty_.Path());
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
}

TEST_F(LineTest, OpenFailuresCarryErrno)
{
    EXPECT_EQ(device_.CreateFile("\\\\.\\/dev/no-such-port"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(ENOENT));
    EXPECT_EQ(device_.CreateFile("\\\\.\\/dev/null"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(ENOTTY));
}

TEST_F(LineTest, ComNameFollowsItsEnvironmentVariable)
{
    CloseDevice();
    setenv("COM7_DEVICE", pty_.Path().c_str(), 1);
    handle_ = device_.CreateFile("\\\\.\\com7");
    unsetenv("COM7_DEVICE");
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Write("via COM7"), 8);
    EXPECT_EQ(pty_.Receive(8, 1000ms), "via COM7");
}

TEST_F(LineTest, LineIsRawWhateverTheSlaveHadBefore)
{
    termios line = pty_.Line().Attributes;
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
}

struct Framing {
    DWORD rate;
    BYTE size, parity, stop;
    tcflag_t cflag;  // PARODD | CMSPAR | CSTOPB as expected
};

// A pseudo-terminal has no framing: its driver forces CS8 and clears PARENB on every
// change, so those two cannot be read back here. Everything else stays as set.
constexpr tcflag_t KeptFraming = PARODD | CMSPAR | CSTOPB;

TEST_F(LineTest, SpeedAndFramingReadBackOnTheMaster)
{
    const Framing cases[] = {
        {600, 8, NOPARITY, ONESTOPBIT, 0},
        {9600, 7, EVENPARITY, ONESTOPBIT, 0},
        {19200, 5, ODDPARITY, TWOSTOPBITS, PARODD | CSTOPB},
        {115200, 8, MARKPARITY, ONESTOPBIT, PARODD | CMSPAR},
        {57600, 6, SPACEPARITY, ONE5STOPBITS, CMSPAR | CSTOPB},
        {300, 8, EVENPARITY, TWOSTOPBITS, CSTOPB},
        {110, 8, NOPARITY, ONESTOPBIT, 0},
        {14400, 8, ODDPARITY, ONESTOPBIT, PARODD},
        {56000, 8, NOPARITY, ONESTOPBIT, 0},
        {128000, 8, NOPARITY, ONESTOPBIT, 0},
        {256000, 8, NOPARITY, ONESTOPBIT, 0},
        {31250, 8, NOPARITY, ONESTOPBIT, 0},
    };
    for (const Framing& f : cases) {
        SCOPED_TRACE(f.rate);
        ASSERT_TRUE(device_.SetCommState(handle_, LineDcb(f.rate, f.size, f.parity, f.stop)));
        PtyLine line = pty_.Line();
        EXPECT_EQ(line.OutputSpeed, f.rate);
        EXPECT_EQ(line.InputSpeed, f.rate);
        EXPECT_EQ(line.Attributes.c_cflag & KeptFraming, f.cflag);
        EXPECT_EQ(line.Attributes.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    }
}

TEST_F(LineTest, FlowControlReadsBackWithItsCharacters)
{
    DCB dcb = LineDcb(9600);
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.XonChar = 'Q';
    dcb.XoffChar = static_cast<char>(147);
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutxCtsFlow = 1;
    ASSERT_TRUE(device_.SetCommState(handle_, dcb));
    termios line = pty_.Line().Attributes;
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(line.c_cc[VSTART], 'Q');
    EXPECT_EQ(line.c_cc[VSTOP], 147);
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);

    ASSERT_TRUE(device_.SetCommState(handle_, LineDcb(9600)));
    line = pty_.Line().Attributes;
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
}

TEST_F(LineTest, RefusesImpossibleSettingsAndKeepsTheOldOnes)
{
    ASSERT_TRUE(device_.SetCommState(handle_, LineDcb(4800, 7, ODDPARITY, TWOSTOPBITS)));
    for (DCB bad : {LineDcb(9600, 9), LineDcb(9600, 4), LineDcb(0), LineDcb(9600, 8, 5),
                    LineDcb(9600, 8, NOPARITY, 3)}) {
        EXPECT_FALSE(device_.SetCommState(handle_, bad));
        EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EINVAL));
    }
    PtyLine line = pty_.Line();
    EXPECT_EQ(line.OutputSpeed, 4800u);
    EXPECT_EQ(line.Attributes.c_cflag & KeptFraming, tcflag_t(PARODD | CSTOPB));
}

TEST_F(LineTest, NoModemLinesOrErrorsOnAPseudoTerminal)
{
    DCB dcb = LineDcb(9600);
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    EXPECT_TRUE(device_.SetCommState(handle_, dcb));
    DWORD status = 0xFFFF;
    EXPECT_TRUE(device_.GetCommModemStatus(handle_, &status));
    EXPECT_EQ(status, 0u);
    DWORD errors = 0xFFFF;
    COMSTAT stat{};
    EXPECT_TRUE(device_.ClearCommError(handle_, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 0u);
}

TEST_F(LineTest, EveryByteValueGoesOutUnchangedAndInOrder)
{
    for (BYTE parity : {NOPARITY, EVENPARITY}) {
        ASSERT_TRUE(device_.SetCommState(handle_, LineDcb(600, 8, parity))) << device_.GetLastError();
        std::string bytes = AllByteValues();
        EXPECT_EQ(Write(bytes), static_cast<long>(bytes.size()));
        EXPECT_EQ(pty_.Receive(bytes.size(), 1000ms), bytes);
        EXPECT_EQ(pty_.Receive(1, 20ms), "");
    }
}

TEST_F(LineTest, EveryByteValueComesInUnchangedAndInOrder)
{
    SetTimeouts(0, 0, 1000);
    std::string bytes = AllByteValues();
    pty_.Send(bytes);
    EXPECT_EQ(Read(bytes.size()), bytes);
}

TEST_F(LineTest, DiscardNullDropsReceivedZeroBytes)
{
    DCB dcb = LineDcb(9600);
    dcb.fNull = 1;
    ASSERT_TRUE(device_.SetCommState(handle_, dcb));
    SetTimeouts(0, 0, 300);
    pty_.Send(std::string("a\0b\0\0c", 6));
    EXPECT_EQ(Read(3), "abc");
    ASSERT_TRUE(device_.SetCommState(handle_, LineDcb(9600)));
    pty_.Send(std::string("\0d", 2));
    EXPECT_EQ(Read(2), std::string("\0d", 2));
}

} // namespace
