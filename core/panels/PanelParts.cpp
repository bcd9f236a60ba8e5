#include "panels/PanelParts.h"

#include "exchange/LampDisplays.h"

namespace PanelParts {

std::optional<std::size_t> partAt(const PanelLayoutTable& table, int x, int y) {
    for (std::size_t i = table.parts.size(); i-- > 0;) {
        const PanelPart& part = table.parts[i];
        if (x >= part.left && x < part.left + part.width && y >= part.top && y < part.top + part.height) return i;
    }
    return std::nullopt;
}

bool answersPress(const PanelPart& part, bool leftHeld) {
    if (part.kind == PartKind::Key) return leftHeld;
    return part.kind == PartKind::WindowButton;
}

void actOnRelease(const PanelPart& part, WindowActions& program) {
    switch (part.action) {
    case WindowAction::Preferences:
        program.optionsRequested();
        break;
    case WindowAction::HideToTray:
        program.HideToTray();
        break;
    case WindowAction::Exit:
        program.ExitProgram();
        break;
    case WindowAction::None:
        break;
    }
}

std::vector<PartPicture> lampPictures(const PanelLayoutTable& table, LampDisplay display) {
    std::vector<PartPicture> pictures;
    for (std::size_t i = 0; i < table.parts.size(); ++i)
        if (table.parts[i].kind == PartKind::LampStrip) pictures.push_back({i, lampStripPicture(display)});
    for (const LampStep& step : lampSteps(display)) {
        for (std::size_t i = 0; i < table.parts.size(); ++i) {
            const PanelPart& part = table.parts[i];
            if (part.kind == PartKind::Lamp && part.lamp == step.lamp)
                pictures.push_back({i, step.lit ? part.pressedId() : part.releasedId});
        }
    }
    return pictures;
}

std::string shownHint(const PanelPart& part, std::string_view hint) {
    const std::string keys = pcKeyText(part);
    if (keys.empty()) return std::string(hint);
    if (hint.empty()) return keys;
    return std::string(hint) + " (" + keys + ")";
}

bool showsLinkState(const PanelPart& part) {
    return (part.kind == PartKind::Lamp && part.lamp == Lamp::NoLine) || part.kind == PartKind::LampStrip;
}

} // namespace PanelParts
