#pragma once

#include <chrono>
#include <string>
#include <string_view>

// The desktop's session bus (D-Bus), as start-up meets it. Qt's first use of the bus (the tray icon,
// the accessibility bridge at the first window shown) waits on the GUI thread for as long as the bus
// takes, and a bus that accepts a connection but never answers holds it there for good. So before the
// application object exists the bus is asked once, with a bound, whether it answers; one that does not
// is hidden from Qt for this run, which then starts as on a desktop without the bus (no tray icon
// through it, no accessibility bridge).
namespace SessionBus {

enum class Probe {
    Answers, // it answered the greeting of a new client
    Silent,  // it took the connection but said nothing in time
    Absent,  // nothing to connect to: Qt finds that out at once by itself
    Unknown, // a kind of address this probe does not speak; left to Qt as it is
};

// Tries the addresses of a D-Bus address list (unix:path=..., unix:abstract=..., separated by ';') in
// order, as the D-Bus library does, within the given time in all.
Probe probe(std::string_view addresses, std::chrono::milliseconds patience);

// What DBUS_SESSION_BUS_ADDRESS holds once a silent bus was hidden: a kind of address that the D-Bus
// library refuses at once, naming no file another user could put there.
inline constexpr const char* NoBus = "disabled:";

// Probes the bus in DBUS_SESSION_BUS_ADDRESS and, when it is silent, points the variable at NoBus.
// Only while the program has no other threads: it changes the environment. Says what it did on stderr.
Probe keepAwayIfSilent(std::chrono::milliseconds patience);

} // namespace SessionBus
