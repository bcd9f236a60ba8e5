#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What lumevanta-send was asked to do. Settings left out come from the options file.
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

// Takes the arguments without the program name. An option's value follows it or comes after "=".
ParsedSendArguments parseSendArguments(std::span<const std::string_view> args);

std::string sendUsage();
