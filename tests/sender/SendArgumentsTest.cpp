#include "cli/SendArguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ParsedSendArguments parse(std::vector<std::string_view> args) {
    return parseSendArguments(args);
}

TEST(SendArguments, OptionsTakeTheirValueNextOrAfterAnEqualsSign) {
    const auto parsed = parse({"--port", "ttyUSB0", "--speed=19200", "--id", "0x0A", "--model", "brw777",
                               "--timeout=250", "--quiet", "play", "ch16"});
    ASSERT_EQ(parsed.error, "");
    const SendRequest& r = parsed.request;
    EXPECT_EQ(r.port, "ttyUSB0");
    EXPECT_EQ(r.speed, 19200u);
    EXPECT_EQ(r.id, 10);
    EXPECT_EQ(r.model, "brw777");
    EXPECT_EQ(r.timeoutMs, 250);
    EXPECT_TRUE(r.quiet);
    EXPECT_EQ(r.keys, (std::vector<std::string>{"play", "ch16"}));
}

TEST(SendArguments, WhatIsNotGivenIsLeftToTheOptionsFile) {
    const auto parsed = parse({"menu"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_FALSE(parsed.request.port || parsed.request.speed || parsed.request.id || parsed.request.model);
    EXPECT_EQ(parsed.request.timeoutMs, 1500);
    EXPECT_FALSE(parsed.request.quiet);
}

TEST(SendArguments, ListAndHelpNeedNoKeys) {
    EXPECT_EQ(parse({"--list"}).error, "");
    EXPECT_EQ(parse({"--list", "--model", "DM773"}).request.model, "DM773");
    EXPECT_TRUE(parse({"--help"}).request.help);
    EXPECT_EQ(parse({"--help"}).error, "") << "help needs no key";
}

TEST(SendArguments, NonsenseIsRefusedWithTheReason) {
    const struct Row {
        const char* what;
        std::vector<std::string_view> args;
        const char* error;
    } rows[] = {
        {"no key", {"--port", "COM1"}, "no key to send"},
        {"unknown option", {"--colour", "play"}, "unknown option '--colour'"},
        {"value missing at the end", {"play", "--id"}, "--id needs a value"},
        {"ID out of range", {"--id", "256", "play"}, "--id '256' is not a recorder ID from 0 to 255"},
        {"negative ID", {"--id=-1", "play"}, "--id '-1' is not a recorder ID from 0 to 255"},
        {"speed not a number", {"--speed", "fast", "play"}, "--speed 'fast' is not a line speed in baud"},
        {"zero speed", {"--speed", "0", "play"}, "--speed '0' is not a line speed in baud"},
        {"zero time-out", {"--timeout", "0", "play"}, "--timeout '0' is not a time in milliseconds from 1 to 600000"},
        {"empty port", {"--port=", "play"}, "--port needs a port name"},
        {"keys with --list", {"--list", "play"}, "--list takes no keys"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parse(row.args).error, row.error) << row.what;
}

TEST(SendArguments, TwoDashesEndTheOptions) {
    const auto parsed = parse({"--", "--quiet"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_FALSE(parsed.request.quiet);
    EXPECT_EQ(parsed.request.keys, std::vector<std::string>{"--quiet"});
}

} // namespace
