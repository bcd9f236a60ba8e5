#include "link/NetworkSocket.h"

#include "posix/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <shared_mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A dead line is found within about five seconds, whether it is idle or has bytes unacknowledged.
constexpr int KeepIdleSeconds = 2, KeepIntervalSeconds = 1, KeepCount = 3;
constexpr unsigned UserTimeoutMs = 5000;

// The resolver's codes are negative on Linux, so they can never be taken for an errno value.
static_assert(EAI_NONAME < 0 && EAI_AGAIN < 0);

int setOption(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0 ? 0 : errno;
}

int tuneConnection(int fd) {
    // Frames go out a byte at a time; Nagle's algorithm would hold each byte back for an ACK.
    int error = setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    if (!error) error = setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    if (!error) error = setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, KeepIdleSeconds);
    if (!error) error = setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, KeepIntervalSeconds);
    if (!error) error = setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, KeepCount);
    if (!error) error = setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(UserTimeoutMs));
    return error;
}

int connectWithin(int fd, const addrinfo& address, std::chrono::milliseconds timeout) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    pollfd watched{fd, POLLOUT, 0};
    int ready;
    do
        ready = ::poll(&watched, 1, static_cast<int>(timeout.count()));
    while (ready < 0 && errno == EINTR);
    if (ready == 0) return ETIMEDOUT;
    if (ready < 0) return errno;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

class PosixNetworkSocket final : public NetworkSocket {
public:
    PosixNetworkSocket(UniqueFd fd, UniqueFd wakeRead, UniqueFd wakeWrite)
        : fd_(std::move(fd)), wakeRead_(std::move(wakeRead)), wakeWrite_(std::move(wakeWrite)) {}
    ~PosixNetworkSocket() override { abort(); }

    int send(std::span<const std::uint8_t> bytes, std::size_t& sent) override {
        std::shared_lock lock(gate_);
        sent = 0;
        if (!fd_.valid()) return EBADF;
        const ssize_t n = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : errno;
        sent = static_cast<std::size_t>(n);
        return 0;
    }

    int receive(std::vector<std::uint8_t>& into, std::size_t limit) override {
        std::shared_lock lock(gate_);
        if (!fd_.valid()) return EBADF;
        const std::size_t had = into.size();
        into.resize(had + limit);
        const ssize_t n = ::recv(fd_.get(), into.data() + had, limit, MSG_DONTWAIT);
        into.resize(had + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n == 0 && limit > 0) return ECONNRESET;
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : errno;
        return 0;
    }

    void wait(Watch watch, std::chrono::milliseconds timeout) override {
        // Waiting for a wake-up alone needs no descriptor, so it never holds up an abort.
        std::shared_lock lock(gate_, std::defer_lock);
        if (watch != Watch::WakeOnly) lock.lock();
        pollfd fds[2] = {{wakeRead_.get(), POLLIN, 0}, {fd_.get(), POLLIN, 0}};
        if (watch == Watch::ReadableOrWritable) fds[1].events |= POLLOUT;
        const nfds_t count = lock.owns_lock() && fd_.valid() ? 2 : 1;
        if (::poll(fds, count, static_cast<int>(timeout.count())) > 0 && fds[0].revents) drainWake();
    }

    void wake() override {
        const char byte = 1;
        [[maybe_unused]] auto n = ::write(wakeWrite_.get(), &byte, 1); // a full pipe already wakes the waiter
    }

    void abort() override {
        wake(); // a waiter lets go of the gate, so the descriptor is never closed under its poll
        std::unique_lock lock(gate_);
        if (!fd_.valid()) return;
        const linger reset{1, 0};
        ::setsockopt(fd_.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        fd_.reset();
    }

private:
    void drainWake() {
        char bytes[64];
        while (::read(wakeRead_.get(), bytes, sizeof bytes) > 0) {
        }
    }

    // Shared by the calls that use the descriptor, taken alone by the abort that closes it.
    std::shared_mutex gate_;
    UniqueFd fd_;
    UniqueFd wakeRead_, wakeWrite_;
};

UniqueFd connectedTo(const addrinfo& address, std::chrono::milliseconds timeout, int& error) {
    UniqueFd fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
    if (!fd.valid()) {
        error = errno;
        return {};
    }
    error = connectWithin(fd.get(), address, timeout);
    if (!error) error = tuneConnection(fd.get());
    return error ? UniqueFd() : std::move(fd);
}

} // namespace

const NetworkCodes& networkCodes() {
    static constexpr NetworkCodes codes{EINPROGRESS, ETIMEDOUT, ENOPROTOOPT, EDESTADDRREQ, ECONNRESET};
    return codes;
}

std::unique_ptr<NetworkSocket> connectSocket(const std::string& host, std::uint16_t port,
                                             std::chrono::milliseconds timeout, int& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); status != 0) {
        error = status == EAI_SYSTEM ? errno : status;
        return nullptr;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    // Each address in turn, within the one time-out for them all.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    UniqueFd fd;
    error = ETIMEDOUT;
    for (const addrinfo* a = found; a && !fd.valid(); a = a->ai_next) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        fd = connectedTo(*a, left, error);
    }
    if (!fd.valid()) return nullptr;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<PosixNetworkSocket>(std::move(fd), UniqueFd(pipeFds[0]), UniqueFd(pipeFds[1]));
}
