#pragma once

#include "panels/PanelLayouts.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

// Where the parts of a panel sit and what shape their caps take.

// The round recess the cursor cross (four arrows around the play key) sits in.
struct CrossWell {
    QPointF centre;
    double radius;
};

struct KeyShape {
    QPainterPath hole;      // the cut in the face the cap sits in; empty inside the cross well
    QPainterPath cap;       // the key top as it rests, raised
    QPainterPath sunk;      // the key top pushed in: down and right, clear of the picture's rim
    QPainterPath footprint; // everything the cap and its shadow touch; repainted when pressed
    QRectF face;            // where the lettering goes on the cap
    bool round = false;
    bool inWell = false; // one of the cursor cross
};

QRectF partRect(const PanelPart& part);

// A shallow recess in the face behind a group of keys.
struct Band {
    QRectF rect;
    int group;
};

class PanelGeometry {
public:
    explicit PanelGeometry(const PanelLayoutTable& table);

    const PanelLayoutTable& table() const { return table_; }
    const std::optional<CrossWell>& well() const { return well_; }
    bool inCross(const PanelPart& part) const;

    // Buttons only. Like keys standing together share one cap size, whatever their rects.
    const KeyShape& shape(const PanelPart& part) const { return shapes_[indexOf(part)]; }
    int group(const PanelPart& part) const { return groups_[indexOf(part)]; }
    int groupCount() const { return groupCount_; }

    const std::vector<Band>& bands() const { return bands_; }
    // For a group whose names are printed on the face beside it, where a band's edge would cut them.
    void dropBands(int group);

private:
    std::size_t indexOf(const PanelPart& part) const { return static_cast<std::size_t>(&part - table_.parts.data()); }
    void groupLikeButtons();
    double rowLevel(std::size_t i, double bodyHeight) const;
    void shapeButtons();
    void placeBands();

    const PanelLayoutTable& table_;
    std::optional<CrossWell> well_;
    std::vector<int> groups_;
    int groupCount_ = 0;
    std::vector<KeyShape> shapes_;
    std::vector<Band> bands_;
};
