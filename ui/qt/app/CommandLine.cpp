#include "app/CommandLine.h"

#include "app/BuildInfo.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ostream>

namespace CommandLine {
namespace {

constexpr int ExitBadArguments = 2;

struct QtOption {
    std::string_view name;
    bool takesValue;
    bool valueAfterEquals; // also accepted as -name=value
};

// The options QApplication and its X11 and Wayland platforms take out of the command line.
constexpr std::array<QtOption, 20> QtOptions{{
    {"platform", true, false},
    {"platformpluginpath", true, false},
    {"platformtheme", true, false},
    {"plugin", true, false},
    {"qwindowgeometry", true, false},
    {"qwindowicon", true, false},
    {"qwindowtitle", true, false},
    {"geometry", true, false},
    {"icon", true, false},
    {"title", true, false},
    {"display", true, false},
    {"name", true, false},
    {"visual", true, false},
    {"session", true, false},
    {"style", true, true},
    {"stylesheet", true, true},
    {"reverse", false, false},
    {"dograb", false, false},
    {"nograb", false, false},
    {"widgetcount", false, false},
}};

// Qt reads "--platform" as "-platform".
std::string_view withoutDashes(std::string_view arg) {
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    return arg;
}

const QtOption* findQtOption(std::string_view arg) {
    const std::string_view bare = withoutDashes(arg);
    const auto found = std::find_if(QtOptions.begin(), QtOptions.end(), [bare](const QtOption& option) {
        return bare == option.name || (option.valueAfterEquals && bare.starts_with(std::string(option.name) + "="));
    });
    return found == QtOptions.end() ? nullptr : &*found;
}

std::string quoted(std::string_view text) {
    std::string result;
    result.append("'").append(text).append("'");
    return result;
}

Parsed invalid(std::string error) {
    return {Outcome::Invalid, std::move(error)};
}

} // namespace

Parsed parse(std::span<const std::string_view> args) {
    bool platformGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") return {Outcome::ShowHelp};
        if (arg == "--version") return {Outcome::ShowVersion};
        if (!arg.starts_with('-') || arg == "-" || arg == "--") return invalid("unexpected argument " + quoted(arg));
        const QtOption* option = findQtOption(arg);
        if (!option) return invalid("unknown option " + quoted(arg));
        if (option->name == "platform") platformGiven = true;
        const bool valueJoined = arg.find('=') != std::string_view::npos;
        if (!option->takesValue || valueJoined) continue;
        if (i + 1 == args.size()) return invalid("option " + quoted(arg) + " needs a value");
        ++i;
    }
    return {Outcome::Run, {}, platformGiven};
}

Session sessionFromEnvironment() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return {set("WAYLAND_DISPLAY"), set("DISPLAY"), set("QT_QPA_PLATFORM")};
}

std::string defaultPlatform(const Parsed& parsed, const Session& session) {
    if (parsed.platformGiven || session.platformVariable) return {};
    if (!session.waylandDisplay || !session.x11Display) return {};
    return "xcb;wayland";
}

std::string usage() {
    return R"(Usage: lumevanta [options]

Remote control for a CCTV video recorder on a serial line: shows the recorder's front
panel and sends the keys pressed on it. The recorder model, port and language are
chosen in the Preferences dialog and kept in options.ini.

  -h, --help       show this text and exit
  --version        show the version and exit

Qt's own options, such as -platform NAME, -display DISPLAY and -style NAME, are accepted too.
On a Wayland session that offers Xwayland the program runs on X11, where it can keep its
place, stay on top and come forward; -platform wayland (or QT_QPA_PLATFORM=wayland) asks
for Wayland itself.
)";
}

std::string versionLine() {
    return std::string("lumevanta ") + BuildInfo::Version;
}

int report(const Parsed& parsed, std::ostream& out, std::ostream& err) {
    switch (parsed.outcome) {
    case Outcome::ShowHelp:
        out << usage();
        return 0;
    case Outcome::ShowVersion:
        out << versionLine() << '\n';
        return 0;
    case Outcome::Invalid:
        err << "lumevanta: " << parsed.error << '\n' << usage();
        return ExitBadArguments;
    case Outcome::Run:
        break;
    }
    return 0;
}

} // namespace CommandLine
