#include "ButtonPainter.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>

namespace {

struct CapColours {
    QColor top, bottom, ink;
};

// The cursor cross is a lighter grey, so that it stands out of its dark well.
CapColours coloursFor(const PanelPart& part, const KeyShape& shape, CapState state) {
    const bool pressed = state == CapState::Pressed;
    if (part.kind == PartKind::WindowButton)
        return pressed ? CapColours{{30, 31, 33}, {40, 42, 45}, {170, 173, 178}}
                       : CapColours{{66, 69, 74}, {38, 40, 43}, {214, 217, 222}};
    if (shape.inWell)
        return pressed ? CapColours{{44, 46, 50}, {62, 65, 70}, {196, 199, 204}}
                       : CapColours{{112, 116, 123}, {58, 61, 66}, {242, 244, 247}};
    return pressed ? CapColours{{36, 38, 41}, {52, 55, 59}, {190, 193, 198}}
                   : CapColours{{92, 96, 102}, {44, 46, 50}, {236, 238, 241}};
}

QLinearGradient vertical(const QRectF& box, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void strokeRim(QPainter& painter, const QPainterPath& path, const QColor& top, const QColor& bottom, double width) {
    painter.setPen(QPen(QBrush(vertical(path.boundingRect(), top, bottom)), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void paintRaised(QPainter& painter, const KeyShape& shape, const CapColours& colours) {
    const QPainterPath& cap = shape.cap;
    const QRectF box = cap.boundingRect();
    painter.fillPath(cap.translated(0.6, 1.6), QColor(0, 0, 0, 120));
    painter.fillPath(cap.translated(0, 0.8), QColor(0, 0, 0, 170));
    painter.fillPath(cap, vertical(box, colours.top, colours.bottom));
    // A soft sheen over the upper half makes the top read as convex.
    QRadialGradient sheen(QPointF(box.center().x(), box.top()), std::max(box.width(), box.height()) * 0.75);
    sheen.setColorAt(0, QColor(255, 255, 255, shape.round ? 46 : 34));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillPath(cap, sheen);
    strokeRim(painter, cap, QColor(255, 255, 255, 90), QColor(0, 0, 0, 110), 0.9);
}

void paintSunk(QPainter& painter, const KeyShape& shape, const CapColours& colours) {
    const QPainterPath& cap = shape.sunk;
    const QRectF box = cap.boundingRect();
    painter.fillPath(cap, vertical(box, colours.top, colours.bottom));
    // The face's edge shades the top and left of a cap pushed in.
    painter.fillPath(cap.subtracted(cap.translated(1.4, 1.8)), QColor(0, 0, 0, 120));
    painter.fillPath(cap.subtracted(cap.translated(0.7, 0.9)), QColor(0, 0, 0, 90));
    strokeRim(painter, cap, QColor(0, 0, 0, 140), QColor(255, 255, 255, 40), 0.9);
}

} // namespace

void paintHole(QPainter& painter, const KeyShape& shape) {
    if (shape.hole.isEmpty()) return;
    painter.fillPath(shape.hole, QColor(12, 13, 14));
    strokeRim(painter, shape.hole, QColor(0, 0, 0, 160), QColor(255, 255, 255, 52), 1.0);
}

void paintWell(QPainter& painter, const CrossWell& well) {
    const QPointF c = well.centre;
    const double r = well.radius;
    QPainterPath rim;
    rim.addEllipse(c, r + 2, r + 2);
    QLinearGradient chamfer(c - QPointF(r, r), c + QPointF(r, r));
    chamfer.setColorAt(0, QColor(255, 255, 255, 38));
    chamfer.setColorAt(1, QColor(0, 0, 0, 90));
    painter.fillPath(rim, chamfer);
    QPainterPath bowl;
    bowl.addEllipse(c, r, r);
    QRadialGradient floor(c + QPointF(0, r * 0.15), r);
    floor.setColorAt(0, QColor(30, 31, 34));
    floor.setColorAt(0.85, QColor(20, 21, 23));
    floor.setColorAt(1, QColor(10, 10, 11));
    painter.fillPath(bowl, floor);
    strokeRim(painter, bowl, QColor(0, 0, 0, 200), QColor(255, 255, 255, 60), 1.2);
}

void paintCap(QPainter& painter, const PanelPart& part, const KeyShape& shape, CapState state,
              const Lettering& lettering) {
    const CapColours colours = coloursFor(part, shape, state);
    const bool pressed = state == CapState::Pressed;
    if (pressed)
        paintSunk(painter, shape, colours);
    else
        paintRaised(painter, shape, colours);
    const QRectF face = pressed ? shape.face.translated(1, 1) : shape.face;
    paintKeyContent(painter, part, face, lettering, colours.ink);
}
