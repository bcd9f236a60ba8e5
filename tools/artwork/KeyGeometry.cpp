#include "KeyGeometry.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double LikeReach = 24;      // like keys this close share a cap size
constexpr double LikeTolerance = 0.2; // and differ in size by no more than this
constexpr double BandMargin = 5;

bool isCrossGlyph(Glyph glyph) {
    return glyph == Glyph::Up || glyph == Glyph::Down || glyph == Glyph::Left || glyph == Glyph::Right ||
           glyph == Glyph::Play;
}

const PanelPart* findKey(const PanelLayoutTable& table, Glyph glyph) {
    for (const PanelPart& part : table.parts)
        if (part.kind == PartKind::Key && part.glyph == glyph) return &part;
    return nullptr;
}

double farthestEdge(const QRectF& rect, QPointF centre) {
    return std::max(
        {centre.x() - rect.left(), rect.right() - centre.x(), centre.y() - rect.top(), rect.bottom() - centre.y()});
}

std::optional<CrossWell> findWell(const PanelLayoutTable& table) {
    const PanelPart* play = findKey(table, Glyph::Play);
    if (play == nullptr) return std::nullopt;
    const QPointF centre = partRect(*play).center();
    double reach = 0;
    for (Glyph arrow : {Glyph::Up, Glyph::Down, Glyph::Left, Glyph::Right}) {
        const PanelPart* key = findKey(table, arrow);
        if (key == nullptr) return std::nullopt;
        reach = std::max(reach, farthestEdge(partRect(*key), centre));
    }
    return CrossWell{centre, reach + 2};
}

QRectF reach(const QRectF& rect, double by) {
    return rect.adjusted(-by, -by, by, by);
}

bool similar(double a, double b) {
    return std::abs(a - b) <= LikeTolerance * std::max(a, b);
}

bool alike(const PanelPart& a, const PanelPart& b) {
    return a.kind == b.kind && similar(a.width, b.width) && similar(a.height, b.height) &&
           reach(partRect(a), LikeReach).intersects(partRect(b));
}

int findRoot(std::vector<int>& parent, int i) {
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

using Members = std::vector<const PanelPart*>;

// A band holds its keys and keeps clear of every other part, the edge and the well.
bool bandFits(const QRectF& band, const Members& members, const PanelLayoutTable& table,
              const std::optional<CrossWell>& well) {
    if (!QRectF(4, 4, table.width - 8, table.height - 8).contains(band)) return false;
    for (const PanelPart& part : table.parts)
        if (std::find(members.begin(), members.end(), &part) == members.end() &&
            reach(band, 2).intersects(partRect(part)))
            return false;
    return !well || !band.intersects(reach(QRectF(well->centre, well->centre), well->radius + 3));
}

std::optional<QRectF> bandFor(const Members& members, const PanelLayoutTable& table,
                              const std::optional<CrossWell>& well) {
    if (members.size() < 2) return std::nullopt;
    QRectF bounds;
    for (const PanelPart* part : members)
        bounds = bounds.united(partRect(*part));
    for (double margin : {BandMargin, BandMargin - 1, BandMargin - 2})
        if (bandFits(reach(bounds, margin), members, table, well)) return reach(bounds, margin);
    return std::nullopt;
}

bool sameRow(const PanelPart& a, const PanelPart& b) {
    return std::max(a.top, b.top) < std::min(a.top + a.height, b.top + b.height);
}

std::vector<Members> rowsOf(Members members) {
    std::vector<Members> rows;
    for (const PanelPart* part : members) {
        auto row = std::find_if(rows.begin(), rows.end(), [&](const Members& r) { return sameRow(*r.front(), *part); });
        if (row == rows.end())
            rows.push_back({part});
        else
            row->push_back(part);
    }
    return rows;
}

QPainterPath roundedPath(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath circlePath(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath grown(const QPainterPath& path, double by) {
    QPainterPathStroker stroker;
    stroker.setWidth(2 * by);
    stroker.setJoinStyle(Qt::RoundJoin);
    return path.united(stroker.createStroke(path)).simplified();
}

// A pressed picture keeps its outer pixels from the skin, so that no seam shows around it.
QPainterPath innerRect(const PanelPart& part) {
    return roundedPath(partRect(part).adjusted(1.5, 1.5, -1.5, -1.5), 0);
}

KeyShape crossKeyShape(const PanelPart& part, const CrossWell& well) {
    const QRectF rect = partRect(part).adjusted(2, 2, -2, -2);
    KeyShape shape;
    shape.inWell = true;
    if (part.glyph == Glyph::Play) {
        shape.round = true;
        shape.cap = circlePath(rect.center(), std::min(rect.width(), rect.height()) / 2);
    } else {
        // The arms' outer ends follow the rim of the well.
        const QPainterPath arm = roundedPath(rect, std::min(rect.width(), rect.height()) * 0.3);
        shape.cap = arm.intersected(circlePath(well.centre, well.radius - 3.5)).simplified();
    }
    shape.footprint = grown(shape.cap, 2).intersected(innerRect(part));
    shape.sunk = shape.cap.translated(1, 1).intersected(innerRect(part));
    shape.face = rect.adjusted(2, 2, -2, -2);
    return shape;
}

void shapeRound(KeyShape& shape, const QRectF& holeRect, double gap) {
    const double radius = std::min(holeRect.width(), holeRect.height()) / 2;
    const double r = radius - gap;
    const QPointF centre = holeRect.center();
    shape.round = true;
    shape.hole = circlePath(centre, radius);
    shape.cap = circlePath(centre, r);
    shape.face = QRectF(centre.x() - r * 0.8, centre.y() - r * 0.6, r * 1.6, r * 1.2); // corners on the rim
}

void shapeRounded(KeyShape& shape, const PanelPart& part, const QRectF& holeRect, double gap, bool small) {
    const QRectF capRect = holeRect.adjusted(gap, gap, -gap, -gap);
    const double radius = std::min(capRect.height(), capRect.width()) * (small ? 0.25 : 0.22);
    shape.hole = roundedPath(holeRect, radius + gap);
    shape.cap = roundedPath(capRect, radius);
    shape.face = part.kind == PartKind::WindowButton ? capRect.adjusted(1, 1, -1, -1) : capRect.adjusted(3, 2, -3, -2);
}

// bodyRect: the key's share of its rect, the size its group shares.
KeyShape plainKeyShape(const PanelPart& part, const QRectF& bodyRect) {
    const QSizeF body = bodyRect.size();
    const bool small = std::min(body.width(), body.height()) < 18;
    const double margin = small ? 1.0 : 1.5;
    const double gap = small ? 1.0 : 1.5;
    const QRectF holeRect = bodyRect.adjusted(margin, margin, -margin, -margin);
    const double ratio = std::max(body.width(), body.height()) / std::min(body.width(), body.height());
    KeyShape shape;
    // Squarish keys are round: a round cap reads as a different kind of key at a glance.
    if (part.kind == PartKind::Key && ratio <= 1.2)
        shapeRound(shape, holeRect, gap);
    else
        shapeRounded(shape, part, holeRect, gap, small);
    shape.footprint = grown(shape.hole, 1).intersected(innerRect(part));
    shape.sunk = shape.cap.translated(1, 1).intersected(innerRect(part));
    return shape;
}

} // namespace

QRectF partRect(const PanelPart& part) {
    return QRectF(part.left, part.top, part.width, part.height);
}

PanelGeometry::PanelGeometry(const PanelLayoutTable& table)
    : table_(table), well_(findWell(table)), groups_(table.parts.size(), -1), shapes_(table.parts.size()) {
    groupLikeButtons();
    shapeButtons();
    placeBands();
}

bool PanelGeometry::inCross(const PanelPart& part) const {
    return well_ && part.kind == PartKind::Key && isCrossGlyph(part.glyph);
}

void PanelGeometry::groupLikeButtons() {
    const auto parts = table_.parts;
    std::vector<int> parent(parts.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (std::size_t i = 0; i < parts.size(); ++i)
        for (std::size_t j = i + 1; j < parts.size(); ++j)
            if (parts[i].isButton() && !inCross(parts[i]) && !inCross(parts[j]) && alike(parts[i], parts[j]))
                parent[findRoot(parent, static_cast<int>(j))] = findRoot(parent, static_cast<int>(i));
    std::vector<int> number(parts.size(), -1);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i].isButton()) continue;
        int& root = number[static_cast<std::size_t>(findRoot(parent, static_cast<int>(i)))];
        if (root < 0) root = groupCount_++;
        groups_[i] = root;
    }
}

// One centre height for the keys of part i's group in part i's row: the mean of their centres,
// moved where every one of them can take it if there is such a height.
double PanelGeometry::rowLevel(std::size_t i, double bodyHeight) const {
    double sum = 0, lowest = -1e9, highest = 1e9;
    int inRow = 0;
    for (std::size_t j = 0; j < table_.parts.size(); ++j) {
        if (groups_[j] != groups_[i] || !sameRow(table_.parts[i], table_.parts[j])) continue;
        const QRectF rect = partRect(table_.parts[j]);
        sum += rect.center().y();
        lowest = std::max(lowest, rect.top() + bodyHeight / 2);
        highest = std::min(highest, rect.bottom() - bodyHeight / 2);
        ++inRow;
    }
    const double mean = sum / inRow;
    return lowest <= highest ? std::clamp(mean, lowest, highest) : mean;
}

// Each key of a group gets the group's smallest size, centred in its rect but level with the other
// keys of its row as far as its rect allows.
void PanelGeometry::shapeButtons() {
    const auto parts = table_.parts;
    std::vector<QSizeF> body(static_cast<std::size_t>(groupCount_), QSizeF(1e9, 1e9));
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (groups_[i] >= 0) {
            QSizeF& size = body[static_cast<std::size_t>(groups_[i])];
            size = size.boundedTo(QSizeF(parts[i].width, parts[i].height));
        }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (groups_[i] < 0) continue;
        if (inCross(parts[i])) {
            shapes_[i] = crossKeyShape(parts[i], *well_);
            continue;
        }
        const QSizeF size = body[static_cast<std::size_t>(groups_[i])];
        const QRectF rect = partRect(parts[i]);
        const double y =
            std::clamp(rowLevel(i, size.height()), rect.top() + size.height() / 2, rect.bottom() - size.height() / 2);
        const QPointF centre(rect.center().x(), y);
        shapes_[i] = plainKeyShape(parts[i], QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size));
    }
}

// A band behind each group of like keys; when a group's bounds would take in other parts, a band
// behind each of its rows instead.
void PanelGeometry::placeBands() {
    std::vector<Members> groups(static_cast<std::size_t>(groupCount_));
    for (std::size_t i = 0; i < table_.parts.size(); ++i)
        if (table_.parts[i].kind == PartKind::Key && groups_[i] >= 0)
            groups[static_cast<std::size_t>(groups_[i])].push_back(&table_.parts[i]);
    for (std::size_t group = 0; group < groups.size(); ++group) {
        const int id = static_cast<int>(group);
        if (const auto band = bandFor(groups[group], table_, well_)) {
            bands_.push_back({*band, id});
            continue;
        }
        for (const Members& row : rowsOf(groups[group]))
            if (const auto band = bandFor(row, table_, well_)) bands_.push_back({*band, id});
    }
}

void PanelGeometry::dropBands(int group) {
    std::erase_if(bands_, [group](const Band& band) { return band.group == group; });
}
