#include "recorder/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string_view>;
using namespace std::chrono_literals;

struct GoodCase {
    std::string name;
    Args args;
    Options expected;
};

TEST(ParseArguments, AcceptsGoodArguments) {
    const std::vector<GoodCase> cases = {
        {"defaults", {}, {}},
        {"id", {"--id", "3"}, {.id = 3}},
        {"id with equals", {"--id=255"}, {.id = 255}},
        {"busy", {"--answer", "y"}, {.answer = Answer::Busy}},
        {"silent", {"--answer=none"}, {.answer = Answer::None}},
        {"delay", {"--delay", "250"}, {.delay = 250ms}},
        {"device and speed",
         {"--device", "/dev/ttyS0", "--speed", "115200"},
         {.devicePath = "/dev/ttyS0", .speed = 115200}},
        {"link", {"--link", "/tmp/recorder"}, {.linkPath = "/tmp/recorder"}},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedArguments parsed = parseArguments(c.args);
        ASSERT_EQ(parsed.outcome, ParsedArguments::Outcome::Run) << parsed.error;
        EXPECT_EQ(parsed.options, c.expected);
    }
}

struct BadCase {
    std::string name;
    Args args;
    std::string mentions;
};

TEST(ParseArguments, RejectsBadArgumentsNamingTheCulprit) {
    const std::vector<BadCase> cases = {
        {"id too big", {"--id", "256"}, "--id"},
        {"id negative", {"--id", "-1"}, "--id"},
        {"id not a number", {"--id", "three"}, "--id"},
        {"id with trailing junk", {"--id", "3x"}, "--id"},
        {"id missing value", {"--id"}, "--id"},
        {"value swallowed by next option", {"--device", "--id", "3"}, "--device"},
        {"unknown answer", {"--answer", "maybe"}, "--answer"},
        {"odd speed", {"--speed", "1234"}, "--speed"},
        {"negative delay", {"--delay", "-5"}, "--delay"},
        {"empty device", {"--device="}, "--device"},
        {"unknown option", {"--frobnicate", "1"}, "--frobnicate"},
        {"stray word", {"stray"}, "stray"},
        {"link with device", {"--device", "/dev/ttyS0", "--link", "/tmp/x"}, "--link"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedArguments parsed = parseArguments(c.args);
        EXPECT_EQ(parsed.outcome, ParsedArguments::Outcome::Invalid);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
    }
}

TEST(ParseArguments, HelpWinsOverEverythingElse) {
    for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"--id", "999", "--help"}}) {
        EXPECT_EQ(parseArguments(args).outcome, ParsedArguments::Outcome::ShowHelp);
    }
}

} // namespace
