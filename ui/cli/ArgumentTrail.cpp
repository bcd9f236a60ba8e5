#include "cli/ArgumentTrail.h"

ArgumentTrail::ArgumentTrail(std::span<const std::string_view> args) : args_(args.begin(), args.end()) {}

ArgumentTrail::ArgumentTrail(std::vector<std::string> args) : args_(std::move(args)) {}

void ArgumentTrail::parse(CLI::App& app) {
    pending_.assign(args_.rbegin(), args_.rend());
    try {
        app.parse(pending_);
    } catch (const CLI::ArgumentMismatch&) {
        // CLI11 found nothing after a last "--name=": its value is the empty one.
        const std::string& last = args_.back();
        CLI::Option* option = last.ends_with('=') ? app.get_option_no_throw(last.substr(0, last.size() - 1)) : nullptr;
        if (!option) throw;
        option->add_result(std::string());
        option->run_callback();
    }
}

ArgumentTrail::Value ArgumentTrail::value(std::string_view name, const std::string& read) {
    const std::string joined = std::string(name) + "=";
    const std::size_t count = taken();
    if (args_[count - 1] == joined + read) return {read, true};
    if (count >= 2 && args_[count - 2] == joined) {
        pending_.push_back(args_[count - 1]);
        return {{}, true};
    }
    return {read, false};
}
