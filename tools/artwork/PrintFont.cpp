#include "PrintFont.h"

#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

// Outlines are taken at this size and scaled, so every size uses the same unhinted shapes.
constexpr double ReferenceSize = 100;

} // namespace

PrintFont::PrintFont(const QString& fontFile) : font_(fontFile, ReferenceSize) {
    if (font_.isValid()) capRatio_ = font_.capHeight() / ReferenceSize;
}

QPainterPath PrintFont::outline(const QString& text, double pixelSize, double tracking) const {
    QPainterPath path;
    if (!font_.isValid() || text.isEmpty()) return path;
    const double scale = pixelSize / ReferenceSize;
    const QList<quint32> glyphs = font_.glyphIndexesForString(text);
    const QList<QPointF> advances = font_.advancesForGlyphIndexes(glyphs);
    double x = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const QTransform place = QTransform::fromTranslate(x, 0).scale(scale, scale);
        path.addPath(place.map(font_.pathForGlyph(glyphs[i])));
        x += advances[i].x() * scale + tracking;
    }
    return path;
}

double PrintFont::width(const QString& text, double pixelSize, double tracking) const {
    if (!font_.isValid() || text.isEmpty()) return 0;
    const QList<QPointF> advances = font_.advancesForGlyphIndexes(font_.glyphIndexesForString(text));
    double total = 0;
    for (const QPointF& advance : advances)
        total += advance.x() * pixelSize / ReferenceSize;
    return total + tracking * static_cast<double>(advances.size() - 1);
}

double PrintFont::fitSize(const QString& text, const QRectF& box, double maxPixelSize, double tracking) const {
    const double unitWidth = width(text, 1.0);
    if (unitWidth <= 0) return 0;
    const double byWidth = (box.width() - tracking * static_cast<double>(text.size() - 1)) / unitWidth;
    return std::max(1.0, std::min({maxPixelSize, box.height() / capRatio_, byWidth}));
}

QPainterPath PrintFont::centred(const QString& text, const QRectF& box, double pixelSize, double tracking) const {
    QPainterPath path = outline(text, pixelSize, tracking);
    const QRectF ink = path.boundingRect();
    // Baseline on a whole pixel keeps the letters' feet crisp.
    const double left = box.center().x() - ink.width() / 2 - ink.left();
    const double baseline = std::round(box.center().y() + capHeight(pixelSize) / 2);
    path.translate(left, baseline);
    return path;
}
