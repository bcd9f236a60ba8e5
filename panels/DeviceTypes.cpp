#include "panels/DeviceTypes.h"

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
