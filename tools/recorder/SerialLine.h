#pragma once

#include "SystemError.h"
#include "posix/UniqueFd.h"

#include <termios.h>

#include <optional>
#include <string>

struct SerialLine {
    UniqueFd io; // non-blocking; frames come in and answers go out here
    // Pseudo-terminal only. While any slave fd stays open the master sees no hang-up and the
    // slave keeps its settings, so the remote control may close and reopen the device freely.
    UniqueFd heldSlave;
    std::string devicePath; // what the remote control should open
};

std::optional<speed_t> termiosSpeed(long baud);

Result<SerialLine> openPseudoTerminal(speed_t speed);
Result<SerialLine> openSerialDevice(const std::string& path, speed_t speed);

// A symlink that goes away with this object, unless someone has since pointed it elsewhere.
class SymlinkGuard {
public:
    // Replaces an existing symlink at linkPath, but nothing else.
    static Result<SymlinkGuard> create(const std::string& linkPath, const std::string& target);

    SymlinkGuard(SymlinkGuard&& other) noexcept;
    SymlinkGuard& operator=(SymlinkGuard&&) = delete;
    SymlinkGuard(const SymlinkGuard&) = delete;
    SymlinkGuard& operator=(const SymlinkGuard&) = delete;
    ~SymlinkGuard();

private:
    SymlinkGuard(std::string linkPath, std::string target);

    std::string linkPath_; // empty once moved from
    std::string target_;
};
