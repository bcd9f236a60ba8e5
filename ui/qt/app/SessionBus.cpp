#include "app/SessionBus.h"

#include "base/Messages.h"
#include "posix/UniqueFd.h"

#include <QString>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace SessionBus {

namespace {

using Clock = std::chrono::steady_clock;

// One entry of an address list: "unix:path=/run/user/1000/bus" gives {"unix", "path", "/run/..."}.
struct Address {
    std::string transport;
    std::string key;
    std::string value;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Values may hold any byte as %XX.
std::optional<std::string> unescape(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

// The unix transport's own socket key (path or abstract); the other keys (guid) do not matter here.
std::optional<Address> parseAddress(std::string_view entry) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    Address address{std::string(entry.substr(0, colon)), {}, {}};
    std::string_view rest = entry.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view pair = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = pair.substr(0, equals);
        if (key != "path" && key != "abstract") continue;
        const auto value = unescape(pair.substr(equals + 1));
        if (!value || value->empty() || !address.key.empty()) return std::nullopt;
        address.key = std::string(key);
        address.value = *value;
    }
    return address;
}

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, msLeft(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

bool sendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!waitFor(fd, POLLOUT, deadline)) {
            return false;
        }
    }
    return true;
}

// Reads until `enough` says the bytes so far will do; false on a time-out, an error or the end.
template <typename Enough> bool receiveUntil(int fd, std::string& bytes, Clock::time_point deadline, Enough enough) {
    char buffer[256];
    while (!enough(bytes)) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        } else if (!waitFor(fd, POLLIN, deadline)) {
            return false;
        }
    }
    return true;
}

// The bus's first method call, org.freedesktop.DBus.Hello, in the wire format: a fixed header, the
// header fields as (code, signature, value) structs each on an 8-byte boundary, no body.
std::string helloMessage() {
    std::string fields;
    auto pad = [](std::string& bytes, std::size_t boundary) {
        while (bytes.size() % boundary != 0)
            bytes += '\0';
    };
    auto field = [&](char code, char type, std::string_view text) {
        pad(fields, 8); // counted from the start of the message, which the fields start 16 bytes into
        fields += code;
        fields += '\1';
        fields += type;
        fields += '\0';
        const auto length = static_cast<std::uint32_t>(text.size());
        fields.append(reinterpret_cast<const char*>(&length), 4);
        fields.append(text);
        fields += '\0';
    };
    field(1, 'o', "/org/freedesktop/DBus");
    field(6, 's', "org.freedesktop.DBus");
    field(2, 's', "org.freedesktop.DBus");
    field(3, 's', "Hello");
    const std::uint32_t bodyLength = 0, serial = 1, fieldsLength = static_cast<std::uint32_t>(fields.size());
    std::string message = {'l', '\1', '\0', '\1'}; // little endian, method call, no flags, version 1
    for (const std::uint32_t number : {bodyLength, serial, fieldsLength})
        message.append(reinterpret_cast<const char*>(&number), 4);
    message += fields;
    pad(message, 8);
    return message;
}

std::string hex(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 0xf];
    }
    return out;
}

// Greets the bus as a new client does: the authentication, then Hello. Whatever it says back, a
// refusal included, is an answer: Qt then gets its own answer at once too.
Probe greet(int fd, Clock::time_point deadline) {
    const std::string auth = std::string(1, '\0') + "AUTH EXTERNAL " + hex(std::to_string(geteuid())) + "\r\n";
    std::string reply;
    if (!sendAll(fd, auth, deadline)) return Probe::Silent;
    if (!receiveUntil(fd, reply, deadline, [](const std::string& b) { return b.find("\r\n") != std::string::npos; }))
        return reply.empty() ? Probe::Silent : Probe::Answers;
    if (reply.rfind("OK ", 0) != 0) return Probe::Answers;
    reply.clear();
    if (!sendAll(fd, "BEGIN\r\n" + helloMessage(), deadline)) return Probe::Silent;
    // Any reply's first two bytes: its byte order and its type (a method return or an error).
    receiveUntil(fd, reply, deadline, [](const std::string& b) { return b.size() >= 2; });
    return reply.empty() ? Probe::Silent : Probe::Answers;
}

Probe probeOne(const Address& address, Clock::time_point deadline) {
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const bool abstract = address.key == "abstract";
    // A path ends in a NUL, an abstract name starts with one.
    if (address.value.size() >= sizeof where.sun_path) return Probe::Absent;
    std::memcpy(where.sun_path + (abstract ? 1 : 0), address.value.data(), address.value.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address.value.size() + 1);

    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return Probe::Absent;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&where), length) != 0) {
        // A full queue of connections waiting to be taken: the library would wait in line for good.
        if (errno == EAGAIN) return Probe::Silent;
        return Probe::Absent;
    }
    return greet(fd.get(), deadline);
}

// Everything but the bytes an address may hold bare is written as %XX.
std::string escape(std::string_view value) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : value) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
            (c && std::strchr("-_/.\\*", c))) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xf];
        }
    }
    return out;
}

// Without an address the D-Bus library takes $XDG_RUNTIME_DIR/bus when that is a socket of the user's.
std::string runtimeBus() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return {};
    const std::string path = std::string(runtime) + "/bus";
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != getuid()) return {};
    return "unix:path=" + escape(path);
}

} // namespace

Probe probe(std::string_view addresses, std::chrono::milliseconds patience) {
    const Clock::time_point deadline = Clock::now() + patience;
    while (!addresses.empty()) {
        const std::size_t semicolon = addresses.find(';');
        const std::string_view entry = addresses.substr(0, semicolon);
        addresses = semicolon == std::string_view::npos ? std::string_view() : addresses.substr(semicolon + 1);
        if (entry.empty()) continue;
        const auto address = parseAddress(entry);
        if (!address || address->transport != "unix" || address->key.empty()) return Probe::Unknown;
        const Probe answer = probeOne(*address, deadline);
        // Like the library, the next address is tried only when this one cannot be reached at all.
        if (answer != Probe::Absent) return answer;
    }
    return Probe::Absent;
}

Probe keepAwayIfSilent(std::chrono::milliseconds patience) {
    const char* given = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string addresses = given && *given ? std::string(given) : runtimeBus();
    // Left to the library: it may find a bus through the X display, which only it knows how to ask.
    if (addresses.empty()) return Probe::Unknown;
    const Probe answer = probe(addresses, patience);
    if (answer != Probe::Silent) return answer;
    Messages::log(QStringLiteral("the session bus (%1) does not answer; starting without it, so without a tray icon "
                                 "through it")
                      .arg(QString::fromLocal8Bit(addresses.c_str())));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", NoBus, 1);
    return answer;
}

} // namespace SessionBus
