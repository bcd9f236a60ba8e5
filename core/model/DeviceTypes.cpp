#include "model/DeviceTypes.h"

#include <algorithm>
#include <tuple>

const std::array<DeviceTypeRow, 18> deviceTypes = {{
    {"BRW774", PanelLayout::Brw774},
    {"CALVO442", PanelLayout::Brw774},
    {"DM774", PanelLayout::Brw774},
    {"FN774", PanelLayout::Brw774},
    {"BRW773", PanelLayout::Brw773},
    {"DM773", PanelLayout::Brw773},
    {"BRW721", PanelLayout::Brw721},
    {"CALVO111", PanelLayout::Brw721},
    {"DM721", PanelLayout::Brw721},
    {"FN721", PanelLayout::Brw721},
    {"BRW777", PanelLayout::Brw777},
    {"CALVO1642", PanelLayout::Brw777},
    {"DM777", PanelLayout::Brw777},
    {"FN777", PanelLayout::Brw777},
    {"BRW776", PanelLayout::Brw776},
    {"CALVO942", PanelLayout::Brw776},
    {"DM776", PanelLayout::Brw776},
    {"FN776", PanelLayout::Brw776},
}};

std::optional<PanelLayout> layoutForDeviceType(std::string_view name) {
    for (const auto& row : deviceTypes)
        if (row.name == name) return row.layout;
    return std::nullopt;
}

std::optional<std::size_t> vendorOf(std::string_view name) {
    for (std::size_t i = 0; i < vendorPrefixes.size(); ++i)
        if (name.starts_with(vendorPrefixes[i])) return i;
    return std::nullopt;
}

namespace {

int layoutNumber(PanelLayout layout) {
    switch (layout) {
    case PanelLayout::Brw721:
        return 721;
    case PanelLayout::Brw773:
        return 773;
    case PanelLayout::Brw774:
        return 774;
    case PanelLayout::Brw776:
        return 776;
    case PanelLayout::Brw777:
        return 777;
    }
    return 0;
}

} // namespace

std::vector<std::string_view> offeredDeviceTypes() {
    std::vector<DeviceTypeRow> rows(deviceTypes.begin(), deviceTypes.end());
    std::sort(rows.begin(), rows.end(), [](const DeviceTypeRow& a, const DeviceTypeRow& b) {
        return std::tuple(vendorOf(a.name), layoutNumber(a.layout)) <
               std::tuple(vendorOf(b.name), layoutNumber(b.layout));
    });
    std::vector<std::string_view> names;
    for (const auto& row : rows)
        names.push_back(row.name);
    return names;
}
