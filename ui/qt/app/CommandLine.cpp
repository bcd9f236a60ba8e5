#include "app/CommandLine.h"

#include "app/BuildInfo.h"
#include "cli/ArgumentTrail.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ostream>
#include <vector>

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

// CLI11 knows no long names after one dash: a Qt option spelt "-name" is handed to it as "--name".
std::string forCli11(std::string_view arg) {
    const bool oneDash = arg.size() > 2 && arg[0] == '-' && arg[1] != '-';
    const std::string_view name = withoutDashes(arg).substr(0, withoutDashes(arg).find('='));
    const bool qtOption =
        std::any_of(QtOptions.begin(), QtOptions.end(), [name](const QtOption& option) { return option.name == name; });
    return oneDash && qtOption ? "-" + std::string(arg) : std::string(arg);
}

std::string inQuotes(std::string_view text) {
    std::string result;
    result.append("'").append(text).append("'");
    return result;
}

Parsed invalid(std::string error) {
    return {Outcome::Invalid, std::move(error)};
}

// A command line with a meaning of its own (help, version) ends the parse; so does a refusal.
struct Decided {
    Outcome outcome;
};

// The options CLI11 reads, each as it comes; our messages quote the argument as the user typed it.
class Reader {
public:
    explicit Reader(std::span<const std::string_view> args) : args_(args.begin(), args.end()), trail_(cli11Args(args)) {
        app_.set_help_flag();
        app_.allow_extras();
        declareOwn("--help,-h", {"--help", "-h"}, Outcome::ShowHelp);
        declareOwn("--version", {"--version"}, Outcome::ShowVersion);
        for (const QtOption& option : QtOptions)
            option.takesValue ? declareValue(option) : declareFlag(option);
    }

    Parsed read() {
        Parsed parsed{Outcome::Run, {}, false};
        try {
            trail_.parse(app_);
        } catch (const Decided& decided) {
            parsed.outcome = decided.outcome;
        } catch (const ArgumentRefused& refused) {
            parsed = invalid(refused.what());
        } catch (const CLI::ArgumentMismatch&) {
            parsed = invalid("option " + inQuotes(args_.back()) + " needs a value");
        }
        // Anything left behind came before what ended the parse, so it decides.
        const std::vector<std::string> rest = app_.remaining();
        if (!rest.empty()) return invalid(leftBehind(rest.front()));
        if (parsed.outcome == Outcome::Run) parsed.platformGiven = platformGiven_;
        return parsed;
    }

private:
    static std::vector<std::string> cli11Args(std::span<const std::string_view> args) {
        std::vector<std::string> converted;
        for (std::string_view arg : args)
            converted.push_back(forCli11(arg));
        return converted;
    }

    static std::string leftBehind(std::string_view arg) {
        const bool word = !arg.starts_with('-') || arg == "-" || arg == "--";
        return (word ? "unexpected argument " : "unknown option ") + inQuotes(arg);
    }

    const std::string& typed() const { return args_[trail_.taken() - 1]; }
    [[noreturn]] void refuseTyped() const { throw ArgumentRefused("unknown option " + inQuotes(typed())); }

    void declareOwn(const std::string& names, std::vector<std::string> spellings, Outcome outcome) {
        app_.add_option(names,
                        [this, spellings, outcome](const CLI::results_t&) {
                            if (std::find(spellings.begin(), spellings.end(), typed()) == spellings.end())
                                refuseTyped();
                            throw Decided{outcome};
                            return true;
                        })
            ->expected(0)
            ->trigger_on_parse();
    }

    void declareValue(const QtOption& option) {
        const std::string name = "--" + std::string(option.name);
        app_.add_option(name,
                        [this, name, &option](const CLI::results_t& read) {
                            if (trail_.value(name, read.front()).joined && !option.valueAfterEquals) refuseTyped();
                            if (option.name == "platform") platformGiven_ = true;
                            return true;
                        })
            ->trigger_on_parse();
    }

    void declareFlag(const QtOption& option) {
        app_.add_option("--" + std::string(option.name),
                        [this](const CLI::results_t&) {
                            if (typed().find('=') != std::string::npos) refuseTyped();
                            return true;
                        })
            ->expected(0)
            ->trigger_on_parse();
    }

    std::vector<std::string> args_; // as typed
    ArgumentTrail trail_;
    CLI::App app_;
    bool platformGiven_ = false;
};

} // namespace

Parsed parse(std::span<const std::string_view> args) {
    return Reader(args).read();
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
