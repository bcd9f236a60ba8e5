#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

// The five front-panel layouts, in the order the program creates their forms.
enum class PanelLayout { Brw774, Brw773, Brw721, Brw777, Brw776 };

struct DeviceTypeRow {
    std::string_view name;
    PanelLayout layout;
};

// The recorder models the user can choose, each with its layout, in the order the lookup tries them.
extern const std::array<DeviceTypeRow, 18> deviceTypes;

// The layout of a device type: exact, case-sensitive names only; "start" and anything else has none.
std::optional<PanelLayout> layoutForDeviceType(std::string_view name);

// The four vendor families; a device type belongs to the one whose prefix begins its name.
inline constexpr std::array<std::string_view, 4> vendorPrefixes = {"BRW", "CALVO", "DM", "FN"};
std::optional<std::size_t> vendorOf(std::string_view name);

// The device types as the user is offered them: by vendor, each vendor's models by layout number.
std::vector<std::string_view> offeredDeviceTypes();
