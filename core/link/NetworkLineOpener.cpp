#include "link/NetworkLineOpener.h"

#include "link/NetworkPortName.h"
#include "link/NetworkSerialDevice.h"
#include "link/NetworkSocket.h"

#include <chrono>
#include <thread>

namespace {

constexpr auto ConnectLimit = std::chrono::seconds(3);
// A live server agrees to the COM-port option at once; one that has stopped never does.
constexpr auto NegotiationLimit = std::chrono::milliseconds(300);

} // namespace

struct NetworkLineOpener::Attempt {
    std::mutex mutex;
    bool done = false;
    std::shared_ptr<SerialDevice> device;
    int error = 0;
};

std::shared_ptr<SerialDevice> NetworkLineOpener::open(const std::string& portName, int& error) {
    std::lock_guard lock(mutex_);
    if (portName != lastName_) {
        attempt_.reset(); // one for another name is left to end on its own
        lastName_ = portName;
        lastError_ = networkCodes().inProgress;
    }
    // Held here, the attempt outlives the lock on its mutex even once attempt_ lets it go.
    if (const auto attempt = attempt_) {
        std::lock_guard result(attempt->mutex);
        if (!attempt->done) {
            error = lastError_;
            return nullptr;
        }
        auto device = std::move(attempt->device);
        lastError_ = attempt->error;
        attempt_.reset();
        if (device) {
            lastError_ = networkCodes().inProgress; // the next time this name is opened, it connects anew
            error = 0;
            return device;
        }
    }
    start(portName);
    error = lastError_;
    return nullptr;
}

void NetworkLineOpener::start(const std::string& portName) {
    const auto address = parseNetworkPort(portName);
    if (!address) {
        lastError_ = networkCodes().badAddress;
        return;
    }
    attempt_ = std::make_shared<Attempt>();
    // The thread owns what it works on, so a program that ends meanwhile need not wait for the
    // resolver or the connect; its result is simply never taken.
    std::thread([attempt = attempt_, address = *address] {
        int error = 0;
        std::shared_ptr<SerialDevice> device;
        if (auto socket = connectSocket(address.host, address.port, ConnectLimit, error)) {
            auto line = std::make_shared<NetworkSerialDevice>(std::move(socket), address.protocol);
            const DeviceStatus status = line->negotiate(NegotiationLimit);
            error = status.error;
            if (status.ok()) device = std::move(line);
        }
        std::lock_guard lock(attempt->mutex);
        attempt->device = std::move(device);
        attempt->error = error;
        attempt->done = true;
    }).detach();
}

DeviceOpener withNetworkLines(DeviceOpener local) {
    auto network = std::make_shared<NetworkLineOpener>();
    return [network, local = std::move(local)](const std::string& portName, int& error) {
        return isNetworkPortName(portName) ? network->open(portName, error) : local(portName, error);
    };
}
