#pragma once

#include "link/SerialDevice.h"

#include <optional>
#include <termios.h>

// Everything the link knows about termios: a line-control record turned into terminal settings and
// back. Functions return 0 or the errno value that explains the failure.
namespace TermiosLine {

// Fills t from settings; speeds without a termios constant are left for setCustomSpeed.
int fromLineSettings(termios& t, const LineSettings& settings);

// The record that describes t, for a port that was opened with settings of its own.
LineSettings toLineSettings(const termios& t);

// Applies t, then settings' speed if it needs the custom-speed path.
int apply(int fd, const termios& t, const LineSettings& settings);

bool hasSpeedConstant(std::uint32_t baudRate);
// The termios constant of a speed, where it has one.
std::optional<speed_t> speedConstant(std::uint32_t baudRate);

// A speed the system can set at all: above 0 and no faster than its fastest named speed.
bool isSettableSpeed(std::uint32_t baudRate);

// Whether the speed the driver reports having set is the one asked for, within what a UART's
// receiver tolerates; a driver that cannot do a speed sets another instead of failing.
bool driverTookSpeed(std::uint32_t asked, std::uint32_t set);

} // namespace TermiosLine
