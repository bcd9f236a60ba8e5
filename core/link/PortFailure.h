#pragma once

#include <cstdint>
#include <string>

// Why a port could not be opened or went away, in terms the user can act on.
enum class PortFault { None, NoDevice, PermissionDenied, InUse, NotSerial, BadSpeed, Other };

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
    return fault == PortFault::NoDevice || fault == PortFault::InUse;
}

// The failure of the device at devicePath with error code error, with what the system says about the
// device and the user where that helps them.
PortFailure describePortFailure(const std::string& devicePath, int error, PortFault fault);
inline PortFailure describePortFailure(const std::string& devicePath, int error) {
    return describePortFailure(devicePath, error, faultForError(error));
}
