#pragma once

#include "model/Lamps.h"
#include "panels/PanelLayouts.h"

#include <cstddef>
#include <optional>
#include <vector>

// How a panel's parts answer the mouse and the lamp displays, for every front end: which part a
// point is on, whether a press acts on it, and which pictures a lamp display shows.
namespace PanelParts {

// The part a point of the panel is on: the topmost in stacking order, or none (the skin itself).
std::optional<std::size_t> partAt(const PanelLayoutTable& table, int x, int y);

// Key buttons answer the left mouse button only; window buttons any; lamps nothing.
bool answersPress(const PanelPart& part, bool leftHeld);

struct PartPicture {
    std::size_t part; // index into the table's parts
    int id;
};

// The pictures a lamp display puts on the panel's lamps (or its strip), in the order it puts them.
std::vector<PartPicture> lampPictures(const PanelLayoutTable& table, LampDisplay display);

} // namespace PanelParts
