#pragma once

#include "panels/PanelLayouts.h"

#include <QImage>
#include <QStringList>

#include <future>
#include <map>
#include <optional>

// A panel's skin and bitmaps, decoded into plain images: any thread may make them, and the panel
// turns them into what it draws.
struct PanelPictures {
    PanelLayout layout = PanelLayout::Brw721;
    int scale = 1;
    QImage skin;
    std::map<int, QImage> bitmaps;
    // The pictures that could not be read, by their resource paths.
    QString unreadableSkin;
    QStringList unreadableBitmaps;

    static PanelPictures decode(PanelLayout layout, int scale);
};

// The pictures of the panel the options ask for, decoded at 1x on a thread of their own while the
// application connects to the display. The panel takes them when it loads, if they are its own.
class EarlyPictures {
public:
    EarlyPictures() = default;
    explicit EarlyPictures(std::optional<PanelLayout> layout);

    // The decoded pictures once (waiting for them if need be), then nothing.
    std::optional<PanelPictures> take();

private:
    std::future<PanelPictures> decoding_;
};
