#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

struct SystemError {
    std::string action;
    std::error_code code;

    std::string describe() const { return action + ": " + code.message(); }
};

// Call straight after the failing call: errno is read before anything else can touch it.
inline SystemError errnoError(std::string_view action, std::string_view subject = {}) {
    const std::error_code code(errno, std::generic_category());
    std::string text(action);
    if (!subject.empty()) text.append(" ").append(subject);
    return {std::move(text), code};
}

template <class T> using Result = std::variant<T, SystemError>;
