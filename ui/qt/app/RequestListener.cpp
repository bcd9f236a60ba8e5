#include "app/RequestListener.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::optional<sockaddr_un> addressOf(const std::string& path) {
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof where.sun_path) return std::nullopt;
    std::memcpy(where.sun_path, path.data(), path.size());
    return where;
}

// A notifier may be the one whose signal is running: it goes once the event loop is back.
void retire(std::unique_ptr<QSocketNotifier>& notifier, QObject* owner) {
    if (!notifier) return;
    notifier->setEnabled(false);
    notifier->setParent(owner); // gone with the owner should the loop never come back
    notifier.release()->deleteLater();
}

bool isPeerGoneError(int error) {
    return error == ECONNABORTED || error == EPROTO || error == EINTR;
}

bool isOutOfResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

RequestListener::RequestListener(std::string path, Answer answer, QObject* parent)
    : QObject(parent), path_(std::move(path)), answer_(std::move(answer)) {
    sweepTimer_.setInterval(PeerPatience / 4);
    connect(&sweepTimer_, &QTimer::timeout, this, &RequestListener::sweep);
    checkTimer_.setInterval(CheckInterval);
    connect(&checkTimer_, &QTimer::timeout, this, &RequestListener::checkSocketFile);
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(AcceptRetry);
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        if (incoming_) incoming_->setEnabled(true);
    });
    listen();
    checkTimer_.start();
}

RequestListener::~RequestListener() {
    stopListening();
}

void RequestListener::listen() {
    const auto where = addressOf(path_);
    if (!where) return;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return;
    // The mode of the socket before binding is the file's; the user's umask may not be strict enough.
    ::fchmod(fd.get(), 0600);
    ::unlink(path_.c_str());
    struct stat st {};
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*where), sizeof *where) != 0 ||
        ::listen(fd.get(), SOMAXCONN) != 0 || ::lstat(path_.c_str(), &st) != 0)
        return;
    socket_ = std::move(fd);
    inode_ = st.st_ino;
    device_ = st.st_dev;
    incoming_ = std::make_unique<QSocketNotifier>(socket_.get(), QSocketNotifier::Read);
    connect(incoming_.get(), &QSocketNotifier::activated, this, &RequestListener::acceptPeers);
}

void RequestListener::stopListening() {
    retire(incoming_, this);
    if (!socket_.valid()) return;
    // Only our own socket goes; a file put there since is left alone.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && st.st_ino == inode_ && st.st_dev == device_) ::unlink(path_.c_str());
    socket_.reset();
}

void RequestListener::acceptPeers() {
    for (;;) {
        UniqueFd fd(::accept4(socket_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.valid()) {
            const int error = errno;
            if (error == EAGAIN || error == EWOULDBLOCK) return;
            if (isPeerGoneError(error)) continue;
            if (isOutOfResources(error)) return pauseAccepting();
            // The socket itself broke: a new one in its place.
            stopListening();
            listen();
            return;
        }
        if (peers_.size() >= MaxPeers) drop(*peers_.front());
        auto peer = std::make_unique<Peer>();
        peer->fd = std::move(fd);
        peer->deadline = Clock::now() + PeerPatience;
        peer->readable = std::make_unique<QSocketNotifier>(peer->fd.get(), QSocketNotifier::Read);
        Peer* taken = peer.get();
        connect(peer->readable.get(), &QSocketNotifier::activated, this, [this, taken] { readFrom(*taken); });
        peers_.push_back(std::move(peer));
        if (!sweepTimer_.isActive()) sweepTimer_.start();
        // A line already there is served now, before a crowd of newer peers can push this one out.
        readFrom(*taken);
    }
}

// Out of descriptors or memory: the listening notifier would fire again at once, so it waits a little.
void RequestListener::pauseAccepting() {
    incoming_->setEnabled(false);
    retryTimer_.start();
}

void RequestListener::readFrom(Peer& peer) {
    char buffer[MaxRequest];
    const ssize_t got = ::recv(peer.fd.get(), buffer, MaxRequest - peer.line.size(), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got <= 0) return drop(peer);
    peer.line.append(buffer, static_cast<std::size_t>(got));
    const std::size_t end = peer.line.find('\n');
    if (end == std::string::npos) {
        if (peer.line.size() >= MaxRequest) drop(peer);
        return;
    }
    // Taken out first: whatever the answer does, this peer is done with.
    const std::string request = peer.line.substr(0, end);
    UniqueFd fd = std::move(peer.fd);
    drop(peer);
    if (const auto reply = answer_(request)) {
        const std::string line = *reply + '\n';
        (void)::send(fd.get(), line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
}

void RequestListener::drop(Peer& peer) {
    const auto found = std::find_if(peers_.begin(), peers_.end(), [&](const auto& p) { return p.get() == &peer; });
    if (found == peers_.end()) return; // an answer that turned the event loop may have seen it go
    retire(peer.readable, this);
    peers_.erase(found);
    if (peers_.empty()) sweepTimer_.stop();
}

void RequestListener::sweep() {
    const Clock::time_point now = Clock::now();
    while (!peers_.empty() && peers_.front()->deadline <= now)
        drop(*peers_.front());
}

void RequestListener::checkSocketFile() {
    struct stat st {};
    if (socket_.valid() && ::lstat(path_.c_str(), &st) == 0 && st.st_ino == inode_ && st.st_dev == device_) return;
    stopListening();
    listen();
}

namespace {

void setTimeouts(int fd, Clock::time_point deadline) {
    const auto left = std::max(std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()),
                               std::chrono::microseconds(1));
    const timeval wait{static_cast<time_t>(left.count() / 1000000), static_cast<suseconds_t>(left.count() % 1000000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}

} // namespace

std::optional<std::string> sendRequest(const std::string& path, std::string_view requestLine,
                                       std::chrono::milliseconds patience) {
    const std::string line = std::string(requestLine) + '\n';
    std::string_view request = line;
    const Clock::time_point deadline = Clock::now() + patience;
    const auto where = addressOf(path);
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!where || !fd.valid()) return std::nullopt;
    // A blocking connect waits for room in the listener's queue, no longer than the send time-out.
    setTimeouts(fd.get(), deadline);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*where), sizeof *where) != 0) return std::nullopt;
    while (!request.empty()) {
        setTimeouts(fd.get(), deadline);
        const ssize_t sent = ::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL);
        if (sent <= 0) return std::nullopt;
        request.remove_prefix(static_cast<std::size_t>(sent));
    }
    std::string answer;
    while (answer.find('\n') == std::string::npos && answer.size() < RequestListener::MaxRequest) {
        setTimeouts(fd.get(), deadline);
        char buffer[RequestListener::MaxRequest];
        const ssize_t got = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (got <= 0 || Clock::now() > deadline) return std::nullopt;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t end = answer.find('\n');
    if (end == std::string::npos) return std::nullopt;
    return answer.substr(0, end);
}
