#pragma once

#include "GlyphPainter.h"
#include "KeyGeometry.h"

#include <QPainter>

// Keys as moulded caps standing in cuts of the face.

enum class CapState { Raised, Pressed };

// The cut in the face, part of the bare face so that a pressed cap can be repainted over it.
void paintHole(QPainter& painter, const KeyShape& shape);

// The round recess of the cursor cross.
void paintWell(QPainter& painter, const CrossWell& well);

void paintCap(QPainter& painter, const PanelPart& part, const KeyShape& shape, CapState state,
              const Lettering& lettering);
