#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// What an option's callback throws to refuse the command line, in our own words; parsing stops there.
class ArgumentRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs CLI11 over a command line while knowing which arguments it has taken, so that a callback can
// see what the user typed: our messages quote it, and "=" keeps our meaning where CLI11's differs
// (CLI11 reads "--name=" as "--name" and takes the next argument for its value).
class ArgumentTrail {
public:
    explicit ArgumentTrail(std::span<const std::string_view> args);
    explicit ArgumentTrail(std::vector<std::string> args);

    // Parses; give every option a callback triggered on parse, so that they run in the order given.
    // Throws CLI::ParseError and what the callbacks throw.
    void parse(CLI::App& app);

    // How many arguments have been taken, and the last of them.
    std::size_t taken() const { return args_.size() - pending_.size(); }
    const std::string& lastTaken() const { return args_[taken() - 1]; }

    // The value an option spelt `name` has just read, and whether it came after "=". After "--name="
    // the value is empty, and the argument CLI11 took for it is given back to be parsed.
    struct Value {
        std::string text;
        bool joined;
    };
    Value value(std::string_view name, const std::string& read);

private:
    std::vector<std::string> args_;
    std::vector<std::string> pending_; // the arguments not yet taken, last first, as CLI11 takes them
};
