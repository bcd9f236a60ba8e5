#include "cli/SendArguments.h"

#include "cli/ArgumentTrail.h"
#include "settings/OptionsFile.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

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

// The switches and the spellings each is given by.
struct Switch {
    std::string_view names; // as CLI11 takes them
    std::vector<std::string_view> spellings;
    bool SendRequest::*field;
};

const Switch switches[] = {
    {"--quiet,-q", {"--quiet", "-q"}, &SendRequest::quiet},
    {"--list", {"--list"}, &SendRequest::list},
    {"--help,-h", {"--help", "-h"}, &SendRequest::help},
};

std::string unknownOption(std::string_view arg) {
    return "unknown option '" + std::string(arg) + "'";
}

// The options CLI11 reads for the request, each as it comes; what is not an option stays behind.
void declareOptions(CLI::App& app, ArgumentTrail& trail, SendRequest& request) {
    app.set_help_flag();
    app.allow_extras();
    for (const ValueOption& option : valueOptions) {
        app.add_option(std::string(option.name),
                       [&](const CLI::results_t& read) {
                           const std::string problem = option.set(request, trail.value(option.name, read.front()).text);
                           if (!problem.empty()) throw ArgumentRefused(problem);
                           return true;
                       })
            ->trigger_on_parse();
    }
    for (const Switch& flag : switches) {
        // CLI11 also takes "--quiet=1" and "-qx" as the switch; we do not.
        app.add_option(std::string(flag.names),
                       [&](const CLI::results_t&) {
                           const std::string& arg = trail.lastTaken();
                           if (std::find(flag.spellings.begin(), flag.spellings.end(), arg) == flag.spellings.end())
                               throw ArgumentRefused(unknownOption(arg));
                           request.*flag.field = true;
                           return true;
                       })
            ->expected(0)
            ->trigger_on_parse();
    }
}

// What CLI11 left behind, in order, up to where parsing stopped: keys, options it does not know, and
// the "--" after which everything is a key. Returns what is wrong, or nothing.
std::string takeKeys(const std::vector<std::string>& rest, SendRequest& request) {
    bool optionsEnded = false;
    for (const std::string& arg : rest) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with('-') && arg != "-") {
            return unknownOption(arg);
        } else {
            request.keys.push_back(arg);
        }
    }
    return {};
}

} // namespace

ParsedSendArguments parseSendArguments(std::span<const std::string_view> args) {
    ParsedSendArguments parsed;
    SendRequest& request = parsed.request;
    ArgumentTrail trail(args);
    CLI::App app;
    declareOptions(app, trail, request);
    std::string stoppedBy;
    try {
        trail.parse(app);
    } catch (const ArgumentRefused& refused) {
        stoppedBy = refused.what();
    } catch (const CLI::ArgumentMismatch&) {
        stoppedBy = std::string(args.back()) + " needs a value";
    }
    // Anything left behind came before what stopped the parse, so its fault is the first.
    parsed.error = takeKeys(app.remaining(), request);
    if (parsed.error.empty()) parsed.error = stoppedBy;
    if (!parsed.error.empty() || request.help) return parsed;
    if (request.list && !request.keys.empty())
        parsed.error = "--list takes no keys";
    else if (!request.list && request.keys.empty())
        parsed.error = "no key to send";
    return parsed;
}
