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

    void cap(QPainter& painter, const PanelPart& part, CapState state) const {
        paintCap(painter, part, geometry.shape(part), state, lettering[static_cast<std::size_t>(geometry.group(part))]);
    }
};

void paintResting(QImage& skin, const Painters& painters) {
    QPainter painter(&skin);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const PanelPart& part : painters.geometry.table().parts) {
        if (part.isButton()) painters.cap(painter, part, CapState::Raised);
        if (part.kind == PartKind::Lamp || part.kind == PartKind::LampStrip)
            for (const LampSpot& spot : lampSpots(part))
                paintLens(painter, spot, false);
    }
}

QImage cut(const QImage& image, const PanelPart& part) {
    return image.copy(part.left, part.top, part.width, part.height);
}

// Painting on a cut-out in panel coordinates.
struct CutPainter {
    QPainter painter;
    CutPainter(QImage& picture, const PanelPart& part) : painter(&picture) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-part.left, -part.top);
    }
};

// The cap's surroundings come back from the bare face, and the cap is painted again, pushed in.
QImage pressedKey(const QImage& skin, const QImage& face, const PanelPart& part, const Painters& painters) {
    QImage picture = cut(skin, part);
    {
        // A texture brush is anchored at the picture's origin, so this fill is done untranslated.
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(painters.geometry.shape(part).footprint.translated(-part.left, -part.top),
                         QBrush(cut(face, part)));
    }
    CutPainter cutPainter(picture, part);
    painters.cap(cutPainter.painter, part, CapState::Pressed);
    return picture;
}

QImage litLamp(const QImage& skin, const PanelPart& part, Lamp lamp) {
    QImage picture = cut(skin, part);
    CutPainter cutPainter(picture, part);
    for (const LampSpot& spot : lampSpots(part))
        if (spot.lamp == lamp) paintLens(cutPainter.painter, spot, true);
    return picture;
}

Lamp litBy(LampDisplay display) {
    for (const LampStep& step : lampSteps(display))
        if (step.lit) return step.lamp;
    return Lamp::Busy;
}

void addStrip(PanelArtwork& art, const PanelPart& part) {
    art.bitmaps[lampStripPicture(LampDisplay::LampsOff)] = cut(art.skin, part);
    for (LampDisplay display :
         {LampDisplay::ShowSending, LampDisplay::ShowOk, LampDisplay::ShowBusy, LampDisplay::ShowNoLine})
        art.bitmaps[lampStripPicture(display)] = litLamp(art.skin, part, litBy(display));
}

void addPictures(PanelArtwork& art, const PanelPart& part, const QImage& face, const Painters& painters) {
    if (part.kind == PartKind::LampStrip) return addStrip(art, part);
    art.bitmaps[part.releasedId] = cut(art.skin, part);
    art.bitmaps[part.pressedId()] =
        part.isButton() ? pressedKey(art.skin, face, part, painters) : litLamp(art.skin, part, part.lamp);
}

} // namespace

PanelArtwork paintPanelArtwork(const PanelLayoutTable& table, const PrintFont& font) {
    PanelGeometry geometry(table);
    std::vector<Lettering> lettering = letteringFor(geometry, font);
    const std::vector<Printed> print = planPrint(geometry, lettering, font);
    const Painters painters{geometry, lettering};
    const QImage face = paintFace(geometry, print, font);
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
