#include "PanelArtwork.h"

#include "ButtonPainter.h"
#include "KeyGeometry.h"
#include "LampPainter.h"
#include "SkinPainter.h"
#include "exchange/LampDisplays.h"
#include "panels/ImageCodecs.h"

#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

constexpr int SkinQuality = 92;
constexpr double MaxWordSize = 10;
constexpr double MaxDigitSize = 13;

// Like keys print alike: each group of keys takes the size its longest label needs.
std::vector<Lettering> letteringFor(const PanelGeometry& geometry, const PrintFont& font) {
    std::vector<Lettering> lettering(static_cast<std::size_t>(geometry.groupCount()),
                                     Lettering{&font, MaxWordSize, MaxDigitSize});
    for (const PanelPart& part : geometry.table().parts) {
        if (part.kind != PartKind::Key || part.glyph != Glyph::Text) continue;
        Lettering& group = lettering[static_cast<std::size_t>(geometry.group(part))];
        const bool digits = isChannelNumber(part.label);
        double& size = digits ? group.digitSize : group.wordSize;
        size = std::min(size, font.fitSize(QString::fromLatin1(part.label), geometry.shape(part).face,
                                           digits ? MaxDigitSize : MaxWordSize));
    }
    return lettering;
}

struct Painters {
    const PanelGeometry& geometry;
    const std::vector<Lettering>& lettering;
    int scale;

    void cap(QPainter& painter, const PanelPart& part, CapState state) const {
        paintCap(painter, part, geometry.shape(part), state, lettering[static_cast<std::size_t>(geometry.group(part))]);
    }
};

void paintResting(QImage& skin, const Painters& painters) {
    QPainter painter(&skin);
    painter.setRenderHint(QPainter::Antialiasing);
    if (painters.scale != 1) painter.scale(painters.scale, painters.scale);
    for (const PanelPart& part : painters.geometry.table().parts) {
        if (part.isButton()) painters.cap(painter, part, CapState::Raised);
        if (part.kind == PartKind::Lamp || part.kind == PartKind::LampStrip)
            for (const LampSpot& spot : lampSpots(part))
                paintLens(painter, spot, false);
    }
}

QImage cut(const QImage& image, const PanelPart& part, int scale) {
    return image.copy(part.left * scale, part.top * scale, part.width * scale, part.height * scale);
}

// Painting on a cut-out in panel coordinates.
struct CutPainter {
    QPainter painter;
    CutPainter(QImage& picture, const PanelPart& part, int scale) : painter(&picture) {
        painter.setRenderHint(QPainter::Antialiasing);
        if (scale != 1) painter.scale(scale, scale);
        painter.translate(-part.left, -part.top);
    }
};

// The cap's surroundings come back from the bare face, and the cap is painted again, pushed in.
QImage pressedKey(const QImage& skin, const QImage& face, const PanelPart& part, const Painters& painters) {
    const int scale = painters.scale;
    QImage picture = cut(skin, part, scale);
    {
        // A texture brush is anchored at the picture's origin and follows the painter's scale, so
        // this fill is done untransformed, on a path scaled instead.
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath footprint = painters.geometry.shape(part).footprint.translated(-part.left, -part.top);
        painter.fillPath(scale == 1 ? footprint : QTransform::fromScale(scale, scale).map(footprint),
                         QBrush(cut(face, part, scale)));
    }
    CutPainter cutPainter(picture, part, scale);
    painters.cap(cutPainter.painter, part, CapState::Pressed);
    return picture;
}

QImage litLamp(const QImage& skin, const PanelPart& part, Lamp lamp, int scale) {
    QImage picture = cut(skin, part, scale);
    CutPainter cutPainter(picture, part, scale);
    for (const LampSpot& spot : lampSpots(part))
        if (spot.lamp == lamp) paintLens(cutPainter.painter, spot, true);
    return picture;
}

Lamp litBy(LampDisplay display) {
    for (const LampStep& step : lampSteps(display))
        if (step.lit) return step.lamp;
    return Lamp::Busy;
}

void addStrip(PanelArtwork& art, const PanelPart& part, int scale) {
    art.bitmaps[lampStripPicture(LampDisplay::LampsOff)] = cut(art.skin, part, scale);
    for (LampDisplay display :
         {LampDisplay::ShowSending, LampDisplay::ShowOk, LampDisplay::ShowBusy, LampDisplay::ShowNoLine})
        art.bitmaps[lampStripPicture(display)] = litLamp(art.skin, part, litBy(display), scale);
}

void addPictures(PanelArtwork& art, const PanelPart& part, const QImage& face, const Painters& painters) {
    const int scale = painters.scale;
    if (part.kind == PartKind::LampStrip) return addStrip(art, part, scale);
    art.bitmaps[part.releasedId] = cut(art.skin, part, scale);
    art.bitmaps[part.pressedId()] =
        part.isButton() ? pressedKey(art.skin, face, part, painters) : litLamp(art.skin, part, part.lamp, scale);
}

} // namespace

PanelArtwork paintPanelArtwork(const PanelLayoutTable& table, const PrintFont& font, int scale) {
    PanelGeometry geometry(table);
    std::vector<Lettering> lettering = letteringFor(geometry, font);
    const std::vector<Printed> print = planPrint(geometry, lettering, font);
    const Painters painters{geometry, lettering, scale};
    const QImage face = paintFace(geometry, print, font, scale);
    QImage resting = face;
    paintResting(resting, painters);

    PanelArtwork art;
    art.skinJpeg = ImageCodecs::encodeJpeg(resting, SkinQuality);
    // Cut from the decoded skin, the released pictures match what the program shows around them.
    art.skin = ImageCodecs::decodeJpeg(art.skinJpeg);
    for (const PanelPart& part : table.parts)
        addPictures(art, part, face, painters);
    return art;
}
