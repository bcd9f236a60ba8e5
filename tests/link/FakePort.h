#pragma once

#include "base/MainLoop.h"
#include "link/SerialLink.h"
#include "tests/link/FakeSerialDevice.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct ReportRecord {
    std::uint32_t place;
    std::uint32_t code;
    std::string msg;
    std::uint8_t noise;
    bool operator==(const ReportRecord&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const ReportRecord& r) {
    return os << "{" << r.place << ", " << r.code << ", \"" << r.msg << "\", " << int(r.noise) << "}";
}

inline std::ostream& operator<<(std::ostream& os, PortFault fault) {
    return os << "fault " << static_cast<int>(fault);
}

inline std::ostream& operator<<(std::ostream& os, const PortFailure& f) {
    return os << "{" << f.fault << ", errno " << f.error << ", " << f.devicePath << ", group '" << f.group
              << "', user '" << f.user << "', speed " << f.speed << "}";
}

// A link wired to a fake device, recording every report it makes. With a manual clock the worker's
// tick counter moves only when the test moves it.
class FakePort {
public:
    explicit FakePort(bool manualClock = false) {
        auto opener = [this](const std::string& name, int& error) -> std::shared_ptr<SerialDevice> {
            openedNames.push_back(name);
            error = openError;
            return openError ? nullptr : device;
        };
        TSerialLink::TickSource ticks = TSerialLink::defaultTicks();
        if (manualClock) ticks = [this] { return tick.load(); };
        link = std::make_unique<TSerialLink>(opener, ticks);
        link->setOnProcessError(
            [this](TSerialLink&, std::uint32_t place, std::uint32_t code, const std::string& msg, std::uint8_t noise) {
                reports.push_back({place, code, msg, noise});
            });
    }

    std::vector<std::uint32_t> places() const {
        std::vector<std::uint32_t> result;
        for (const auto& r : reports)
            result.push_back(r.place);
        return result;
    }
    int count(std::uint32_t place) const {
        int n = 0;
        for (const auto& r : reports)
            n += r.place == place;
        return n;
    }
    bool reported(const ReportRecord& record) const {
        return std::find(reports.begin(), reports.end(), record) != reports.end();
    }

    std::shared_ptr<FakeSerialDevice> device = std::make_shared<FakeSerialDevice>();
    std::vector<std::string> openedNames;
    int openError = 0;
    std::vector<ReportRecord> reports;
    std::atomic<std::uint32_t> tick{1000};
    std::unique_ptr<TSerialLink> link;
};

// Runs the main loop until cond holds or the limit passes.
template <typename Cond> bool pumpUntil(Cond cond, int limitMs = 2000) {
    return mainLoop().runUntil(cond, std::chrono::milliseconds(limitMs));
}
