#include "program/Preferences.h"

#include "model/DeviceTypes.h"
#include "settings/OptionsFile.h"

#include <algorithm>
#include <cctype>

namespace Preferences {
namespace {

constexpr int ComPortCount = 9;

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

} // namespace

bool IsValidDeviceType(std::string_view text) {
    return layoutForDeviceType(text).has_value();
}

bool IsValidIdText(std::string_view text) {
    const auto number = OptionsFile::readWholeNumber(text);
    return number && *number >= 0 && *number <= 255;
}

Values inForce(const Settings& settings, const TSerialLink& port, const std::optional<std::string>& refusedId) {
    const bool chosen = settings.DeviceType != Settings::NoDeviceType;
    return {chosen ? settings.DeviceType : std::string(offeredDeviceTypes().front()),
            port.CommPort(),
            std::to_string(port.BaudRate()),
            refusedId.value_or(std::to_string(settings.IdByte)),
            settings.ShowHints,
            settings.AlwaysOnTop,
            settings.Language};
}

std::optional<std::string> caption(LoadResult reason, std::uint8_t language) {
    if (reason != BadDeviceType && reason != FirstStart) return std::nullopt;
    if (language > 1) return std::string();
    if (reason == BadDeviceType)
        return language == 0 ? "В файле настроек записан неверный тип оборудования. Выберите тип из списка"
                             : "WRONG HARDWARE TYPE in Options. Choose the right one from the list";
    return language == 0 ? "Первый запуск. Настройте соединение с COM портом"
                         : "FIRST START.  Make settings before start";
}

std::vector<DiscoveredPort> portChoices(const std::vector<DiscoveredPort>& found) {
    std::vector<DiscoveredPort> choices;
    for (int n = 1; n <= ComPortCount; ++n)
        choices.push_back({"COM" + std::to_string(n), {}});
    for (const DiscoveredPort& port : found) {
        const auto same = std::find_if(choices.begin(), choices.end(),
                                       [&](const DiscoveredPort& c) { return sameName(c.path, port.path); });
        if (same == choices.end())
            choices.push_back(port);
        else if (same->hint.empty())
            same->hint = port.hint;
    }
    return choices;
}

std::optional<Refusal> entryRefusal(const Values& values) {
    if (!IsValidDeviceType(values.deviceType)) return Refusal{TextId::WrongDeviceType, {}};
    if (!IsValidIdText(values.id)) return Refusal{TextId::WrongId, {}};
    return std::nullopt;
}

std::variant<Choice, Refusal> accepted(const Values& values) {
    const auto speed = OptionsFile::readWholeNumber(values.baudRate);
    if (!speed) return Refusal{TextId::NotAnInteger, values.baudRate};
    if (*speed < 0 || *speed > 0xFFFFFFFF) return Refusal{TextId::RangeCheck, {}};
    const auto id = OptionsFile::readWholeNumber(values.id);
    if (!id) return Refusal{TextId::NotAnInteger, values.id};
    if (*id < 0 || *id > 255) return Refusal{TextId::RangeCheck, {}};
    if (values.language < 0 || values.language > 255) return Refusal{TextId::RangeCheck, {}};
    return Choice{values.deviceType,
                  values.port,
                  static_cast<std::uint32_t>(*speed),
                  static_cast<std::uint8_t>(*id),
                  values.showHints,
                  values.alwaysOnTop,
                  static_cast<std::uint8_t>(values.language)};
}

void apply(const Choice& choice, Settings& settings, TSerialLink& port) {
    port.setCommPort(choice.port);
    port.setBaudRate(choice.baudRate);
    settings.ShowHints = choice.showHints;
    settings.AlwaysOnTop = choice.alwaysOnTop;
    settings.IdByte = choice.id;
    settings.DeviceType = choice.deviceType;
    settings.Language = choice.language;
}

} // namespace Preferences
