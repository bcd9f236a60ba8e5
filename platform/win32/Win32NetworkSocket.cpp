#include "link/NetworkSocket.h"

#include "win32/WideText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mstcpip.h>

#include <mutex>
#include <shared_mutex>
#include <utility>

namespace {

// Keepalive finds an idle dead line within seconds; Windows sends its own fixed count of probes.
constexpr ULONG KeepIdleMs = 2000, KeepIntervalMs = 1000;
// TCP_MAXRT, which MinGW's headers lack: how long unacknowledged bytes are sent again before the
// connection counts as dead.
constexpr int TcpMaxRetransmit = 5;
constexpr DWORD MaxRetransmitSeconds = 5;

// Winsock is started once for the process and left running until it ends.
int startWinsock() {
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return started;
}

// A socket owned, closed once.
class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
    UniqueSocket(UniqueSocket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other) {
            reset();
            socket_ = std::exchange(other.socket_, INVALID_SOCKET);
        }
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    ~UniqueSocket() { reset(); }

    SOCKET get() const { return socket_; }
    bool valid() const { return socket_ != INVALID_SOCKET; }
    void reset() {
        if (valid()) closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

int makeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0 ? 0 : WSAGetLastError();
}

int tuneConnection(SOCKET socket) {
    // Frames go out a byte at a time; Nagle's algorithm would hold each byte back for an ACK.
    const BOOL on = TRUE;
    if (setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return WSAGetLastError();
    tcp_keepalive keepalive{1, KeepIdleMs, KeepIntervalMs};
    DWORD returned = 0;
    if (WSAIoctl(socket, SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &returned, nullptr, nullptr) !=
        0)
        return WSAGetLastError();
    // Older Windows and wine do not know it; the line is then found dead later, not never.
    setsockopt(socket, IPPROTO_TCP, TcpMaxRetransmit, reinterpret_cast<const char*>(&MaxRetransmitSeconds),
               sizeof MaxRetransmitSeconds);
    return 0;
}

timeval timeoutIn(std::chrono::milliseconds timeout) {
    const long ms = static_cast<long>(timeout.count());
    return {ms / 1000, (ms % 1000) * 1000};
}

int connectWithin(SOCKET socket, const ADDRINFOW& address, std::chrono::milliseconds timeout) {
    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return 0;
    if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) return error;
    // A failed connect shows in the exception set, a made one in the write set.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval limit = timeoutIn(timeout);
    const int ready = select(0, nullptr, &writable, &failed, &limit);
    if (ready == 0) return WSAETIMEDOUT;
    if (ready < 0) return WSAGetLastError();
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) return WSAGetLastError();
    return FD_ISSET(socket, &failed) && error == 0 ? WSAECONNREFUSED : error;
}

UniqueSocket connectedTo(const ADDRINFOW& address, std::chrono::milliseconds timeout, int& error) {
    UniqueSocket socket(WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol, nullptr, 0,
                                   WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
    if (!socket.valid()) {
        error = WSAGetLastError();
        return {};
    }
    error = makeNonBlocking(socket.get());
    if (!error) error = connectWithin(socket.get(), address, timeout);
    if (!error) error = tuneConnection(socket.get());
    return error ? UniqueSocket() : std::move(socket);
}

// What wakes a waiter: a datagram socket on the loopback that sends to itself, so that one select
// watches it beside the connection (Winsock has no pipes to poll).
UniqueSocket wakeSocket(int& error) {
    UniqueSocket socket(WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    if (!socket.valid() || bind(socket.get(), any, size) != 0 || getsockname(socket.get(), any, &size) != 0 ||
        connect(socket.get(), any, size) != 0) {
        error = WSAGetLastError();
        return {};
    }
    error = makeNonBlocking(socket.get());
    return error ? UniqueSocket() : std::move(socket);
}

bool wouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

class Win32NetworkSocket final : public NetworkSocket {
public:
    Win32NetworkSocket(UniqueSocket socket, UniqueSocket wake) : socket_(std::move(socket)), wake_(std::move(wake)) {}
    ~Win32NetworkSocket() override { abort(); }

    int send(std::span<const std::uint8_t> bytes, std::size_t& sent) override {
        std::shared_lock lock(gate_);
        sent = 0;
        if (!socket_.valid()) return WSAENOTSOCK;
        const int n =
            ::send(socket_.get(), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
        if (n < 0) return wouldBlock(WSAGetLastError()) ? 0 : WSAGetLastError();
        sent = static_cast<std::size_t>(n);
        return 0;
    }

    int receive(std::vector<std::uint8_t>& into, std::size_t limit) override {
        std::shared_lock lock(gate_);
        if (!socket_.valid()) return WSAENOTSOCK;
        const std::size_t had = into.size();
        into.resize(had + limit);
        const int n = recv(socket_.get(), reinterpret_cast<char*>(into.data() + had), static_cast<int>(limit), 0);
        const int error = n < 0 ? WSAGetLastError() : 0;
        into.resize(had + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n == 0 && limit > 0) return WSAECONNRESET;
        if (n < 0) return wouldBlock(error) ? 0 : error;
        return 0;
    }

    void wait(Watch watch, std::chrono::milliseconds timeout) override {
        // Waiting for a wake-up alone needs no connection, so it never holds up an abort.
        std::shared_lock lock(gate_, std::defer_lock);
        if (watch != Watch::WakeOnly) lock.lock();
        fd_set readable, writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(wake_.get(), &readable);
        if (lock.owns_lock() && socket_.valid()) {
            FD_SET(socket_.get(), &readable);
            if (watch == Watch::ReadableOrWritable) FD_SET(socket_.get(), &writable);
        }
        timeval limit = timeoutIn(timeout);
        if (select(0, &readable, &writable, nullptr, &limit) > 0 && FD_ISSET(wake_.get(), &readable)) drainWake();
    }

    void wake() override {
        const char byte = 1;
        ::send(wake_.get(), &byte, 1, 0); // a full buffer already wakes the waiter
    }

    void abort() override {
        wake(); // a waiter lets go of the gate, so the socket is never closed under its select
        std::unique_lock lock(gate_);
        if (!socket_.valid()) return;
        const linger reset{1, 0};
        setsockopt(socket_.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
        socket_.reset();
    }

private:
    void drainWake() {
        char bytes[64];
        while (recv(wake_.get(), bytes, sizeof bytes, 0) > 0) {
        }
    }

    // Shared by the calls that use the connection, taken alone by the abort that closes it.
    std::shared_mutex gate_;
    UniqueSocket socket_;
    UniqueSocket wake_;
};

} // namespace

const NetworkCodes& networkCodes() {
    static constexpr NetworkCodes codes{WSAEINPROGRESS, WSAETIMEDOUT, WSAENOPROTOOPT, WSAEDESTADDRREQ, WSAECONNRESET};
    return codes;
}

std::unique_ptr<NetworkSocket> connectSocket(const std::string& host, std::uint16_t port,
                                             std::chrono::milliseconds timeout, int& error) {
    if ((error = startWinsock()) != 0) return nullptr;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    ADDRINFOW* found = nullptr;
    const std::wstring name = widened(host);
    if (name.empty()) {
        error = WSAHOST_NOT_FOUND;
        return nullptr;
    }
    // The resolver's codes are Winsock's own (WSAHOST_NOT_FOUND and the like).
    if (const int status = GetAddrInfoW(name.c_str(), std::to_wstring(port).c_str(), &hints, &found); status != 0) {
        error = status;
        return nullptr;
    }
    const std::unique_ptr<ADDRINFOW, decltype(&FreeAddrInfoW)> addresses(found, &FreeAddrInfoW);
    // Each address in turn, within the one time-out for them all.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    UniqueSocket socket;
    error = WSAETIMEDOUT;
    for (const ADDRINFOW* a = found; a && !socket.valid(); a = a->ai_next) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        socket = connectedTo(*a, left, error);
    }
    if (!socket.valid()) return nullptr;
    UniqueSocket wake = wakeSocket(error);
    if (!wake.valid()) return nullptr;
    error = 0;
    return std::make_unique<Win32NetworkSocket>(std::move(socket), std::move(wake));
}
