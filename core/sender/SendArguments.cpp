#include "sender/SendArguments.h"

#include "settings/OptionsFile.h"

#include <functional>
#include <limits>

namespace {

constexpr int LongestTimeoutMs = 10 * 60 * 1000;

std::optional<std::int64_t> numberIn(std::string_view text, std::int64_t lowest, std::int64_t highest) {
    const auto number = OptionsFile::readWholeNumber(text);
    if (!number || *number < lowest || *number > highest) return std::nullopt;
    return number;
}

// Stores one option's value; returns what is wrong with it, or nothing.
using ValueSetter = std::function<std::string(SendRequest&, std::string_view)>;

struct ValueOption {
    std::string_view name;
    ValueSetter set;
};

const ValueOption valueOptions[] = {
    {"--port",
     [](SendRequest& r, std::string_view v) {
         if (v.empty()) return std::string("--port needs a port name");
         r.port = std::string(v);
         return std::string();
     }},
    {"--speed",
     [](SendRequest& r, std::string_view v) {
         const auto n = numberIn(v, 1, std::numeric_limits<std::uint32_t>::max());
         if (!n) return "--speed '" + std::string(v) + "' is not a line speed in baud";
         r.speed = static_cast<std::uint32_t>(*n);
         return std::string();
     }},
    {"--id",
     [](SendRequest& r, std::string_view v) {
         const auto n = numberIn(v, 0, 255);
         if (!n) return "--id '" + std::string(v) + "' is not a recorder ID from 0 to 255";
         r.id = static_cast<std::uint8_t>(*n);
         return std::string();
     }},
    {"--model",
     [](SendRequest& r, std::string_view v) {
         if (v.empty()) return std::string("--model needs a recorder model");
         r.model = std::string(v);
         return std::string();
     }},
    {"--timeout",
     [](SendRequest& r, std::string_view v) {
         const auto n = numberIn(v, 1, LongestTimeoutMs);
         if (!n) return "--timeout '" + std::string(v) + "' is not a time in milliseconds from 1 to 600000";
         r.timeoutMs = static_cast<int>(*n);
         return std::string();
     }},
};

const ValueOption* valueOption(std::string_view name) {
    for (const ValueOption& option : valueOptions)
        if (option.name == name) return &option;
    return nullptr;
}

bool setSwitch(SendRequest& request, std::string_view name) {
    if (name == "--quiet" || name == "-q")
        request.quiet = true;
    else if (name == "--list")
        request.list = true;
    else if (name == "--help" || name == "-h")
        request.help = true;
    else
        return false;
    return true;
}

} // namespace

ParsedSendArguments parseSendArguments(std::span<const std::string_view> args) {
    ParsedSendArguments parsed;
    SendRequest& request = parsed.request;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || !arg.starts_with('-') || arg == "-") {
            request.keys.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (setSwitch(request, arg)) continue;
        const auto equals = arg.find('=');
        const ValueOption* option = valueOption(arg.substr(0, equals));
        if (!option) {
            parsed.error = "unknown option '" + std::string(arg) + "'";
        } else if (equals != std::string_view::npos) {
            parsed.error = option->set(request, arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            parsed.error = option->set(request, args[++i]);
        } else {
            parsed.error = std::string(option->name) + " needs a value";
        }
    }
    if (!parsed.error.empty() || request.help) return parsed;
    if (request.list && !request.keys.empty())
        parsed.error = "--list takes no keys";
    else if (!request.list && request.keys.empty())
        parsed.error = "no key to send";
    return parsed;
}

std::string sendUsage() {
    return "Usage: lumevanta-send [--port NAME] [--speed N] [--id N] [--model TYPE] [--timeout MS] [--quiet] KEY...\n"
           "       lumevanta-send --list [--model TYPE]\n"
           "\n"
           "Sends each KEY to the recorder as the panel would, waits for its answer and prints it.\n"
           "KEY is a key's name as --list shows it (play, ch01, menu; any case) or a key code\n"
           "(0x31 or 49). Settings not given come from the program's options.ini.\n"
           "\n"
           "  --port NAME    serial port: COM1, ttyUSB0, a device path, rfc2217://HOST:PORT or tcp://HOST:PORT\n"
           "  --speed N      line speed in baud\n"
           "  --id N         recorder ID, 0 to 255\n"
           "  --model TYPE   recorder model, which decides the key names (BRW721, CALVO942, ...)\n"
           "  --timeout MS   how long to wait for each answer; 1500 by default\n"
           "  --quiet        print nothing but errors\n"
           "  --list         print the model's keys: name, code and PC key\n"
           "\n"
           "Exit status: 0 every key answered ok, 1 some recorder busy, 2 some key got no answer,\n"
           "3 the port could not be opened, 4 bad usage.\n";
}
