#pragma once

#include "sender/SendRequest.h"

#include <span>
#include <string_view>

// Takes the arguments without the program name. An option's value follows it or comes after "=";
// "--" ends the options.
ParsedSendArguments parseSendArguments(std::span<const std::string_view> args);
