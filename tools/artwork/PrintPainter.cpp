#include "PrintPainter.h"

#include "FreeSpace.h"
#include "LampPainter.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

namespace {

enum class Side { Below, Right, Above, Left };

constexpr std::array AllSides = {Side::Below, Side::Right, Side::Above, Side::Left};
constexpr std::array SmallSizes = {7.0, 6.5, 6.0, 5.5, 5.0};
constexpr double Tracking = 0.4;
constexpr double Gap = 2;
constexpr double SmallestCapLettering = 6.5; // below this a key's name goes on the face instead
constexpr std::array KeyNameSizes = {7.5, 7.0, 6.5};
constexpr std::array KeyNameSides = {Side::Below, Side::Above};

const QColor PrintInk(160, 165, 172);
const QColor BadgeInk(196, 200, 206);

// Where a print of the given ink size may go, best first.
using Candidates = std::function<std::vector<QRectF>(QSizeF ink)>;

struct Print {
    QString text;
    Candidates candidates;
};

QRectF beside(const QRectF& anchor, QSizeF ink, Side side) {
    const QPointF c = anchor.center();
    switch (side) {
    case Side::Below:
        return {c.x() - ink.width() / 2, anchor.bottom() + Gap, ink.width(), ink.height()};
    case Side::Above:
        return {c.x() - ink.width() / 2, anchor.top() - Gap - ink.height(), ink.width(), ink.height()};
    case Side::Right:
        return {anchor.right() + Gap, c.y() - ink.height() / 2, ink.width(), ink.height()};
    case Side::Left:
        return {anchor.left() - Gap - ink.width(), c.y() - ink.height() / 2, ink.width(), ink.height()};
    }
    return {};
}

bool clearOf(const QRectF& box, const CrossWell& well, double gap) {
    const QPointF c = well.centre;
    const double dx = c.x() - std::clamp(c.x(), box.left(), box.right());
    const double dy = c.y() - std::clamp(c.y(), box.top(), box.bottom());
    return std::hypot(dx, dy) >= well.radius + gap;
}

// The box just outside the well in the direction of angle (0 = right, counter-clockwise).
QRectF outsideWell(const CrossWell& well, QSizeF ink, double angle, double gap) {
    const QPointF direction(std::cos(angle), -std::sin(angle));
    for (double distance = well.radius;; distance += 0.5) {
        const QPointF centre = well.centre + direction * distance;
        const QRectF box(centre.x() - ink.width() / 2, centre.y() - ink.height() / 2, ink.width(), ink.height());
        if (clearOf(box, well, gap)) return box;
    }
}

QSizeF inkSize(const PrintFont& font, const QString& text, double size, double tracking) {
    return {font.width(text, size, tracking), font.capHeight(size)};
}

// All prints at one size, each at its first free candidate, or nothing if one of them finds no room.
std::optional<std::vector<Printed>> tryPlace(FreeSpace& space, const PrintFont& font, const std::vector<Print>& prints,
                                             double size) {
    FreeSpace trial = space;
    std::vector<Printed> placed;
    for (const Print& print : prints) {
        const auto box = trial.firstFree(print.candidates(inkSize(font, print.text, size, Tracking)));
        if (!box) return std::nullopt;
        trial.take(box->adjusted(-2, -1, 2, 1));
        placed.push_back({print.text, *box, size, Tracking, PrintInk});
    }
    space = trial;
    return placed;
}

std::vector<Printed> placeLargest(FreeSpace& space, const PrintFont& font, const std::vector<Print>& prints) {
    for (double size : SmallSizes)
        if (auto placed = tryPlace(space, font, prints, size)) return *placed;
    return {};
}

// A print that goes on some side of what it names.
struct Anchored {
    QString text;
    QRectF anchor;
};

// Like prints look alike: one size and the same side of every anchor, the largest size that fits.
std::vector<Printed> placeAlike(FreeSpace& space, const PrintFont& font, const std::vector<Anchored>& anchored,
                                std::span<const double> sizes = SmallSizes, std::span<const Side> sides = AllSides) {
    for (double size : sizes) {
        for (Side side : sides) {
            std::vector<Print> prints;
            for (const Anchored& one : anchored)
                prints.push_back({one.text, [anchor = one.anchor, side](QSizeF ink) {
                                      return std::vector<QRectF>{beside(anchor, ink, side)};
                                  }});
            if (auto placed = tryPlace(space, font, prints, size)) return *placed;
        }
    }
    return {};
}

// Anchors side by side share one top and bottom, so their prints line up.
std::vector<Anchored> levelled(std::vector<Anchored> anchored) {
    const std::vector<Anchored> original = anchored;
    for (Anchored& one : anchored)
        for (const Anchored& other : original) {
            QRectF& a = one.anchor;
            const QRectF& b = other.anchor;
            if (std::max(a.top(), b.top()) >= std::min(a.bottom(), b.bottom())) continue;
            a.setTop(std::min(a.top(), b.top()));
            a.setBottom(std::max(a.bottom(), b.bottom()));
        }
    return anchored;
}

bool hasName(const PanelPart& part) {
    return part.kind == PartKind::Key &&
           (part.glyph == Glyph::Text || part.glyph == Glyph::Plus || part.glyph == Glyph::Minus) &&
           !isChannelNumber(part.label);
}

std::vector<int> groupsWithSmallNames(const PanelGeometry& geometry, const std::vector<Lettering>& lettering) {
    std::vector<int> groups;
    for (const PanelPart& part : geometry.table().parts) {
        const int group = geometry.group(part);
        if (hasName(part) && lettering[static_cast<std::size_t>(group)].wordSize < SmallestCapLettering &&
            std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    return groups;
}

std::vector<Printed> placeKeyNames(FreeSpace& space, const PanelGeometry& geometry, int group, const PrintFont& font) {
    std::vector<Anchored> names;
    for (const PanelPart& part : geometry.table().parts)
        if (hasName(part) && geometry.group(part) == group)
            names.push_back({QString::fromLatin1(part.label), partRect(part)});
    return placeAlike(space, font, levelled(names), KeyNameSizes, KeyNameSides);
}

std::vector<Printed> placeLampNames(FreeSpace& space, const PanelLayoutTable& table, const PrintFont& font) {
    std::vector<Anchored> names;
    for (const PanelPart& part : table.parts) {
        const QRectF rect = partRect(part);
        // A strip's names stand beside it, each level with its lamp.
        for (const LampSpot& spot : lampSpots(part))
            names.push_back(
                {QString::fromLatin1(spot.label),
                 part.kind == PartKind::LampStrip ? QRectF(rect.left(), spot.centre.y() - 1, rect.width(), 2) : rect});
    }
    return placeAlike(space, font, levelled(names));
}

double outwardAngle(Glyph glyph) {
    switch (glyph) {
    case Glyph::Up:
        return std::numbers::pi / 2;
    case Glyph::Left:
        return std::numbers::pi;
    case Glyph::Down:
        return -std::numbers::pi / 2;
    default:
        return 0;
    }
}

std::vector<Print> transportNames(const PanelGeometry& geometry, double sweep) {
    const CrossWell well = *geometry.well();
    std::vector<Print> names;
    for (const PanelPart& part : geometry.table().parts) {
        if (!geometry.inCross(part) || part.glyph == Glyph::Play) continue;
        const double outward = outwardAngle(part.glyph);
        names.push_back({QString::fromLatin1(part.label), [well, outward, sweep](QSizeF ink) {
                             std::vector<QRectF> around;
                             for (double degrees = 0; degrees <= sweep; degrees += 12)
                                 for (double sign : {1.0, -1.0})
                                     around.push_back(outsideWell(
                                         well, ink, outward + sign * degrees * std::numbers::pi / 180, 4.5));
                             return around;
                         }});
    }
    return names;
}

// Each arrow's meaning goes outside the well straight beyond its arrow, a little smaller if need
// be, else as near there as there is room.
std::vector<Printed> placeTransportNames(FreeSpace& space, const PanelGeometry& geometry, const PrintFont& font) {
    constexpr std::array<std::pair<double, double>, 5> attempts = {{{7, 0}, {6.5, 0}, {6, 0}, {7, 36}, {6, 36}}};
    for (const auto& [size, sweep] : attempts)
        if (auto placed = tryPlace(space, font, transportNames(geometry, sweep), size)) return *placed;
    return placeLargest(space, font, transportNames(geometry, 36));
}

std::vector<Printed> placeKeyLockCaptions(FreeSpace& space, const PanelLayoutTable& table, const PrintFont& font) {
    std::vector<Printed> placed;
    for (const PanelPart& part : table.parts) {
        if (part.glyph != Glyph::KeyLock) continue;
        const auto caption = placeAlike(space, font, {{QString::fromLatin1(part.label), partRect(part)}});
        placed.insert(placed.end(), caption.begin(), caption.end());
    }
    return placed;
}

QString modelNumber(const PanelLayoutTable& table) {
    QString digits;
    for (QChar c : QString::fromLatin1(table.caption))
        if (c.isDigit()) digits += c;
    return digits;
}

// Top left first, then beside the window buttons, a bottom corner, then along the bottom and top edges.
std::vector<QRectF> badgeCandidates(const PanelLayoutTable& table, QSizeF ink) {
    double buttonsLeft = table.width;
    for (const PanelPart& part : table.parts)
        if (part.kind == PartKind::WindowButton) buttonsLeft = std::min<double>(buttonsLeft, part.left);
    const double w = ink.width(), h = ink.height();
    const double top = 7, bottom = table.height - 8 - h;
    std::vector<QRectF> candidates = {
        {10, top, w, h}, {buttonsLeft - 10 - w, top, w, h}, {10, bottom, w, h}, {table.width - 10 - w, bottom, w, h}};
    for (double x = 10; x + w < table.width - 10; x += 4)
        candidates.push_back({x, bottom, w, h});
    for (double x = 10; x + w < table.width - 10; x += 4)
        candidates.push_back({x, top, w, h});
    return candidates;
}

std::vector<Printed> placeBadge(FreeSpace& space, const PanelLayoutTable& table, const PrintFont& font) {
    const QString number = modelNumber(table);
    constexpr double tracking = 1.4;
    for (double size : {11.0, 10.0, 9.0, 8.0}) {
        const auto box = space.firstFree(badgeCandidates(table, inkSize(font, number, size, tracking)));
        if (!box) continue;
        space.take(*box);
        return {{number, *box, size, tracking, BadgeInk}};
    }
    return {};
}

void expect(const PanelLayoutTable& table, const std::vector<Printed>& placed, std::size_t wanted, const char* what) {
    if (placed.size() < wanted) std::fprintf(stderr, "%s: no free room for the %s\n", table.caption, what);
}

void append(std::vector<Printed>& to, const std::vector<Printed>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

std::size_t lampCount(const PanelLayoutTable& table) {
    std::size_t count = 0;
    for (const PanelPart& part : table.parts)
        count += lampSpots(part).size();
    return count;
}

} // namespace

std::vector<Printed> planPrint(PanelGeometry& geometry, std::vector<Lettering>& lettering, const PrintFont& font) {
    const PanelLayoutTable& table = geometry.table();
    const std::vector<int> smallNames = groupsWithSmallNames(geometry, lettering);
    for (int group : smallNames)
        geometry.dropBands(group);
    FreeSpace space(geometry);
    std::vector<Printed> prints;
    for (int group : smallNames) {
        const auto names = placeKeyNames(space, geometry, group, font);
        lettering[static_cast<std::size_t>(group)].namesOnFace = !names.empty();
        append(prints, names);
    }
    const auto lamps = placeLampNames(space, table, font);
    expect(table, lamps, lampCount(table), "lamp names");
    append(prints, lamps);
    if (geometry.well()) {
        const auto transport = placeTransportNames(space, geometry, font);
        expect(table, transport, 4, "transport names");
        append(prints, transport);
    }
    append(prints, placeKeyLockCaptions(space, table, font));
    const auto badge = placeBadge(space, table, font);
    expect(table, badge, 1, "model number");
    append(prints, badge);
    return prints;
}

void paintPrint(QPainter& painter, const std::vector<Printed>& print, const PrintFont& font) {
    for (const Printed& placed : print) {
        QPainterPath path = font.outline(placed.text, placed.size, placed.tracking);
        path.translate(placed.box.left() - path.boundingRect().left(), std::round(placed.box.bottom()));
        painter.fillPath(path.translated(0, 0.8), QColor(0, 0, 0, 110));
        painter.fillPath(path, placed.ink);
    }
}
