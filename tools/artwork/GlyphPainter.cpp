#include "GlyphPainter.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace {

// Icons grow with their key only so far: a big key with a huge icon looks like a toy.
QRectF squareIn(const QRectF& cell, double scale, double maxSide = 1e9) {
    const double side = std::min(std::min(cell.width(), cell.height()) * scale, maxSide);
    return QRectF(cell.center().x() - side / 2, cell.center().y() - side / 2, side, side);
}

// A triangle pointing along angle (0 = right), filling the square box.
QPainterPath triangle(const QRectF& box, double angle) {
    const QPointF c = box.center();
    const double r = box.width() / 2;
    QPainterPath path;
    for (int i = 0; i < 3; ++i) {
        const double a = angle + i * 2 * std::numbers::pi / 3;
        const QPointF corner(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
        i == 0 ? path.moveTo(corner) : path.lineTo(corner);
    }
    path.closeSubpath();
    // Shift so the triangle's bounding box, not its centroid, is centred.
    path.translate(c - path.boundingRect().center());
    return path;
}

double angleOf(Glyph glyph) {
    switch (glyph) {
    case Glyph::Up:
    case Glyph::Pause:
        return std::numbers::pi / 2;
    case Glyph::Down:
    case Glyph::Stop:
        return -std::numbers::pi / 2;
    case Glyph::Left:
    case Glyph::Rewind:
        return std::numbers::pi;
    default:
        return 0;
    }
}

QPainterPath doubleTriangle(const QRectF& box, bool forward) {
    const double w = box.width() * 0.58;
    QRectF first(box.left(), box.top(), w, box.height());
    QRectF second(box.right() - w, box.top(), w, box.height());
    QPainterPath path = triangle(squareIn(first, 1.0), forward ? 0 : std::numbers::pi);
    path.addPath(triangle(squareIn(second, 1.0), forward ? 0 : std::numbers::pi));
    return path.simplified();
}

QPainterPath pauseBars(const QRectF& box) {
    const double bar = box.width() * 0.3;
    QPainterPath path;
    path.addRect(box.left() + box.width() * 0.12, box.top(), bar, box.height());
    path.addRect(box.right() - box.width() * 0.12 - bar, box.top(), bar, box.height());
    return path;
}

QPainterPath square(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.adjusted(box.width() * 0.1, box.height() * 0.1, -box.width() * 0.1, -box.height() * 0.1));
    return path;
}

QPainterPath grid(const QRectF& box, int cells) {
    const double gap = std::max(0.8, box.width() / (cells * 5.0));
    const double cell = (box.width() - gap * (cells - 1)) / cells;
    QPainterPath path;
    for (int row = 0; row < cells; ++row)
        for (int col = 0; col < cells; ++col)
            path.addRect(box.left() + col * (cell + gap), box.top() + row * (cell + gap), cell, cell);
    return path;
}

QPainterPath outlinedRect(const QRectF& outer, double line) {
    QPainterPath path;
    path.addRect(outer);
    path.addRect(outer.adjusted(line, line, -line, -line));
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

QPainterPath pictureInPicture(const QRectF& box) {
    const QRectF outer(box.left(), box.top() + box.height() * 0.12, box.width(), box.height() * 0.76);
    const double line = std::max(1.0, box.width() * 0.09);
    QPainterPath path = outlinedRect(outer, line);
    const QRectF inset(outer.left() + outer.width() * 0.5, outer.top() + outer.height() * 0.45, outer.width() * 0.5,
                       outer.height() * 0.55);
    path.addRect(inset.adjusted(0, 0, -line - 0.8, -line - 0.8));
    return path;
}

QPainterPath bar(const QRectF& box, double thickness, bool vertical) {
    QPainterPath path;
    const QPointF c = box.center();
    if (vertical)
        path.addRect(c.x() - thickness / 2, box.top(), thickness, box.height());
    else
        path.addRect(box.left(), c.y() - thickness / 2, box.width(), thickness);
    return path;
}

QPainterPath plusSign(const QRectF& box) {
    const double t = std::max(1.2, box.width() * 0.2);
    return bar(box, t, false).united(bar(box, t, true));
}

QPainterPath stroked(const QPainterPath& path, double width, Qt::PenCapStyle cap = Qt::RoundCap) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath powerSymbol(const QRectF& box) {
    const double line = std::max(1.2, box.width() * 0.13);
    const QRectF ring = box.adjusted(line / 2, line / 2 + box.height() * 0.06, -line / 2, -line / 2);
    QPainterPath arc;
    arc.arcMoveTo(ring, 125);
    arc.arcTo(ring, 125, 290);
    QPainterPath stem;
    stem.moveTo(box.center().x(), box.top() + line / 2);
    stem.lineTo(box.center().x(), box.center().y());
    return stroked(arc, line).united(stroked(stem, line));
}

QPainterPath padlock(const QRectF& box) {
    const double line = std::max(1.0, box.width() * 0.14);
    const QRectF body(box.left() + box.width() * 0.1, box.top() + box.height() * 0.45, box.width() * 0.8,
                      box.height() * 0.55);
    QPainterPath shackle;
    const double w = body.width() * 0.6;
    const QRectF loop(box.center().x() - w / 2, box.top() + line / 2, w, box.height() * 0.6);
    shackle.moveTo(loop.left(), body.top());
    shackle.lineTo(loop.left(), loop.top() + w / 2);
    shackle.arcTo(loop.left(), loop.top(), w, w, 180, -180);
    shackle.lineTo(loop.right(), body.top());
    QPainterPath path;
    path.addRoundedRect(body, line * 0.6, line * 0.6);
    QPainterPath keyhole;
    keyhole.addEllipse(QPointF(body.center().x(), body.center().y() - body.height() * 0.05), line * 0.55, line * 0.55);
    return path.united(stroked(shackle, line, Qt::FlatCap)).subtracted(keyhole);
}

QPainterPath gear(const QRectF& box) {
    const QPointF c = box.center();
    const double outer = box.width() / 2, inner = outer * 0.72;
    constexpr int teeth = 7;
    QPainterPath path;
    for (int i = 0; i < teeth * 4; ++i) {
        const double a = i * std::numbers::pi / (teeth * 2) + std::numbers::pi / (teeth * 4);
        const double r = (i % 4 < 2) ? outer : inner;
        const QPointF p(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        i == 0 ? path.moveTo(p) : path.lineTo(p);
    }
    path.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, outer * 0.34, outer * 0.34);
    return path.subtracted(hole);
}

QPainterPath cross(const QRectF& box, double line) {
    QPainterPath strokes;
    strokes.moveTo(box.topLeft());
    strokes.lineTo(box.bottomRight());
    strokes.moveTo(box.topRight());
    strokes.lineTo(box.bottomLeft());
    return stroked(strokes, line, Qt::FlatCap);
}

void fill(QPainter& painter, const QPainterPath& path, const QColor& ink) {
    painter.fillPath(path, ink);
}

void paintRecordDot(QPainter& painter, const QRectF& box) {
    QRadialGradient red(box.center() - QPointF(box.width() * 0.15, box.height() * 0.2), box.width() * 0.6);
    red.setColorAt(0, QColor(255, 120, 110));
    red.setColorAt(0.45, QColor(226, 30, 28));
    red.setColorAt(1, QColor(140, 10, 12));
    painter.setPen(Qt::NoPen);
    painter.setBrush(red);
    painter.drawEllipse(box);
}

// Splits cell into a column (or row) of two parts, the first taking share of it.
std::pair<QRectF, QRectF> split(const QRectF& cell, double share, bool column) {
    if (column) {
        const double h = cell.height() * share;
        return {QRectF(cell.left(), cell.top(), cell.width(), h),
                QRectF(cell.left(), cell.top() + h, cell.width(), cell.height() - h)};
    }
    const double w = cell.width() * share;
    return {QRectF(cell.left(), cell.top(), w, cell.height()),
            QRectF(cell.left() + w, cell.top(), cell.width() - w, cell.height())};
}

void paintText(QPainter& painter, const QString& text, const QRectF& cell, double size, const Lettering& lettering,
               const QColor& ink) {
    const double fits = lettering.font->fitSize(text, cell, size);
    fill(painter, lettering.font->centred(text, cell, fits), ink);
}

void paintTransport(QPainter& painter, const PanelPart& part, const QRectF& face, const QColor& ink) {
    const auto [symbolCell, arrowCell] = split(face, 0.68, false);
    const QRectF box = squareIn(symbolCell, 0.62);
    QPainterPath symbol;
    if (part.glyph == Glyph::Pause) symbol = pauseBars(box);
    if (part.glyph == Glyph::Stop) symbol = square(box);
    if (part.glyph == Glyph::Rewind) symbol = doubleTriangle(box, false);
    if (part.glyph == Glyph::FastForward) symbol = doubleTriangle(box, true);
    fill(painter, symbol, ink);
    QColor dim = ink;
    dim.setAlphaF(0.7);
    fill(painter, triangle(squareIn(arrowCell, 0.42), angleOf(part.glyph)), dim);
}

void paintRecord(QPainter& painter, const QRectF& face, const Lettering& lettering, const QColor& ink) {
    const bool column = face.width() < face.height() * 2;
    const auto [dotCell, textCell] = split(face, column ? 0.58 : 0.42, column);
    QRectF dot = squareIn(dotCell, column ? 0.82 : 0.62, 11);
    if (column) dot.translate(0, dotCell.bottom() - dot.bottom() - 1);
    paintRecordDot(painter, dot);
    QRectF text = textCell;
    if (column) text.setHeight(std::min(text.height(), lettering.wordSize * 0.9));
    paintText(painter, QStringLiteral("REC"), text, lettering.wordSize, lettering, ink);
}

void paintSignedLabel(QPainter& painter, const PanelPart& part, const QRectF& face, const Lettering& lettering,
                      const QColor& ink) {
    if (lettering.namesOnFace) {
        const QRectF sign = squareIn(face, 0.75, 12);
        fill(painter, part.glyph == Glyph::Plus ? plusSign(sign) : bar(sign, std::max(1.4, sign.width() * 0.2), false),
             ink);
        return;
    }
    const auto [textCell, signCell] = split(face, 0.45, true);
    paintText(painter, QString::fromLatin1(part.label), textCell, lettering.wordSize, lettering, ink);
    QRectF sign = squareIn(signCell, 0.7);
    if (part.glyph == Glyph::Plus)
        fill(painter, plusSign(sign), ink);
    else
        fill(painter, bar(sign, std::max(1.2, sign.width() * 0.2), false), ink);
}

QPainterPath symbolFor(Glyph glyph, const QRectF& face) {
    switch (glyph) {
    case Glyph::Play:
        return triangle(squareIn(face, 0.62), 0);
    case Glyph::Up:
    case Glyph::Down:
    case Glyph::Left:
    case Glyph::Right:
        return triangle(squareIn(face, 0.72), angleOf(glyph));
    case Glyph::Power:
        return powerSymbol(squareIn(face, 0.78, 17));
    case Glyph::Split4:
        return grid(squareIn(face, 0.72, 13), 2);
    case Glyph::Split9:
        return grid(squareIn(face, 0.74, 14), 3);
    case Glyph::Split16:
        return grid(squareIn(face, 0.76, 15), 4);
    case Glyph::PictureInPicture:
        return pictureInPicture(squareIn(face, 0.8, 15).adjusted(-2.5, 0, 2.5, 0));
    case Glyph::KeyLock:
        return padlock(squareIn(face, 0.9, 11));
    case Glyph::Options:
        return gear(squareIn(face, 1.05));
    case Glyph::Minimise:
        return bar(squareIn(face, 0.95).translated(0, face.height() * 0.3), 1.6, false);
    case Glyph::Close:
        return cross(squareIn(face, 0.72), 1.5);
    default:
        return {};
    }
}

} // namespace

bool isChannelNumber(const char* label) {
    const std::string_view text(label);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void paintKeyContent(QPainter& painter, const PanelPart& part, const QRectF& face, const Lettering& lettering,
                     const QColor& ink) {
    switch (part.glyph) {
    case Glyph::Text: {
        const bool number = isChannelNumber(part.label);
        if (lettering.namesOnFace && !number) return;
        paintText(painter, QString::fromLatin1(part.label), face, number ? lettering.digitSize : lettering.wordSize,
                  lettering, ink);
        return;
    }
    case Glyph::Pause:
    case Glyph::Stop:
    case Glyph::Rewind:
    case Glyph::FastForward:
        paintTransport(painter, part, face, ink);
        return;
    case Glyph::Record:
        paintRecord(painter, face, lettering, ink);
        return;
    case Glyph::Plus:
    case Glyph::Minus:
        paintSignedLabel(painter, part, face, lettering, ink);
        return;
    default:
        fill(painter, symbolFor(part.glyph, face), ink);
    }
}
