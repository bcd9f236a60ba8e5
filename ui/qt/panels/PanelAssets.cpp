#include "panels/PanelAssets.h"

#include "panels/PanelLayouts.h"

#include <QResource>

// The artwork lives in a static library, whose resource registration nothing would otherwise pull in;
// Q_INIT_RESOURCE has to be used outside any namespace. The 2x pictures are a resource of their own,
// registered only when one of them is first read.
static void registerPanelAssets(int scale) {
    if (scale == 1)
        Q_INIT_RESOURCE(panel_assets);
    else
        Q_INIT_RESOURCE(panel_assets_2x);
}

namespace {

void registerOnce(int scale) {
    static const bool registered1x = (registerPanelAssets(1), true);
    (void)registered1x;
    if (scale == 1) return;
    static const bool registered2x = (registerPanelAssets(2), true);
    (void)registered2x;
}

bool isScaled(const QString& path) {
    return path.contains(QLatin1String("@2x."));
}

} // namespace

namespace PanelAssets {

QString bitmapPath(int id, int scale) {
    if (scale == 1) return QStringLiteral(":/panels/bmp/%1.bmp").arg(id);
    return QStringLiteral(":/panels/bmp/%1@%2x.png").arg(id).arg(scale);
}

QString skinPath(PanelLayout layout, int scale) {
    const QLatin1String caption(panelLayout(layout).caption);
    if (scale == 1) return QStringLiteral(":/panels/skin_%1.jpg").arg(caption);
    return QStringLiteral(":/panels/skin_%1@%2x.jpg").arg(caption).arg(scale);
}

std::optional<QByteArray> read(const QString& path) {
    registerOnce(isScaled(path) ? 2 : 1);
    // Straight from the resource: unpacked once, not unpacked and then copied as a file read would.
    const QResource resource(path);
    if (!resource.isValid()) return std::nullopt;
    return resource.uncompressedData();
}

} // namespace PanelAssets
