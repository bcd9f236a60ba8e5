#include "SkinPainter.h"

#include "ButtonPainter.h"
#include "LampPainter.h"
#include "Noise.h"
#include "PrintPainter.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

std::uint32_t seedOf(const PanelLayoutTable& table) {
    std::uint32_t salt = 2166136261u;
    for (const char* c = table.caption; *c != '\0'; ++c)
        salt = (salt ^ static_cast<unsigned char>(*c)) * 16777619u;
    return salt;
}

int clampByte(double value) {
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

// Brushed graphite: fine horizontal streaks over a faint grain, a touch lighter towards the top.
// At a larger scale the streaks keep their length on the panel, and the grain is finer.
void brush(QImage& image, std::uint32_t salt, int scale) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double shade = 47 - 10.0 * y / image.height();
        for (int x = 0; x < image.width(); ++x) {
            const double v = shade + 2.6 * Noise::streak(x, y, 53 * scale, salt) +
                             1.6 * Noise::streak(x, y, 7 * scale, salt + 1) + 1.1 * Noise::grain(x, y, salt + 2);
            row[x] = qRgb(clampByte(v), clampByte(v + 1.5), clampByte(v + 4));
        }
    }
}

void line(QPainter& painter, QPointF from, QPointF to, const QColor& colour) {
    painter.setPen(QPen(colour, 1.0));
    painter.drawLine(from, to);
}

void bevel(QPainter& painter, int width, int height) {
    const double r = width - 0.5, b = height - 0.5;
    painter.setPen(QPen(QColor(6, 6, 7), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0.5, 0.5, width - 1, height - 1));
    line(painter, {1.5, 1.5}, {r - 1, 1.5}, QColor(255, 255, 255, 70));
    line(painter, {1.5, 2.5}, {1.5, b - 1}, QColor(255, 255, 255, 48));
    line(painter, {2.5, 2.5}, {r - 2, 2.5}, QColor(255, 255, 255, 26));
    line(painter, {2.5, 3.5}, {2.5, b - 2}, QColor(255, 255, 255, 18));
    line(painter, {1.5, b - 1}, {r - 1, b - 1}, QColor(0, 0, 0, 130));
    line(painter, {r - 1, 1.5}, {r - 1, b - 1.5}, QColor(0, 0, 0, 110));
    line(painter, {3, b - 2}, {r - 2, b - 2}, QColor(0, 0, 0, 50));
    line(painter, {r - 2, 3}, {r - 2, b - 2.5}, QColor(0, 0, 0, 40));
}

// A shallow recess, a shade lighter than the face, with an engraved edge.
void paintBand(QPainter& painter, const QRectF& band) {
    QPainterPath path;
    path.addRoundedRect(band, 5, 5);
    QLinearGradient tone(band.topLeft(), band.bottomLeft());
    tone.setColorAt(0, QColor(0, 0, 0, 34));
    tone.setColorAt(0.25, QColor(255, 255, 255, 8));
    tone.setColorAt(1, QColor(255, 255, 255, 14));
    painter.fillPath(path, tone);
    QLinearGradient edge(band.topLeft(), band.bottomLeft());
    edge.setColorAt(0, QColor(0, 0, 0, 150));
    edge.setColorAt(1, QColor(255, 255, 255, 44));
    painter.setPen(QPen(QBrush(edge), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace

QImage paintFace(const PanelGeometry& geometry, const std::vector<Printed>& print, const PrintFont& font, int scale) {
    const PanelLayoutTable& table = geometry.table();
    QImage face(table.width * scale, table.height * scale, QImage::Format_RGB32);
    brush(face, seedOf(table), scale);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    if (scale != 1) painter.scale(scale, scale);
    bevel(painter, table.width, table.height);
    for (const Band& band : geometry.bands())
        paintBand(painter, band.rect.adjusted(0.5, 0.5, -0.5, -0.5));
    if (geometry.well()) paintWell(painter, *geometry.well());
    for (const PanelPart& part : table.parts) {
        if (part.isButton()) paintHole(painter, geometry.shape(part));
        if (part.kind == PartKind::Lamp || part.kind == PartKind::LampStrip) paintLampHousing(painter, part);
    }
    paintPrint(painter, print, font);
    return face;
}
