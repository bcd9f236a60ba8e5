#include "panels/ImageCodecs.h"
#include "panels/PanelAssets.h"
#include "panels/PanelLayouts.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <string>

namespace {

// The pictures for screens that scale by more than 1 are the same, painted at twice the size.
constexpr int Scales[] = {1, 2};

QImage skinOf(PanelLayout layout, int scale = 1) {
    const auto bytes = PanelAssets::read(PanelAssets::skinPath(layout, scale));
    return bytes ? ImageCodecs::decodeJpeg(*bytes) : QImage();
}

QImage bitmap(int id, int scale = 1) {
    const auto bytes = PanelAssets::read(PanelAssets::bitmapPath(id, scale));
    if (!bytes) return {};
    return scale == 1 ? ImageCodecs::decodeBmp24(*bytes) : ImageCodecs::decodePng(*bytes);
}

QRect rectOf(const PanelPart& part, int scale = 1) {
    return {part.left * scale, part.top * scale, part.width * scale, part.height * scale};
}

// Every picture id a panel shows, with the part that shows it.
std::map<int, const PanelPart*> picturesOf(const PanelLayoutTable& table) {
    std::map<int, const PanelPart*> pictures;
    for (const PanelPart& part : table.parts) {
        if (part.kind == PartKind::LampStrip) {
            for (int id = 10; id <= 14; ++id)
                pictures[id] = &part;
        } else {
            pictures[part.releasedId] = &part;
            pictures[part.pressedId()] = &part;
        }
    }
    return pictures;
}

// Largest difference of any channel along the picture's outermost ring of pixels.
int edgeDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (x != 0 && y != 0 && x != a.width() - 1 && y != a.height() - 1) continue;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max(
                {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

double brightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (image.width() * image.height());
}

// Where and in what colour a picture is brighter than another.
struct Light {
    double red = 0, green = 0, blue = 0, centreY = 0;
};

Light lightAdded(const QImage& lit, const QImage& dark) {
    Light light;
    double weight = 0;
    for (int y = 0; y < lit.height(); ++y)
        for (int x = 0; x < lit.width(); ++x) {
            const QRgb p = lit.pixel(x, y), q = dark.pixel(x, y);
            const double r = std::max(0, qRed(p) - qRed(q)), g = std::max(0, qGreen(p) - qGreen(q)),
                         b = std::max(0, qBlue(p) - qBlue(q));
            light.red += r;
            light.green += g;
            light.blue += b;
            light.centreY += (r + g + b) * y;
            weight += r + g + b;
        }
    if (weight > 0) light.centreY /= weight;
    return light;
}

// Busy red, work white, ok green, no line yellow.
void expectColour(const Light& light, Lamp lamp) {
    const double r = light.red, g = light.green, b = light.blue;
    switch (lamp) {
    case Lamp::Busy:
        EXPECT_GT(r, 2 * g);
        EXPECT_GT(r, 2 * b);
        break;
    case Lamp::Work:
        EXPECT_GT(std::min({r, g, b}), 0.6 * std::max({r, g, b}));
        break;
    case Lamp::Ok:
        EXPECT_GT(g, 2 * r);
        EXPECT_GT(g, 2 * b);
        break;
    case Lamp::NoLine:
        EXPECT_GT(r, 2 * b);
        EXPECT_GT(g, 2 * b);
        EXPECT_GT(g, 0.5 * r);
        break;
    }
}

// Pressed and lit pictures stand in the skin too: their rim must not show a seam.
constexpr int SeamTolerance = 2;

class Artwork : public testing::TestWithParam<PanelLayout> {
protected:
    const PanelLayoutTable& table() const { return panelLayout(GetParam()); }
};

TEST_P(Artwork, SkinIsBuiltInAtThePanelSize) {
    for (int scale : Scales)
        EXPECT_EQ(skinOf(GetParam(), scale).size(), QSize(table().width, table().height) * scale) << scale << "x";
}

TEST_P(Artwork, EveryBitmapIsBuiltInAtItsPartsSize) {
    const auto pictures = picturesOf(table());
    for (int id : bitmapIds(table())) {
        ASSERT_TRUE(pictures.contains(id)) << id;
        const PanelPart& part = *pictures.at(id);
        for (int scale : Scales)
            EXPECT_EQ(bitmap(id, scale).size(), QSize(part.width, part.height) * scale)
                << part.name << " picture " << id << " at " << scale << "x";
    }
}

TEST_P(Artwork, RestingPicturesAreTheSkinUnderThem) {
    for (int scale : Scales) {
        const QImage skin = skinOf(GetParam(), scale);
        for (const PanelPart& part : table().parts) {
            const int id = part.kind == PartKind::LampStrip ? lampStripPicture(LampDisplay::LampsOff) : part.releasedId;
            EXPECT_EQ(bitmap(id, scale), skin.copy(rectOf(part, scale))) << part.name << " at " << scale << "x";
        }
    }
}

TEST_P(Artwork, PressedKeysSinkYetBlendAtTheEdges) {
    for (int scale : Scales) {
        for (const PanelPart& part : table().parts) {
            if (!part.isButton()) continue;
            const QImage released = bitmap(part.releasedId, scale), pressed = bitmap(part.pressedId(), scale);
            EXPECT_NE(pressed, released) << part.name << " at " << scale << "x";
            EXPECT_LT(brightness(pressed), brightness(released)) << part.name << " at " << scale << "x";
            EXPECT_LE(edgeDifference(pressed, released), SeamTolerance) << part.name << " at " << scale << "x";
        }
    }
}

TEST_P(Artwork, LitLampsGlowInTheirColourYetBlendAtTheEdges) {
    for (const PanelPart& part : table().parts) {
        if (part.kind != PartKind::Lamp) continue;
        const QImage off = bitmap(part.releasedId), lit = bitmap(part.pressedId());
        EXPECT_NE(lit, off) << part.name;
        EXPECT_GT(brightness(lit), brightness(off) + 2) << part.name;
        expectColour(lightAdded(lit, off), part.lamp);
        EXPECT_LE(edgeDifference(lit, off), SeamTolerance) << part.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Artwork, testing::ValuesIn(creationOrder),
                         [](const auto& info) { return std::string(panelLayout(info.param).caption); });

struct StripRow {
    const char* name;
    LampDisplay display;
    Lamp lamp;
    int position; // from the top: BUSY, WORK, OK, NOLINE
};

class LampStrip : public testing::TestWithParam<StripRow> {};

TEST_P(LampStrip, LightsOnlyItsLampInItsColour) {
    const PanelLayoutTable& table = panelLayout(PanelLayout::Brw774);
    const auto strip = std::find_if(table.parts.begin(), table.parts.end(),
                                    [](const PanelPart& part) { return part.kind == PartKind::LampStrip; });
    ASSERT_NE(strip, table.parts.end());
    const QImage dark = bitmap(lampStripPicture(LampDisplay::LampsOff));
    const QImage lit = bitmap(lampStripPicture(GetParam().display));
    ASSERT_EQ(lit.size(), dark.size());
    const Light light = lightAdded(lit, dark);
    const double quarter = strip->height / 4.0;
    EXPECT_GT(light.centreY, quarter * GetParam().position);
    EXPECT_LT(light.centreY, quarter * (GetParam().position + 1));
    expectColour(light, GetParam().lamp);
    EXPECT_LE(edgeDifference(lit, dark), SeamTolerance);
}

INSTANTIATE_TEST_SUITE_P(Displays, LampStrip,
                         testing::Values(StripRow{"Busy", LampDisplay::ShowBusy, Lamp::Busy, 0},
                                         StripRow{"Sending", LampDisplay::ShowSending, Lamp::Work, 1},
                                         StripRow{"Ok", LampDisplay::ShowOk, Lamp::Ok, 2},
                                         StripRow{"NoLine", LampDisplay::ShowNoLine, Lamp::NoLine, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PanelAssets, NamesTheBuiltInFilesAndReadsNothingElse) {
    EXPECT_EQ(PanelAssets::bitmapPath(201), ":/panels/bmp/201.bmp");
    EXPECT_EQ(PanelAssets::skinPath(PanelLayout::Brw721), ":/panels/skin_BRW721.jpg");
    EXPECT_EQ(PanelAssets::bitmapPath(201, 2), ":/panels/bmp/201@2x.png");
    EXPECT_EQ(PanelAssets::skinPath(PanelLayout::Brw721, 2), ":/panels/skin_BRW721@2x.jpg");
    EXPECT_FALSE(PanelAssets::read(PanelAssets::bitmapPath(9999)));
    EXPECT_FALSE(PanelAssets::read(":/panels/skin_BRW000.jpg"));
}

} // namespace
