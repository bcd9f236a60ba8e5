// Prints panel parts' places and pictures from the layout tables, for the Windows program's tests:
//   win32_panel_place LAYOUT PART  ->  left top width height released-id pressed-id
//   win32_panel_place              ->  one line per part of every layout:
//     layout name kind left top width height released-id pressed-id key first-pc-key lamp
// (kind key, window, lamp or strip; "-" for a PC key or lamp the part has not).
#include "panels/PanelLayouts.h"

#include <cstdio>
#include <string_view>

namespace {

const char* kindName(PartKind kind) {
    switch (kind) {
    case PartKind::Key:
        return "key";
    case PartKind::WindowButton:
        return "window";
    case PartKind::Lamp:
        return "lamp";
    case PartKind::LampStrip:
        return "strip";
    }
    return "-";
}

const char* lampName(const PanelPart& part) {
    if (part.kind != PartKind::Lamp) return "-";
    switch (part.lamp) {
    case Lamp::Busy:
        return "busy";
    case Lamp::Work:
        return "work";
    case Lamp::Ok:
        return "ok";
    case Lamp::NoLine:
        return "noline";
    }
    return "-";
}

void printAll() {
    for (PanelLayout layout : creationOrder) {
        const PanelLayoutTable& table = panelLayout(layout);
        for (const PanelPart& p : table.parts)
            std::printf("%s %s %s %d %d %d %d %d %d %d %s %s\n", table.caption, p.name, kindName(p.kind), p.left, p.top,
                        p.width, p.height, p.releasedId, p.pressedId(), p.key, p.pcKeys[0] ? p.pcKeys[0] : "-",
                        lampName(p));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        printAll();
        return 0;
    }
    if (argc != 3) return 2;
    for (PanelLayout layout : creationOrder) {
        const PanelLayoutTable& table = panelLayout(layout);
        if (std::string_view(table.caption) != argv[1]) continue;
        for (const PanelPart& part : table.parts) {
            if (std::string_view(part.name) != argv[2]) continue;
            std::printf("%d %d %d %d %d %d\n", part.left, part.top, part.width, part.height, part.releasedId,
                        part.pressedId());
            return 0;
        }
    }
    return 1;
}
