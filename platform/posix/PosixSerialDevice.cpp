#include "posix/PosixSerialDevice.h"

#include "link/PortName.h"
#include "posix/CustomBaudRate.h"
#include "posix/TermiosLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

int setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
    if (fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) return errno;
    return 0;
}

std::optional<dev_t> terminalDevice(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISCHR(info.st_mode)) return std::nullopt;
    return info.st_rdev;
}

// The terminal the kernel counts as the program's own, whatever its standard files are now.
std::optional<dev_t> controllingTerminal() {
    std::ifstream in("/proc/self/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    // The program's name comes first, in parentheses, and may hold anything; the fields follow it.
    const auto afterName = text.rfind(')');
    if (afterName == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(afterName + 1));
    std::string state;
    long parent = 0, group = 0, session = 0;
    unsigned long ttyNumber = 0;
    if (!(fields >> state >> parent >> group >> session >> ttyNumber) || ttyNumber == 0) return std::nullopt;
    return makedev((ttyNumber >> 8) & 0xFFF, (ttyNumber & 0xFF) | ((ttyNumber >> 12) & 0xFFF00));
}

// Writing key frames into the terminal the program was started from would scramble it and leave
// it raw: the terminal of the standard files, the controlling terminal, and their aliases.
bool isOwnTerminal(dev_t device) {
    char controlling[L_ctermid] = {};
    for (const char* alias : {static_cast<const char*>(ctermid(controlling)), "/dev/console"})
        if (terminalDevice(alias) == device) return true;
    if (controllingTerminal() == device) return true;
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info {};
        if (::isatty(fd) && ::fstat(fd, &info) == 0 && info.st_rdev == device) return true;
    }
    return false;
}

// Only a terminal device other than our own can be a serial line; files, directories, pipes and
// devices such as /dev/null are refused before anything is opened or written.
int refusalOf(const struct stat& info) {
    if (!S_ISCHR(info.st_mode) || isOwnTerminal(info.st_rdev)) return ENOTTY;
    return 0;
}

IoResult failed(int error) {
    return {IoState::Failed, error};
}
IoResult aborted() {
    return {IoState::Aborted, ECANCELED};
}

} // namespace

std::shared_ptr<SerialDevice> PosixSerialDevice::open(const std::string& portName, int& error) {
    const auto devicePath = devicePathForPort(portName);
    if (!devicePath) {
        error = ENOENT;
        return nullptr;
    }
    const std::string& path = *devicePath;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = errno;
        return nullptr;
    }
    error = refusalOf(info);
    if (error) return nullptr;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        error = errno;
        return nullptr;
    }
    // The name may have been pointed elsewhere since it was looked at.
    if (::fstat(fd.get(), &info) != 0) {
        error = errno;
        return nullptr;
    }
    error = refusalOf(info);
    if (error) return nullptr;
    if (!isatty(fd.get())) {
        error = ENOTTY;
        return nullptr;
    }
    // No sharing: a second program (or a second open of ours) must not talk on the same line.
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        return nullptr;
    }
    ioctl(fd.get(), TIOCEXCL);
    termios original{};
    if (tcgetattr(fd.get(), &original) != 0) {
        error = errno;
        return nullptr;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = errno;
        return nullptr;
    }
    UniqueFd wakeRead(pipeFds[0]), wakeWrite(pipeFds[1]);
    if (int e = setNonBlocking(wakeRead.get()); e || (e = setNonBlocking(wakeWrite.get()))) {
        error = e;
        return nullptr;
    }
    error = 0;
    return std::make_shared<PosixSerialDevice>(
        OpenedPort{std::move(fd), std::move(wakeRead), std::move(wakeWrite), original});
}

PosixSerialDevice::PosixSerialDevice(OpenedPort port)
    : fd_(std::move(port.fd)), wakeRead_(std::move(port.wakeRead)), wakeWrite_(std::move(port.wakeWrite)),
      original_(port.original), settings_(TermiosLine::toLineSettings(port.original)) {
    if (!TermiosLine::hasSpeedConstant(settings_.baudRate)) readBaudRate(fd_.get(), settings_.baudRate);
    statusCounters_ = readCounters();
}

PosixSerialDevice::~PosixSerialDevice() = default;

DeviceStatus PosixSerialDevice::setBufferSizes(std::uint32_t, std::uint32_t) {
    // The kernel sizes its tty buffers itself; asking is accepted while the port is open.
    return {closed_ ? EBADF : 0};
}

DeviceStatus PosixSerialDevice::getLineSettings(LineSettings& settings) {
    if (closed_) return {EBADF};
    std::lock_guard lock(mutex_);
    settings = settings_;
    return {};
}

DeviceStatus PosixSerialDevice::setLineSettings(const LineSettings& settings) {
    if (closed_) return {EBADF};
    if (!TermiosLine::isSettableSpeed(settings.baudRate)) return {EINVAL, PortFault::BadSpeed};
    termios previous{};
    if (tcgetattr(fd_.get(), &previous) != 0) return {errno};
    termios t = previous;
    if (int e = TermiosLine::fromLineSettings(t, settings)) return {e};
    // The other fields are checked above, so a driver that says EINVAL means the speed.
    if (int e = TermiosLine::apply(fd_.get(), t, settings))
        return {e, e == EINVAL ? PortFault::BadSpeed : faultForError(e)};
    std::uint32_t actual = settings.baudRate;
    if (readBaudRate(fd_.get(), actual) == 0 && !TermiosLine::driverTookSpeed(settings.baudRate, actual)) {
        // Not left running at a speed nobody asked for.
        tcsetattr(fd_.get(), TCSANOW, &previous);
        return {EINVAL, PortFault::BadSpeed};
    }
    std::lock_guard lock(mutex_);
    settings_ = settings;
    return {};
}

DeviceStatus PosixSerialDevice::getTimeouts(CommTimeouts& timeouts) {
    if (closed_) return {EBADF};
    std::lock_guard lock(mutex_);
    timeouts = timeouts_;
    return {};
}

DeviceStatus PosixSerialDevice::setTimeouts(const CommTimeouts& timeouts) {
    if (closed_) return {EBADF};
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return {};
}

DeviceStatus PosixSerialDevice::modemControl(unsigned long request, int bits) {
    if (closed_) return {EBADF};
    if (ioctl(fd_.get(), request, &bits) != 0) return {errno};
    return {};
}

DeviceStatus PosixSerialDevice::setRts(bool raised) {
    return modemControl(raised ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}
DeviceStatus PosixSerialDevice::setDtr(bool raised) {
    return modemControl(raised ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
}

DeviceStatus PosixSerialDevice::setBreak(bool on) {
    if (closed_) return {EBADF};
    if (ioctl(fd_.get(), on ? TIOCSBRK : TIOCCBRK) != 0) return {errno};
    return {};
}

std::optional<std::uint32_t> PosixSerialDevice::readModem() const {
    int lines = 0;
    if (ioctl(fd_.get(), TIOCMGET, &lines) != 0) return std::nullopt;
    std::uint32_t bits = 0;
    if (lines & TIOCM_CTS) bits |= ModemBit::Cts;
    if (lines & TIOCM_DSR) bits |= ModemBit::Dsr;
    if (lines & TIOCM_RNG) bits |= ModemBit::Ring;
    if (lines & TIOCM_CAR) bits |= ModemBit::Rlsd;
    return bits;
}

DeviceStatus PosixSerialDevice::readModemStatus(std::uint32_t& modemBits) {
    if (closed_) return {EBADF};
    const auto bits = readModem();
    if (!bits) return {errno};
    modemBits = *bits;
    return {};
}

std::optional<PosixSerialDevice::ErrorCounters> PosixSerialDevice::readCounters() const {
    serial_icounter_struct c{};
    if (ioctl(fd_.get(), TIOCGICOUNT, &c) != 0) return std::nullopt;
    return ErrorCounters{c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
}

std::uint32_t PosixSerialDevice::inQueueNow() const {
    int count = 0;
    return ioctl(fd_.get(), FIONREAD, &count) == 0 ? static_cast<std::uint32_t>(count) : 0;
}

std::uint32_t PosixSerialDevice::outQueueNow() const {
    int count = 0;
    return ioctl(fd_.get(), TIOCOUTQ, &count) == 0 ? static_cast<std::uint32_t>(count) : 0;
}

DeviceStatus PosixSerialDevice::readLineStatus(LineStatus& status) {
    if (closed_) return {EBADF};
    int inQueue = 0, outQueue = 0;
    if (ioctl(fd_.get(), FIONREAD, &inQueue) != 0) return {errno};
    if (ioctl(fd_.get(), TIOCOUTQ, &outQueue) != 0) return {errno};
    status = {};
    status.inQueue = static_cast<std::uint32_t>(inQueue);
    status.outQueue = static_cast<std::uint32_t>(outQueue);
    // Errors are what the counters gained since the last look: reading them clears them.
    const auto counters = readCounters();
    std::lock_guard lock(mutex_);
    if (counters && statusCounters_) {
        const auto& was = *statusCounters_;
        if (counters->bufferOverrun != was.bufferOverrun) status.errors |= LineErrorBit::RxOverrun;
        if (counters->overrun != was.overrun) status.errors |= LineErrorBit::HardwareOverrun;
        if (counters->parity != was.parity) status.errors |= LineErrorBit::Parity;
        if (counters->frame != was.frame) status.errors |= LineErrorBit::Framing;
        if (counters->brk != was.brk) status.errors |= LineErrorBit::Break;
    }
    statusCounters_ = counters;
    return {};
}

DeviceStatus PosixSerialDevice::setEventMask(std::uint32_t mask) {
    if (closed_) return {EBADF};
    std::lock_guard lock(mutex_);
    eventMask_ = mask;
    if (mask == 0 && eventWait_.pending) eventWait_.ended = true;
    wake();
    return {};
}

IoResult PosixSerialDevice::startEventWait() {
    if (closed_) return failed(EBADF);
    int inQueue = 0;
    // A device that went away fails here, so the worker has nothing to wait on and does not spin.
    if (ioctl(fd_.get(), FIONREAD, &inQueue) != 0) return failed(errno);
    const auto modem = readModem();
    const auto counters = readCounters();
    const auto outQueue = outQueueNow();
    std::lock_guard lock(mutex_);
    if (eventMask_ == 0) return failed(EINVAL);
    eventWait_ = {true,     false, false,   static_cast<std::uint32_t>(inQueue), readTotal_, writeTotal_,
                  outQueue, modem, counters};
    return {IoState::Pending};
}

DeviceStatus PosixSerialDevice::signalEventWait() {
    std::lock_guard lock(mutex_);
    eventWait_.signalled = true;
    wake();
    return {};
}

std::uint32_t PosixSerialDevice::occurredEvents() {
    const auto inQueue = inQueueNow();
    const auto outQueue = outQueueNow();
    const auto modem = readModem();
    const auto counters = readCounters();
    std::lock_guard lock(mutex_);
    const EventWait& w = eventWait_;
    std::uint32_t events = 0;
    if (inQueue + (readTotal_ - w.readTotal) > w.inQueue) events |= CommEventBit::RxChar;
    if ((w.outQueue > 0 || writeTotal_ > w.writeTotal) && outQueue == 0 && !write_.pending)
        events |= CommEventBit::TxEmpty;
    if (modem && w.modem) {
        const auto changed = *modem ^ *w.modem;
        if (changed & ModemBit::Cts) events |= CommEventBit::Cts;
        if (changed & ModemBit::Dsr) events |= CommEventBit::Dsr;
        if (changed & ModemBit::Rlsd) events |= CommEventBit::Rlsd;
        if ((changed & ModemBit::Ring) && (*modem & ModemBit::Ring)) events |= CommEventBit::Ring;
    }
    if (counters && w.counters) {
        if (counters->brk != w.counters->brk) events |= CommEventBit::Break;
        if (counters->frame != w.counters->frame || counters->overrun != w.counters->overrun ||
            counters->parity != w.counters->parity || counters->bufferOverrun != w.counters->bufferOverrun)
            events |= CommEventBit::LineError;
    }
    return events & eventMask_;
}

IoResult PosixSerialDevice::readNow(std::uint32_t count) {
    std::vector<std::uint8_t> buffer(count);
    const ssize_t n = ::read(fd_.get(), buffer.data(), buffer.size());
    if (n < 0) return errno == EAGAIN ? IoResult{IoState::Incomplete} : failed(errno);
    if (n == 0 && count > 0) return failed(EIO); // a terminal reads end of file only once it has hung up
    buffer.resize(static_cast<std::size_t>(n));
    readTotal_ += static_cast<std::uint64_t>(n);
    if (settings_.flags & LineFlag::DiscardNulls) std::erase(buffer, std::uint8_t{0});
    IoResult result{IoState::Done};
    result.data = std::move(buffer);
    return result;
}

IoResult PosixSerialDevice::startRead(std::uint32_t count) {
    if (closed_) return failed(EBADF);
    std::lock_guard lock(mutex_);
    read_ = {};
    IoResult result = readNow(count);
    if (result.state == IoState::Incomplete) {
        read_ = {true, false, false, count};
        result.state = IoState::Pending;
    }
    return result;
}

IoResult PosixSerialDevice::readResult() {
    std::lock_guard lock(mutex_);
    if (!read_.pending) return failed(EINVAL);
    if (read_.aborted) {
        read_ = {};
        return aborted();
    }
    if (closed_) {
        read_ = {};
        return failed(EBADF);
    }
    IoResult result = readNow(read_.count);
    if (result.state != IoState::Incomplete) read_ = {};
    return result;
}

DeviceStatus PosixSerialDevice::signalRead() {
    std::lock_guard lock(mutex_);
    read_.signalled = true;
    wake();
    return {};
}

IoResult PosixSerialDevice::continueWrite() {
    PendingWrite& w = write_;
    while (w.written < w.bytes.size()) {
        const ssize_t n = ::write(fd_.get(), w.bytes.data() + w.written, w.bytes.size() - w.written);
        if (n < 0) {
            if (errno != EAGAIN) return failed(errno);
            // The total write time-out ends the write short, as the line would.
            if (w.deadline && Clock::now() >= *w.deadline) break;
            return {IoState::Incomplete};
        }
        w.written += static_cast<std::size_t>(n);
        writeTotal_ += static_cast<std::uint64_t>(n);
    }
    IoResult result{IoState::Done};
    result.bytes = static_cast<std::uint32_t>(w.written);
    return result;
}

IoResult PosixSerialDevice::startWrite(std::span<const std::uint8_t> bytes) {
    if (closed_) return failed(EBADF);
    std::lock_guard lock(mutex_);
    write_ = {};
    write_.bytes.assign(bytes.begin(), bytes.end());
    if (timeouts_.writeConstant != 0)
        write_.deadline = Clock::now() + std::chrono::milliseconds(timeouts_.writeConstant);
    IoResult result = continueWrite();
    if (result.state == IoState::Incomplete) {
        write_.pending = true;
        result.state = IoState::Pending;
        wake(); // the worker's wait should now watch for room to write
    } else {
        write_ = {};
    }
    return result;
}

IoResult PosixSerialDevice::writeResult() {
    std::lock_guard lock(mutex_);
    if (!write_.pending) return failed(EINVAL);
    if (write_.aborted) {
        write_ = {};
        return aborted();
    }
    if (closed_) {
        write_ = {};
        return failed(EBADF);
    }
    IoResult result = continueWrite();
    if (result.state != IoState::Incomplete) write_ = {};
    return result;
}

DeviceStatus PosixSerialDevice::resetWrite() {
    std::lock_guard lock(mutex_);
    write_ = {};
    return {};
}

DeviceStatus PosixSerialDevice::purge(std::uint32_t what) {
    if (closed_) return {EBADF};
    const bool input = (what & PurgeBit::RxClear) != 0, output = (what & PurgeBit::TxClear) != 0;
    if ((input || output) && tcflush(fd_.get(), input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH) != 0)
        return {errno};
    std::lock_guard lock(mutex_);
    if (read_.pending && (what & PurgeBit::RxAbort)) read_.aborted = true;
    if (write_.pending && (what & PurgeBit::TxAbort)) write_.aborted = true;
    wake();
    return {};
}

void PosixSerialDevice::wake() {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(wakeWrite_.get(), &byte, 1); // a full pipe already wakes the waiter
}

void PosixSerialDevice::drainWake() {
    char bytes[64];
    while (::read(wakeRead_.get(), bytes, sizeof bytes) > 0) {
    }
}

void PosixSerialDevice::sleepUntil(Clock::time_point deadline) {
    // Only a wake-up may cut this short; the device itself is not watched.
    pollfd wakeFd{wakeRead_.get(), POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left > 0 && poll(&wakeFd, 1, static_cast<int>(left)) > 0) drainWake();
}

WaitOutcome PosixSerialDevice::waitFor(bool readPending, bool eventWaitPending, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        bool writePending = false;
        std::optional<Clock::time_point> writeDeadline;
        {
            std::lock_guard lock(mutex_);
            if (readPending && read_.signalled) {
                read_.signalled = false;
                return {WaitOutcome::ReadSignalled};
            }
            if (eventWaitPending && (eventWait_.ended || eventWait_.signalled)) {
                eventWait_ = {};
                return {WaitOutcome::EventSignalled};
            }
            writePending = write_.pending;
            writeDeadline = write_.deadline;
        }
        if (closed_ || (!readPending && !eventWaitPending)) {
            sleepUntil(deadline);
            return {WaitOutcome::TimedOut};
        }
        // Looked at before the events: a byte that comes after this look is one the poll below wakes
        // for, and one that came before it counts among the events.
        const bool queued = inQueueNow() > 0;
        if (eventWaitPending) {
            if (const auto mask = occurredEvents()) {
                std::lock_guard lock(mutex_);
                eventWait_ = {};
                WaitOutcome outcome{WaitOutcome::EventSignalled};
                outcome.eventMask = mask;
                return outcome;
            }
        }
        if (readPending && queued) return {WaitOutcome::ReadSignalled};

        auto until = deadline;
        if (writePending && writeDeadline) until = std::min(until, *writeDeadline);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return {WaitOutcome::TimedOut};

        // Bytes already queued keep the line readable; waiting on that would return at once.
        pollfd fds[2] = {{wakeRead_.get(), POLLIN, 0}, {fd_.get(), 0, 0}};
        if (!queued) fds[1].events |= POLLIN;
        if (writePending) fds[1].events |= POLLOUT;
        const int n = poll(fds, 2, static_cast<int>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return {WaitOutcome::Failed, errno};
        }
        if (fds[0].revents) drainWake();
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return {WaitOutcome::Failed, EIO};
        if (fds[1].revents & POLLOUT) return {WaitOutcome::TimedOut};
        if (n == 0) return {WaitOutcome::TimedOut};
    }
}

DeviceStatus PosixSerialDevice::close() {
    if (closed_.exchange(true)) return {EBADF};
    tcsetattr(fd_.get(), TCSANOW, &original_);
    ioctl(fd_.get(), TIOCNXCL);
    flock(fd_.get(), LOCK_UN);
    std::lock_guard lock(mutex_);
    wake();
    return {};
}
