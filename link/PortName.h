#pragma once

#include <string>

// Where a configured port name lives: "COM1" is the first serial port (/dev/ttyS0), a name that
// begins with "/" is a device path, and any other name is looked up under /dev/ ("ttyUSB0").
std::string devicePathForPort(const std::string& portName);
