// Line settings through termios2 (TCGETS2/TCSETS2): exact speeds through BOTHER where no
// Bxxx constant exists, and no second guess of the result. (glibc's tcsetattr reads the
// line back and reports EINVAL when a pseudo-terminal, which has no framing, forces CS8
// without parity; a port's settings must still apply there.) <asm/termbits.h> clashes
// with <termios.h>, so Termios2.cpp is the only file that includes it.
#pragma once

struct LineSetup {
    unsigned Rate = 9600;     // bit/s
    unsigned DataBits = 8;    // 5 to 8
    char Parity = 'N';        // N, O, E, M (mark), S (space)
    bool TwoStopBits = false;
    bool RtsCts = false;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool CheckParity = false;
    unsigned char XonChar = 17;
    unsigned char XoffChar = 19;
};

// The line as termios2 has it: the kernel keeps the exact rates, Bxxx ones too.
struct LineState {
    unsigned ControlFlags = 0;  // c_cflag
    unsigned InputSpeed = 0;    // bit/s
    unsigned OutputSpeed = 0;
};

// False with errno.
bool ReadLineState(int fd, LineState* state);

// Raw mode (no output processing, no CR/LF translation, no signal or line editing
// characters), CLOCAL and CREAD, VMIN 1 and VTIME 0, keeping the present speed and
// framing; false with errno.
bool MakeRawLine(int fd);
// Raw mode as MakeRawLine, with the speed, framing and flow control of `setup`.
bool ApplyLineSetup(int fd, const LineSetup& setup);
