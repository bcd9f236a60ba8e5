#pragma once

#include "link/SerialDevice.h"

#include <memory>
#include <mutex>
#include <string>

// Opens network port names without ever making the caller wait: the first call starts connecting
// on a thread of its own (a bounded connect, then the COM-port negotiation), and a later call takes
// the line once it is there. Until then a call fails as Connecting, or with the last attempt's
// failure while the next attempt is under way, so a line looked for once a second reads steadily.
class NetworkLineOpener {
public:
    std::shared_ptr<SerialDevice> open(const std::string& portName, int& error);

private:
    struct Attempt;
    void start(const std::string& portName);

    std::mutex mutex_;
    std::shared_ptr<Attempt> attempt_;
    std::string lastName_;
    int lastError_ = 0;
};

// The opener for every port name: network names through a NetworkLineOpener of its own, the rest
// through local.
DeviceOpener withNetworkLines(DeviceOpener local);
