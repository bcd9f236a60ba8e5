#pragma once

#include "PrintFont.h"
#include "panels/PanelLayouts.h"

#include <QColor>
#include <QPainter>
#include <QRectF>

// Lettering shared by a group of like keys, so that they print alike.
struct Lettering {
    const PrintFont* font;
    double wordSize;          // MENU, ENTER and the like
    double digitSize;         // channel numbers
    bool namesOnFace = false; // names printed beside the keys; the caps carry only their symbols
};

bool isChannelNumber(const char* label);

// What a key carries on its top, its label or its symbol, drawn into face.
void paintKeyContent(QPainter& painter, const PanelPart& part, const QRectF& face, const Lettering& lettering,
                     const QColor& ink);
