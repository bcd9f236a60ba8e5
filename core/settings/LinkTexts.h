#pragma once

#include "link/PortFailure.h"
#include "settings/ProgramTexts.h"

#include <string>

// The line's state and failures as the user reads them, in the loaded pack's language. The port is
// named as the user gave it, with the device it stands for where the two differ.
namespace LinkTexts {

// Why the port failed, on one line: what it is and what to do.
std::string reason(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure);
// The same in a few words, for the tray tip and the notice of a lost line.
std::string shortReason(const ProgramTexts& texts, const PortFailure& failure);

// "Error connect": the message as it always was, and the reason below it.
std::string connectError(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure);
std::string connectionLost(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure);
// "connected to NAME" without a failure, else "no connection to NAME: REASON".
std::string state(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure);
// The state as the tray tip and the no-line lamp's hint give it, after the program's name.
std::string stateTip(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure);

} // namespace LinkTexts
