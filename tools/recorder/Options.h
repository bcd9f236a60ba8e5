#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class Answer { Ok, Busy, None };

struct Options {
    std::string devicePath{}; // empty: create a pseudo-terminal instead
    std::string linkPath{};
    int speed = 9600;
    std::optional<std::uint8_t> id{}; // empty: answer frames for every id
    Answer answer = Answer::Ok;
    std::chrono::milliseconds delay{0};

    friend bool operator==(const Options&, const Options&) = default;
};

struct ParsedArguments {
    enum class Outcome { Run, ShowHelp, Invalid };

    Outcome outcome = Outcome::Run;
    Options options;
    std::string error;
};

// Takes the arguments without the program name.
ParsedArguments parseArguments(std::span<const std::string_view> args);

std::string usage(std::string_view programName);
