#pragma once

#include "link/PortDiscovery.h"
#include "link/SerialLink.h"
#include "model/LoadResult.h"
#include "model/Settings.h"
#include "settings/ProgramTexts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// What the preferences dialogs of both programs decide beyond their controls: what they show, which
// ports they offer, what their OK refuses and what it takes into the settings.
namespace Preferences {

// The values the dialog's controls hold, as the user typed or chose them.
struct Values {
    std::string deviceType;
    std::string port;
    std::string baudRate;
    std::string id;
    bool showHints = false;
    bool alwaysOnTop = false;
    int language = 0; // -1 when the language text matches no item

    bool operator==(const Values&) const = default;
};

// Values that OK may save: every number read and in its range.
struct Choice {
    std::string deviceType;
    std::string port;
    std::uint32_t baudRate = 0;
    std::uint8_t id = 0;
    bool showHints = false;
    bool alwaysOnTop = false;
    std::uint8_t language = 0;
};

// A message OK shows instead of saving; the argument fills its %1.
struct Refusal {
    TextId text;
    std::string argument;

    bool operator==(const Refusal&) const = default;
};

bool IsValidDeviceType(std::string_view text);
// The whole text a number by the options file's rules, and 0..255.
bool IsValidIdText(std::string_view text);

// What the dialog shows for the settings in force: the first device type offered until one is
// chosen, and a stored ID that names no recorder as it stands.
Values inForce(const Settings& settings, const TSerialLink& port, const std::optional<std::string>& refusedId);

// The caption of a dialog opened at a first start or for an unknown device type, in the language;
// nothing for another reason, where the pack's caption stays.
std::optional<std::string> caption(LoadResult reason, std::uint8_t language);

// COM1 to COM9 first, as stored files name them, then the ports found, each name once (Windows'
// names in any case); a COM port found keeps what the system says of it.
std::vector<DiscoveredPort> portChoices(const std::vector<DiscoveredPort>& found);

// What the dialog itself refuses before it saves: a device type or an ID that is not one.
std::optional<Refusal> entryRefusal(const Values& values);
// What saving refuses (a speed or an ID not a whole number or out of range, no language), checked
// before anything changes.
std::variant<Choice, Refusal> accepted(const Values& values);
// Into the settings and the port's name and speed; the caller has closed the port.
void apply(const Choice& choice, Settings& settings, TSerialLink& port);

} // namespace Preferences
