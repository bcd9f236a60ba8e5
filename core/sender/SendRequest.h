#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What lumevanta-send was asked to do. Settings left out come from the options file. The command line
// is read by the front end (cli/SendArguments.h).
struct SendRequest {
    static constexpr int DefaultTimeoutMs = 1500; // the panel's own reply time-out

    std::optional<std::string> port;
    std::optional<std::uint32_t> speed;
    std::optional<std::uint8_t> id;
    std::optional<std::string> model;
    int timeoutMs = DefaultTimeoutMs;
    bool quiet = false;
    bool list = false;
    bool help = false;
    std::vector<std::string> keys;
};

struct ParsedSendArguments {
    SendRequest request;
    std::string error; // empty when the arguments make sense
};

// What --help prints.
std::string sendUsage();
