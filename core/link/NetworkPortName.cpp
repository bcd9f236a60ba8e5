#include "link/NetworkPortName.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

struct Scheme {
    std::string_view prefix;
    NetworkPort::Protocol protocol;
};

constexpr Scheme schemes[] = {
    {"rfc2217://", NetworkPort::Protocol::Rfc2217},
    {"tcp://", NetworkPort::Protocol::Raw},
    {"socket://", NetworkPort::Protocol::Raw},
};

bool startsWithCaseBlind(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return std::tolower(static_cast<unsigned char>(t)) == p;
           });
}

const Scheme* schemeOf(std::string_view name) {
    for (const Scheme& scheme : schemes)
        if (startsWithCaseBlind(name, scheme.prefix)) return &scheme;
    return nullptr;
}

// Letters, digits, dots and hyphens for a name or an IPv4 address; hex digits, colons and dots
// inside brackets for IPv6. Nothing that a resolver could read as something else.
bool isHostName(std::string_view host) {
    return !host.empty() && host.front() != '-' && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-';
    });
}

bool isIpv6(std::string_view host) {
    return host.find(':') != std::string_view::npos && std::all_of(host.begin(), host.end(), [](unsigned char c) {
               return std::isxdigit(c) || c == ':' || c == '.';
           });
}

std::optional<std::uint16_t> portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

bool isNetworkPortName(std::string_view name) {
    return schemeOf(name) != nullptr;
}

std::optional<NetworkPort> parseNetworkPort(std::string_view name) {
    const Scheme* scheme = schemeOf(name);
    if (!scheme) return std::nullopt;
    std::string_view rest = name.substr(scheme->prefix.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1); // as other serial tools write it
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view host = rest.substr(0, colon);
    const auto port = portNumber(rest.substr(colon + 1));
    if (!port) return std::nullopt;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (!isIpv6(host)) return std::nullopt;
    } else if (!isHostName(host)) {
        return std::nullopt;
    }
    return NetworkPort{scheme->protocol, std::string(host), *port};
}
