#include "FreeSpace.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double EdgeMargin = 4;    // clear of the bevel
constexpr double PartClearance = 2; // print never touches a part

bool touchesCircle(const QRectF& box, QPointF centre, double radius) {
    const double dx = centre.x() - std::clamp(centre.x(), box.left(), box.right());
    const double dy = centre.y() - std::clamp(centre.y(), box.top(), box.bottom());
    return dx * dx + dy * dy < radius * radius;
}

} // namespace

FreeSpace::FreeSpace(const PanelGeometry& geometry)
    : usable_(EdgeMargin, EdgeMargin, geometry.table().width - 2 * EdgeMargin,
              geometry.table().height - 2 * EdgeMargin),
      well_(geometry.well()) {
    for (const Band& band : geometry.bands())
        bands_.push_back(band.rect.adjusted(-2, -2, 2, 2));
    for (const PanelPart& part : geometry.table().parts)
        taken_.push_back(partRect(part).adjusted(-PartClearance, -PartClearance, PartClearance, PartClearance));
}

bool FreeSpace::isFree(const QRectF& box) const {
    if (!usable_.contains(box)) return false;
    if (well_ && touchesCircle(box, well_->centre, well_->radius + 4)) return false;
    for (const QRectF& band : bands_)
        if (band.intersects(box) && !band.adjusted(4, 4, -4, -4).contains(box)) return false;
    return std::none_of(taken_.begin(), taken_.end(), [&](const QRectF& other) { return other.intersects(box); });
}

std::optional<QRectF> FreeSpace::firstFree(const std::vector<QRectF>& candidates) const {
    for (const QRectF& box : candidates)
        if (isFree(box)) return box;
    return std::nullopt;
}
