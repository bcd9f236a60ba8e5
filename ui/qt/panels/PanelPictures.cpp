#include "panels/PanelPictures.h"

#include "panels/ImageCodecs.h"
#include "panels/PanelAssets.h"

namespace {

QImage decodePicture(const QString& path, bool jpeg, int scale) {
    const auto bytes = PanelAssets::read(path);
    if (!bytes) return {};
    if (jpeg) return ImageCodecs::decodeJpeg(*bytes);
    return scale == 1 ? ImageCodecs::decodeBmp24(*bytes) : ImageCodecs::decodePng(*bytes);
}

} // namespace

PanelPictures PanelPictures::decode(PanelLayout layout, int scale) {
    PanelPictures pictures{layout, scale, {}, {}, {}, {}};
    const QString skinPath = PanelAssets::skinPath(layout, scale);
    pictures.skin = decodePicture(skinPath, true, scale);
    if (pictures.skin.isNull()) pictures.unreadableSkin = skinPath;
    for (int id : bitmapIds(panelLayout(layout))) {
        const QString path = PanelAssets::bitmapPath(id, scale);
        QImage picture = decodePicture(path, false, scale);
        if (picture.isNull()) pictures.unreadableBitmaps << path;
        pictures.bitmaps.emplace(id, std::move(picture));
    }
    return pictures;
}

EarlyPictures::EarlyPictures(std::optional<PanelLayout> layout) {
    if (layout) decoding_ = std::async(std::launch::async, [layout] { return PanelPictures::decode(*layout, 1); });
}

std::optional<PanelPictures> EarlyPictures::take() {
    if (!decoding_.valid()) return std::nullopt;
    return decoding_.get();
}
