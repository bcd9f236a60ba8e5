#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// A TCP connection to a serial device server, as the network line needs it from the platform's
// sockets: non-blocking sends and receives, a bounded wait that another thread can cut short, and
// an abortive close. Errors are the platform's codes (errno, or WSA codes on Windows); 0 is success.
class NetworkSocket {
public:
    enum class Watch { WakeOnly, Readable, ReadableOrWritable };

    virtual ~NetworkSocket() = default;
    // How many bytes went out now, 0 when the socket's buffer is full.
    virtual int send(std::span<const std::uint8_t> bytes, std::size_t& sent) = 0;
    // Appends what has arrived, up to limit bytes; the server's close is the code of a closed connection.
    virtual int receive(std::vector<std::uint8_t>& into, std::size_t limit) = 0;
    // Returns when what is watched is ready, wake() was called, or the time is up.
    virtual void wait(Watch watch, std::chrono::milliseconds timeout) = 0;
    virtual void wake() = 0;
    // Resets the connection: nothing still unsent goes out, and later calls fail.
    virtual void abort() = 0;
};

// What the network line itself has to say, in the platform's codes, so the link names it as the
// system's own failures are named.
struct NetworkCodes {
    int inProgress;     // connecting is still under way
    int timedOut;       // no answer in time
    int refusedOption;  // the server refused the COM-port option or a line setting
    int badAddress;     // the port name is not a well-formed network address
    int closedByServer; // the server ended the connection
};
const NetworkCodes& networkCodes();

// Resolves host and connects to it within timeout, with the keepalive that finds a dead line in
// seconds. Blocks for as long as that takes: call it off the user-interface thread.
std::unique_ptr<NetworkSocket> connectSocket(const std::string& host, std::uint16_t port,
                                             std::chrono::milliseconds timeout, int& error);
