#pragma once

#include <cstdint>
#include <string>

// Why a port could not be opened or went away, in terms the user can act on.
// The network faults are those of a line through a serial device server.
enum class PortFault {
    None,
    NoDevice,
    PermissionDenied,
    InUse,
    NotSerial,
    BadSpeed,
    Other,
    Connecting,    // the connection is still being made, off the user-interface thread
    BadAddress,    // a network port name that is not HOST:PORT
    Unresolved,    // the host name was not found
    Refused,       // nothing listens on that port
    Unreachable,   // no route to the server, or it does not answer in time
    Disconnected,  // the server closed or reset the connection
    OptionRefused, // the server refused the COM-port option or the line settings
};

// What the serial link knows about its last failure to open a port, or the loss of an open one.
struct PortFailure {
    PortFault fault = PortFault::None;
    int error = 0;           // the platform's error code of the step that failed
    std::string devicePath;  // the device the port name stands for
    std::string group;       // PermissionDenied: the device's group, when joining it would give access
    std::string user;        // PermissionDenied: the user the program runs as
    std::uint32_t speed = 0; // BadSpeed: the speed that was asked for

    bool failed() const { return fault != PortFault::None; }
    bool operator==(const PortFailure&) const = default;
};

// The platform's error code (errno on POSIX, GetLastError() on Windows) in the user's terms.
PortFault faultForError(int error);

// The platform's own words for its error code, in UTF-8.
std::string systemErrorText(int error);

// A device that has gone, or is not there yet, may come back under the same name; the other faults
// need the user.
inline bool mayComeBack(PortFault fault) {
    switch (fault) {
    case PortFault::NoDevice:
    case PortFault::InUse:
    case PortFault::Connecting:
    case PortFault::Unresolved:
    case PortFault::Refused:
    case PortFault::Unreachable:
    case PortFault::Disconnected:
        return true;
    default:
        return false;
    }
}

// A failure of an open line that means it is gone (unplugged, hung up, the connection ended), to be
// looked for again as a missing device is.
inline bool meansLineGone(PortFault fault) {
    return fault == PortFault::NoDevice || fault == PortFault::Unreachable || fault == PortFault::Disconnected;
}

// The failure of the device at devicePath with error code error, with what the system says about the
// device and the user where that helps them.
PortFailure describePortFailure(const std::string& devicePath, int error, PortFault fault);
inline PortFailure describePortFailure(const std::string& devicePath, int error) {
    return describePortFailure(devicePath, error, faultForError(error));
}
