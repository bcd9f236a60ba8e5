#pragma once

#include "posix/UniqueFd.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// A Unix-domain socket on the event loop that takes one short line from each peer, answers it and
// hangs up. Nobody can wear it out: a peer that says nothing in time is dropped, only a few peers are
// served at once (a new one takes the place of the oldest), an accept that fails is tried again a
// little later, and a socket file that was removed or replaced is made anew. The file is open to the
// user alone; the folder it lies in must be the user's own.
class RequestListener : public QObject {
public:
    // The answer to a request line, or nothing to hang up without one. Lines go without their '\n'.
    using Answer = std::function<std::optional<std::string>(std::string_view request)>;

    // Longer lines are no request of ours.
    static constexpr std::size_t MaxRequest = 160;
    static constexpr std::size_t MaxPeers = 8;
    static constexpr std::chrono::milliseconds PeerPatience{1000};
    // How often the socket file is looked for, and how soon a failed accept is tried again.
    static constexpr std::chrono::milliseconds CheckInterval{1000};
    static constexpr std::chrono::milliseconds AcceptRetry{200};

    // Removes whatever lies at path first: the caller has made sure the place is its own.
    RequestListener(std::string path, Answer answer, QObject* parent = nullptr);
    ~RequestListener() override;

    bool listening() const { return socket_.valid(); }
    std::size_t peers() const { return peers_.size(); }

private:
    struct Peer {
        UniqueFd fd;
        std::unique_ptr<QSocketNotifier> readable;
        std::chrono::steady_clock::time_point deadline;
        std::string line;
    };

    void listen();
    void stopListening();
    void acceptPeers();
    void pauseAccepting();
    void readFrom(Peer& peer);
    void drop(Peer& peer);
    void sweep();
    void checkSocketFile();

    std::string path_;
    Answer answer_;
    UniqueFd socket_;
    ino_t inode_ = 0;
    dev_t device_ = 0;
    std::unique_ptr<QSocketNotifier> incoming_;
    std::vector<std::unique_ptr<Peer>> peers_; // oldest first
    QTimer sweepTimer_;
    QTimer checkTimer_;
    QTimer retryTimer_;
};

// Sends one request line (without its '\n') to the listener at path and waits, within patience in all,
// for the line of its answer; nothing when nobody answers. Blocks: for a program without windows yet.
std::optional<std::string> sendRequest(const std::string& path, std::string_view requestLine,
                                       std::chrono::milliseconds patience);
