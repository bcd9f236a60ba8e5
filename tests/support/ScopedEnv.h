#pragma once

#include <QByteArray>

#include <optional>
#include <utility>
#include <vector>

// Environment variables set (or, given nothing, unset) for the life of a test; the old values come back.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, std::optional<QByteArray>>> values) {
        for (const auto& [name, value] : values) {
            saved_.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
            set(name, value);
        }
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            set(it->first, it->second);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void set(const char* name, const std::optional<QByteArray>& value) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }

    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};
