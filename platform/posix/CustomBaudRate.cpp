#include "posix/CustomBaudRate.h"

// The kernel's termios2 clashes with the C library's termios, so this file sees only the former.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

int setCustomBaudRate(int fd, std::uint32_t baudRate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = baudRate;
    t.c_ospeed = baudRate;
    t.c_cflag &= ~(CBAUD << IBSHIFT);
    t.c_cflag |= BOTHER << IBSHIFT;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

int readBaudRate(int fd, std::uint32_t& baudRate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    baudRate = t.c_ospeed;
    return 0;
}
