#include "Options.h"

#include "SerialLine.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr std::chrono::milliseconds MaxDelay{60'000};

constexpr std::array ValueOptions = {std::string_view("--device"), std::string_view("--link"),
                                     std::string_view("--speed"),  std::string_view("--id"),
                                     std::string_view("--answer"), std::string_view("--delay")};

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

Error apply(Options& options, std::string_view name, std::string_view value) {
    if (name == "--device") return setPath(options.devicePath, name, value);
    if (name == "--link") return setPath(options.linkPath, name, value);
    if (name == "--speed") return setSpeed(options, value);
    if (name == "--id") return setId(options, value);
    if (name == "--answer") return setAnswer(options, value);
    return setDelay(options, value);
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
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        if (std::find(ValueOptions.begin(), ValueOptions.end(), name) == ValueOptions.end())
            return invalid("unknown argument " + quoted(arg));

        std::string_view value;
        if (equals != std::string_view::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size() && !args[i + 1].starts_with("--"))
            value = args[++i];
        else
            return invalid(std::string(name) + " needs a value");

        if (const Error error = apply(options, name, value)) return invalid(*error);
    }
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
