// Line speeds without a Bxxx constant, through termios2 and BOTHER. The kernel header it
// needs clashes with <termios.h>, so its one user is Termios2.cpp.
#pragma once

// Sets both speeds of `fd` to `rate` bit/s exactly; false with errno.
bool SetExactSpeed(int fd, unsigned rate);
