#include "posix/TermiosLine.h"

#include "posix/CustomBaudRate.h"

#include <cerrno>
#include <iterator>

namespace TermiosLine {
namespace {

struct SpeedConstant {
    std::uint32_t baud;
    speed_t constant;
};

constexpr SpeedConstant speedConstants[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

const SpeedConstant* findBaud(std::uint32_t baud) {
    for (const auto& row : speedConstants)
        if (row.baud == baud) return &row;
    return nullptr;
}

int setByteSize(termios& t, std::uint8_t bits) {
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (bits < 5 || bits > 8) return EINVAL;
    t.c_cflag = (t.c_cflag & ~CSIZE) | sizes[bits - 5];
    return 0;
}

int setParity(termios& t, std::uint8_t parity) {
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case 0:
        return 0;
    case 1:
        t.c_cflag |= PARENB | PARODD;
        return 0;
    case 2:
        t.c_cflag |= PARENB;
        return 0;
    case 3:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        return 0;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        return 0;
    default:
        return EINVAL;
    }
}

int setStopBits(termios& t, std::uint8_t stopBits) {
    // The kernel has no one and a half stop bits; the longer setting is the safe one for a receiver.
    if (stopBits > 2) return EINVAL;
    if (stopBits == 0)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;
    return 0;
}

void setFlowControl(termios& t, std::uint32_t flags) {
    const bool rtsCts =
        (flags & LineFlag::CtsOutputHandshake) || (flags & LineFlag::RtsControlMask) == LineFlag::RtsHandshake;
    if (rtsCts)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (flags & LineFlag::XonXoffOutput) t.c_iflag |= IXON;
    if (flags & LineFlag::XonXoffInput) t.c_iflag |= IXOFF;
    if (flags & LineFlag::CheckParity) t.c_iflag |= INPCK;
}

int setSpeed(termios& t, std::uint32_t baud) {
    if (baud == 0) return EINVAL; // B0 would hang the line up
    const auto* row = findBaud(baud);
    // A custom speed is set after the rest; keep a harmless constant meanwhile.
    const speed_t constant = row ? row->constant : B38400;
    if (cfsetispeed(&t, constant) != 0 || cfsetospeed(&t, constant) != 0) return EINVAL;
    return 0;
}

} // namespace

bool hasSpeedConstant(std::uint32_t baudRate) {
    return findBaud(baudRate) != nullptr;
}

std::optional<speed_t> speedConstant(std::uint32_t baudRate) {
    if (const SpeedConstant* row = findBaud(baudRate)) return row->constant;
    return std::nullopt;
}

bool isSettableSpeed(std::uint32_t baudRate) {
    return baudRate > 0 && baudRate <= std::rbegin(speedConstants)->baud;
}

bool driverTookSpeed(std::uint32_t asked, std::uint32_t set) {
    constexpr std::uint64_t TolerancePercent = 3;
    const std::uint64_t difference = asked > set ? asked - set : set - asked;
    return difference * 100 <= std::uint64_t{asked} * TolerancePercent;
}

int fromLineSettings(termios& t, const LineSettings& settings) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
    setFlowControl(t, settings.flags);
    if (int e = setByteSize(t, settings.byteSize)) return e;
    if (int e = setParity(t, settings.parity)) return e;
    if (int e = setStopBits(t, settings.stopBits)) return e;
    return setSpeed(t, settings.baudRate);
}

LineSettings toLineSettings(const termios& t) {
    LineSettings s;
    const speed_t speed = cfgetospeed(&t);
    for (const auto& row : speedConstants)
        if (row.constant == speed) s.baudRate = row.baud;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        s.byteSize = 5;
        break;
    case CS6:
        s.byteSize = 6;
        break;
    case CS7:
        s.byteSize = 7;
        break;
    default:
        s.byteSize = 8;
        break;
    }
    if (t.c_cflag & PARENB) {
        const bool odd = t.c_cflag & PARODD;
        s.parity = (t.c_cflag & CMSPAR) ? (odd ? 3 : 4) : (odd ? 1 : 2);
    }
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    s.xonChar = static_cast<char>(t.c_cc[VSTART]);
    s.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return s;
}

int apply(int fd, const termios& t, const LineSettings& settings) {
    if (tcsetattr(fd, TCSANOW, &t) != 0) return errno;
    if (!hasSpeedConstant(settings.baudRate)) return setCustomBaudRate(fd, settings.baudRate);
    return 0;
}

} // namespace TermiosLine
