#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A recorder line that ends in a serial device server on the network: rfc2217://HOST:PORT (telnet
// with the COM-port control option) or tcp://HOST:PORT, also written socket://HOST:PORT (raw bytes).
// HOST is a name, an IPv4 address or a bracketed IPv6 address.
struct NetworkPort {
    enum class Protocol { Rfc2217, Raw };
    Protocol protocol = Protocol::Raw;
    std::string host; // without the brackets of an IPv6 address
    std::uint16_t port = 0;

    bool operator==(const NetworkPort&) const = default;
};

// Whether the name begins with one of the network schemes (in any case); such a name is never a
// device, even when the rest of it is wrong.
bool isNetworkPortName(std::string_view name);

// The address a network port name stands for; nothing when the name is not a well-formed one.
std::optional<NetworkPort> parseNetworkPort(std::string_view name);
