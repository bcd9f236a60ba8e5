#pragma once

#include "PrintFont.h"
#include "panels/PanelLayouts.h"

#include <QByteArray>
#include <QImage>

#include <map>

// Everything one panel shows: its skin and every bitmap, keyed by id.
struct PanelArtwork {
    QByteArray skinJpeg;
    QImage skin; // as decoded from skinJpeg; the released pictures are cut from it
    std::map<int, QImage> bitmaps;
};

// Scale 1 gives the pictures the program always had; scale 2 the same, with twice the pixels each way.
PanelArtwork paintPanelArtwork(const PanelLayoutTable& table, const PrintFont& font, int scale = 1);
