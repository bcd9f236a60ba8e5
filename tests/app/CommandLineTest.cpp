#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using CommandLine::Outcome;
using Args = std::vector<std::string_view>;

TEST(CommandLine, OutcomeOfEachCommandLine) {
    struct Row {
        const char* why;
        Args args;
        Outcome outcome;
    } rows[] = {
        {"no arguments starts the program", {}, Outcome::Run},
        {"Qt's platform option with its value", {"-platform", "offscreen"}, Outcome::Run},
        {"Qt reads two dashes as one", {"--platform", "wayland"}, Outcome::Run},
        {"an X11 display and instance name", {"-display", ":3", "-name", "panel"}, Outcome::Run},
        {"a style after an equals sign", {"-style=fusion"}, Outcome::Run},
        {"a flag of Qt's", {"-reverse"}, Outcome::Run},
        {"a value that looks like an option is still the value", {"-qwindowtitle", "--help"}, Outcome::Run},
        {"help", {"--help"}, Outcome::ShowHelp},
        {"help, short", {"-h"}, Outcome::ShowHelp},
        {"help after Qt's options", {"-platform", "xcb", "--help"}, Outcome::ShowHelp},
        {"version", {"--version"}, Outcome::ShowVersion},
        {"the first of help and version wins", {"--version", "--help"}, Outcome::ShowVersion},
        {"an unknown option", {"--frobnicate"}, Outcome::Invalid},
        {"an unknown option before help", {"--frobnicate", "--help"}, Outcome::Invalid},
        {"a word where no argument is taken", {"options.ini"}, Outcome::Invalid},
        {"a value missing at the end", {"-platform"}, Outcome::Invalid},
        {"Qt takes no equals sign for the platform", {"--platform=offscreen"}, Outcome::Invalid},
        {"a lone dash", {"-"}, Outcome::Invalid},
        {"version with a value", {"--version=2"}, Outcome::Invalid},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CommandLine::parse(row.args).outcome, row.outcome) << row.why;
}

TEST(CommandLine, AnErrorNamesTheCulpritOnOneLine) {
    struct Row {
        Args args;
        std::string error;
    } rows[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-reverse", "stray"}, "unexpected argument 'stray'"},
        {{"-display"}, "option '-display' needs a value"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CommandLine::parse(row.args).error, row.error);
}

struct Printed {
    int status;
    std::string out;
    std::string err;
};

Printed report(const CommandLine::Parsed& parsed) {
    std::ostringstream out, err;
    const int status = CommandLine::report(parsed, out, err);
    return {status, out.str(), err.str()};
}

TEST(CommandLine, HelpAndVersionGoToStandardOutputAndSucceed) {
    const Printed help = report({Outcome::ShowHelp});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: lumevanta [options]\n")) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const Printed version = report({Outcome::ShowVersion});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "lumevanta " LUMEVANTA_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST(CommandLine, AnErrorGoesToStandardErrorWithTheUsageAndExitsTwo) {
    const Printed printed = report(CommandLine::parse(Args{"--frobnicate"}));
    EXPECT_EQ(printed.status, 2);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "lumevanta: unknown option '--frobnicate'\n" + CommandLine::usage());
}

TEST(CommandLine, XwaylandIsChosenOnlyWhereTheSessionOffersItAndTheUserChoseNothing) {
    using CommandLine::Session;
    struct Row {
        const char* why;
        Args args;
        Session session;
        std::string platform;
    } rows[] = {
        {"a Wayland session with Xwayland", {}, {true, true, false}, "xcb;wayland"},
        {"Wayland asked for on the command line", {"-platform", "wayland"}, {true, true, false}, ""},
        {"a platform asked for in the environment", {}, {true, true, true}, ""},
        {"Wayland without Xwayland", {}, {true, false, false}, ""},
        {"an X11 session", {}, {false, true, false}, ""},
        {"another of Qt's options is no choice of platform", {"-style", "fusion"}, {true, true, false}, "xcb;wayland"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CommandLine::defaultPlatform(CommandLine::parse(row.args), row.session), row.platform) << row.why;
}

} // namespace
