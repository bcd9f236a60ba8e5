#pragma once

#include "posix/UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

// A TCP port on 127.0.0.1 that nothing listens on right now, for a server the caller starts there.
inline std::uint16_t freeLocalPort() {
    UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// Whether a server listens on the port, as the kernel's table of IPv4 sockets says.
inline bool listeningOn(std::uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    char local[16];
    std::snprintf(local, sizeof local, ":%04X ", port);
    for (std::string line; std::getline(table, line);)
        if (line.find(local) == 14 && line.find(" 0A ") != std::string::npos) return true;
    return false;
}
