// Prints a panel part's place and pictures from the layout tables, for the Windows program's test:
//   win32_panel_place LAYOUT PART  ->  left top width height released-id pressed-id
#include "panels/PanelLayouts.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
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
