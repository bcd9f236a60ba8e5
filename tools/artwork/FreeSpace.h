#pragma once

#include "KeyGeometry.h"

#include <QRectF>

#include <optional>
#include <vector>

// The face of a panel that no part covers: where print may go.
class FreeSpace {
public:
    explicit FreeSpace(const PanelGeometry& geometry);

    bool isFree(const QRectF& box) const;
    void take(const QRectF& box) { taken_.push_back(box); }

    // The first candidate that is free, if any.
    std::optional<QRectF> firstFree(const std::vector<QRectF>& candidates) const;

private:
    QRectF usable_;
    std::vector<QRectF> taken_;
    std::vector<QRectF> bands_; // print may lie in a band, but not across its edge
    std::optional<CrossWell> well_;
};
