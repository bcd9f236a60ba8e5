#pragma once

#include <cstdint>

// Speeds without a termios constant (14400, 56000, 128000, ...) go through the kernel's
// arbitrary-speed interface. Returns 0 or the errno value.
int setCustomBaudRate(int fd, std::uint32_t baudRate);
int readBaudRate(int fd, std::uint32_t& baudRate);
