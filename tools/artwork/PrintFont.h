#pragma once

#include <QPainterPath>
#include <QRawFont>
#include <QRectF>
#include <QString>

// Lettering for keys and print, as outlines from one font file: the same shapes on every machine,
// at any fractional size, whatever fonts the system has.
class PrintFont {
public:
    explicit PrintFont(const QString& fontFile);

    bool isValid() const { return font_.isValid(); }

    // The outline of text with its baseline starting at the origin.
    QPainterPath outline(const QString& text, double pixelSize, double tracking = 0) const;
    double width(const QString& text, double pixelSize, double tracking = 0) const;
    double capHeight(double pixelSize) const { return capRatio_ * pixelSize; }

    // The largest size up to maxPixelSize at which text fits box.
    double fitSize(const QString& text, const QRectF& box, double maxPixelSize, double tracking = 0) const;
    // Text centred in box at pixelSize.
    QPainterPath centred(const QString& text, const QRectF& box, double pixelSize, double tracking = 0) const;

private:
    QRawFont font_;
    double capRatio_ = 0.73;
};
