#include "Options.h"

#include "SerialLine.h"
#include "cli/ArgumentTrail.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

constexpr std::chrono::milliseconds MaxDelay{60'000};

std::optional<long> parseInteger(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Appended rather than "'" + std::string(text): that form trips a false -Wrestrict in GCC 12 at -O3.
std::string quoted(std::string_view text) {
    std::string result;
    result.append("'").append(text).append("'");
    return result;
}

using Error = std::optional<std::string>;

Error setPath(std::string& path, std::string_view name, std::string_view value) {
    if (value.empty()) return std::string(name) + " needs a non-empty path";
    path = value;
    return std::nullopt;
}

Error setSpeed(Options& options, std::string_view value) {
    const auto speed = parseInteger(value);
    if (!speed || !termiosSpeed(*speed)) return "--speed: " + quoted(value) + " is not a standard serial speed";
    options.speed = static_cast<int>(*speed);
    return std::nullopt;
}

Error setId(Options& options, std::string_view value) {
    const auto id = parseInteger(value);
    if (!id || *id < 0 || *id > 255) return "--id: " + quoted(value) + " is not a number from 0 to 255";
    options.id = static_cast<std::uint8_t>(*id);
    return std::nullopt;
}

Error setAnswer(Options& options, std::string_view value) {
    if (value == "x")
        options.answer = Answer::Ok;
    else if (value == "y")
        options.answer = Answer::Busy;
    else if (value == "none")
        options.answer = Answer::None;
    else
        return "--answer: " + quoted(value) + " is not one of x, y, none";
    return std::nullopt;
}

Error setDelay(Options& options, std::string_view value) {
    const auto delay = parseInteger(value);
    if (!delay || *delay < 0 || *delay > MaxDelay.count())
        return "--delay: " + quoted(value) + " is not a number of milliseconds from 0 to " +
               std::to_string(MaxDelay.count());
    options.delay = std::chrono::milliseconds(*delay);
    return std::nullopt;
}

// Stores one option's value; returns what is wrong with it, or nothing.
struct ValueOption {
    std::string_view name;
    Error (*set)(Options&, std::string_view);
};

const ValueOption valueOptions[] = {
    {"--device", [](Options& o, std::string_view v) { return setPath(o.devicePath, "--device", v); }},
    {"--link", [](Options& o, std::string_view v) { return setPath(o.linkPath, "--link", v); }},
    {"--speed", setSpeed},
    {"--id", setId},
    {"--answer", setAnswer},
    {"--delay", setDelay},
};

// Each option as it comes; a value that is the next option is none. What is not an option stays behind.
void declareOptions(CLI::App& app, ArgumentTrail& trail, Options& options) {
    app.set_help_flag();
    app.allow_extras();
    for (const ValueOption& option : valueOptions) {
        app.add_option(std::string(option.name),
                       [&](const CLI::results_t& read) {
                           const ArgumentTrail::Value value = trail.value(option.name, read.front());
                           if (!value.joined && value.text.starts_with("--"))
                               throw ArgumentRefused(std::string(option.name) + " needs a value");
                           if (const Error error = option.set(options, value.text)) throw ArgumentRefused(*error);
                           return true;
                       })
            ->trigger_on_parse();
    }
}

ParsedArguments invalid(std::string message) {
    return {ParsedArguments::Outcome::Invalid, {}, std::move(message)};
}

} // namespace

ParsedArguments parseArguments(std::span<const std::string_view> args) {
    const bool wantsHelp =
        std::any_of(args.begin(), args.end(), [](auto arg) { return arg == "--help" || arg == "-h"; });
    if (wantsHelp) return {ParsedArguments::Outcome::ShowHelp, {}, {}};

    Options options;
    ArgumentTrail trail(args);
    CLI::App app;
    declareOptions(app, trail, options);
    std::string stoppedBy;
    try {
        trail.parse(app);
    } catch (const ArgumentRefused& refused) {
        stoppedBy = refused.what();
    } catch (const CLI::ArgumentMismatch&) {
        stoppedBy = std::string(args.back()) + " needs a value";
    }
    // Anything left behind came before what stopped the parse, so it is the first fault.
    const std::vector<std::string> rest = app.remaining();
    if (!rest.empty()) return invalid("unknown argument " + quoted(std::string_view(rest.front())));
    if (!stoppedBy.empty()) return invalid(stoppedBy);
    if (!options.linkPath.empty() && !options.devicePath.empty())
        return invalid("--link names a pseudo-terminal and cannot be used with --device");
    return {ParsedArguments::Outcome::Run, options, {}};
}

std::string usage(std::string_view programName) {
    return "Usage: " + std::string(programName) + R"( [options]

Plays a video recorder on a serial line: reads key frames, logs them and answers.

  --device PATH       use this serial device instead of creating a pseudo-terminal
  --speed N           line speed in baud (default 9600)
  --link PATH         also make PATH a symlink to the pseudo-terminal (removed on exit)
  --id N              answer only frames for recorder id N, 0..255 (default: any id)
  --answer x|y|none   reply X (ok), Y (busy) or nothing (default x)
  --delay MS          wait MS milliseconds before each reply (default 0)
  --help              show this text

The first line printed is "device: PATH", the line to connect the remote control to.

SIGUSR1 makes the recorder vanish as an unplugged adapter does: it stops answering, hangs up its
pseudo-terminal (or closes --device) and removes the --link. SIGUSR2 brings it back on a new
pseudo-terminal at the same --link path and prints "device: PATH" again.
)";
}
