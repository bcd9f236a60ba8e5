#pragma once

#include "GlyphPainter.h"
#include "KeyGeometry.h"
#include "PrintFont.h"

#include <QColor>
#include <QPainter>

#include <vector>

// Silk-screen print on the face, each piece only where no part lies: the names of keys too small to
// carry them, lamp names, the transport meanings around the cursor cross, the key lock caption and
// the model number.

struct Printed {
    QString text;
    QRectF box; // the letters' ink, baseline at the bottom
    double size;
    double tracking;
    QColor ink;
};

// Chooses what goes where. A group of keys whose names would be too small on their caps gets them
// printed beside it instead (its Lettering says so) and loses its band.
std::vector<Printed> planPrint(PanelGeometry& geometry, std::vector<Lettering>& lettering, const PrintFont& font);

void paintPrint(QPainter& painter, const std::vector<Printed>& print, const PrintFont& font);
