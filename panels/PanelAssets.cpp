#include "panels/PanelAssets.h"

#include "panels/PanelLayouts.h"

#include <QFile>

// The artwork lives in a static library, whose resource registration nothing would otherwise pull in;
// Q_INIT_RESOURCE has to be used outside any namespace.
static void registerPanelAssets() {
    Q_INIT_RESOURCE(panel_assets);
}

namespace {

void registerOnce() {
    static const bool registered = (registerPanelAssets(), true);
    (void)registered;
}

} // namespace

namespace PanelAssets {

QString bitmapPath(int id) {
    return QStringLiteral(":/panels/bmp/%1.bmp").arg(id);
}

QString skinPath(PanelLayout layout) {
    return QStringLiteral(":/panels/skin_%1.jpg").arg(QLatin1String(panelLayout(layout).caption));
}

std::optional<QByteArray> read(const QString& path) {
    registerOnce();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

} // namespace PanelAssets
