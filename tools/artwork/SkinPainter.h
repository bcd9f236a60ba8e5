#pragma once

#include "KeyGeometry.h"
#include "PrintFont.h"
#include "PrintPainter.h"

#include <QImage>

#include <vector>

// The bare face of a panel: brushed graphite with a bevelled edge, recessed bands behind groups of
// keys, the cross well, the cuts the keys stand in, the lamp bezels and the print. Everything but
// the key caps and the lamp lenses.
// At scale 2 the face is painted with twice the pixels each way, for screens that scale by more than 1.
QImage paintFace(const PanelGeometry& geometry, const std::vector<Printed>& print, const PrintFont& font,
                 int scale = 1);
