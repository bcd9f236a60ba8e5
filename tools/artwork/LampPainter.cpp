#include "LampPainter.h"

#include "KeyGeometry.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <array>

namespace {

constexpr std::array StripOrder = {Lamp::Busy, Lamp::Work, Lamp::Ok, Lamp::NoLine};
constexpr std::array StripLabels = {"BUSY", "WORK", "OK", "NOLINE"};

QColor litColour(Lamp lamp) {
    switch (lamp) {
    case Lamp::Busy:
        return {255, 42, 30};
    case Lamp::Work:
        return {236, 242, 255};
    case Lamp::Ok:
        return {40, 232, 72};
    case Lamp::NoLine:
        return {255, 206, 28};
    }
    return Qt::white;
}

QColor darkColour(Lamp lamp) {
    switch (lamp) {
    case Lamp::Busy:
        return {70, 16, 14};
    case Lamp::Work:
        return {52, 54, 58};
    case Lamp::Ok:
        return {14, 52, 22};
    case Lamp::NoLine:
        return {66, 52, 10};
    }
    return Qt::black;
}

QColor mixed(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QColor withAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

void paintBezel(QPainter& painter, const LampSpot& spot) {
    const double outer = spot.lensRadius + std::max(1.2, spot.lensRadius * 0.3);
    QLinearGradient metal(spot.centre - QPointF(0, outer), spot.centre + QPointF(0, outer));
    metal.setColorAt(0, QColor(26, 27, 29));
    metal.setColorAt(1, QColor(112, 116, 122));
    painter.setPen(Qt::NoPen);
    painter.setBrush(metal);
    painter.drawEllipse(spot.centre, outer, outer);
    painter.setBrush(QColor(6, 6, 7));
    painter.drawEllipse(spot.centre, spot.lensRadius + 0.6, spot.lensRadius + 0.6);
}

void paintStripHousing(QPainter& painter, const PanelPart& part) {
    const QRectF box = partRect(part).adjusted(1.5, 1.5, -1.5, -1.5);
    const double radius = box.width() / 2;
    QPainterPath housing;
    housing.addRoundedRect(box, radius, radius);
    painter.fillPath(housing, QColor(12, 13, 14));
    QLinearGradient lip(box.topLeft(), box.bottomLeft());
    lip.setColorAt(0, QColor(0, 0, 0, 170));
    lip.setColorAt(1, QColor(255, 255, 255, 56));
    painter.setPen(QPen(QBrush(lip), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(housing);
}

// Light spilling from a lit lens onto its bezel and the face, gone before the part's edge.
void paintGlow(QPainter& painter, const LampSpot& spot, const QColor& colour) {
    QRadialGradient glow(spot.centre, spot.reach);
    const double lensEdge = spot.lensRadius / spot.reach;
    glow.setColorAt(0, withAlpha(colour, 200));
    glow.setColorAt(lensEdge, withAlpha(colour, 120));
    glow.setColorAt(std::min(0.99, lensEdge + (1 - lensEdge) * 0.45), withAlpha(colour, 34));
    glow.setColorAt(1, withAlpha(colour, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    painter.drawEllipse(spot.centre, spot.reach, spot.reach);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void paintSpecular(QPainter& painter, const LampSpot& spot, int alpha) {
    const double r = spot.lensRadius;
    QRadialGradient shine(spot.centre - QPointF(r * 0.35, r * 0.4), r * 0.5);
    shine.setColorAt(0, QColor(255, 255, 255, alpha));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(shine);
    painter.drawEllipse(spot.centre, r, r);
}

} // namespace

std::vector<LampSpot> lampSpots(const PanelPart& part) {
    const QRectF box = partRect(part);
    if (part.kind == PartKind::Lamp) {
        const double side = std::min(box.width(), box.height());
        return {{part.lamp, box.center(), std::clamp(side * 0.26, 2.6, 7.0), side / 2 - 0.5, part.label}};
    }
    std::vector<LampSpot> spots;
    if (part.kind != PartKind::LampStrip) return spots;
    const double cell = box.height() / StripOrder.size();
    const double side = std::min(box.width(), cell);
    for (std::size_t i = 0; i < StripOrder.size(); ++i)
        spots.push_back({StripOrder[i], QPointF(box.center().x(), box.top() + cell * (i + 0.5)), side * 0.26,
                         side / 2 - 1.5, StripLabels[i]});
    return spots;
}

void paintLampHousing(QPainter& painter, const PanelPart& part) {
    if (part.kind == PartKind::LampStrip) paintStripHousing(painter, part);
    for (const LampSpot& spot : lampSpots(part))
        paintBezel(painter, spot);
}

void paintLens(QPainter& painter, const LampSpot& spot, bool lit) {
    const QColor colour = lit ? litColour(spot.lamp) : darkColour(spot.lamp);
    if (lit) paintGlow(painter, spot, colour);
    const double r = spot.lensRadius;
    QRadialGradient lens(spot.centre - QPointF(r * 0.2, r * 0.25), r * 1.1);
    lens.setColorAt(0, lit ? mixed(colour, Qt::white, 0.75) : mixed(colour, Qt::white, 0.12));
    lens.setColorAt(0.55, colour);
    lens.setColorAt(1, mixed(colour, Qt::black, lit ? 0.25 : 0.55));
    painter.setPen(Qt::NoPen);
    painter.setBrush(lens);
    painter.drawEllipse(spot.centre, r, r);
    paintSpecular(painter, spot, lit ? 170 : 110);
}
