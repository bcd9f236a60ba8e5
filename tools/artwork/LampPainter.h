#pragma once

#include "panels/PanelLayouts.h"

#include <QPainter>
#include <QPointF>

#include <vector>

// Status lamps: a lens in a bezel, dark tinted when off, bright with a glow when lit.

struct LampSpot {
    Lamp lamp;
    QPointF centre;
    double lensRadius;
    double reach; // how far the glow may spread and stay inside the part
    const char* label;
};

// One spot for a lamp; four, top to bottom, for a lamp strip; none for anything else.
std::vector<LampSpot> lampSpots(const PanelPart& part);

// Bezels and, for a strip, its housing: part of the bare face.
void paintLampHousing(QPainter& painter, const PanelPart& part);

void paintLens(QPainter& painter, const LampSpot& spot, bool lit);
