#pragma once

#include "posix/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal whose slave side the link opens by path, while the test plays the far end.
class PtyPair {
public:
    PtyPair();

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_.get(); }

    void write(const std::vector<std::uint8_t>& bytes) const;
    // Reads until count bytes have come or the time is up.
    std::vector<std::uint8_t> read(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(2)) const;
    // The bytes the far end wrote that the slave side holds unread. A write reaches it a moment
    // later, when the kernel gets to it, not at once.
    int waitingAtSlave() const;
    // Hangs the far end up: the slave side then fails its calls.
    void closeMaster() { master_.reset(); }

private:
    UniqueFd master_;
    UniqueFd slave_; // held open so the master side never sees a hang-up between the link's opens
    std::string slavePath_;
};
