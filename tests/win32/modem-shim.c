/* Test-only: gives pseudo-terminals the modem lines a serial port has, so that Wine's
 * line-event waits work on them. Preloaded into the Wine processes of the device tests.
 * Every other ioctl, and every one on anything but a pseudo-terminal, goes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int IsPtySlave(int fd)
{
    struct stat st;
    /* Unix 98 pseudo-terminal slaves have majors 136 to 143. */
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!real)
        *(void**)&real = dlsym(RTLD_NEXT, "ioctl");  /* the POSIX way to a function pointer */
    if (IsPtySlave(fd)) {
        switch (request) {
        case TIOCMGET: /* DSR, CTS and carrier on, as a connected unit has them */
            *(int*)arg = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
            return 0;
        case TIOCMSET:
        case TIOCMBIS:
        case TIOCMBIC:
            return 0;
        case TIOCGICOUNT: /* no line event has ever happened */
            memset(arg, 0, sizeof(struct serial_icounter_struct));
            return 0;
        case TIOCMIWAIT: /* the lines never change: as a wait that is never woken */
            errno = EINTR;
            return -1;
        }
    }
    return real(fd, request, arg);
}
