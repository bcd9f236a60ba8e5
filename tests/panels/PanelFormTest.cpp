
#include "panels/brw721.h"
#include "panels/brw773.h"
#include "panels/brw774.h"

#include "panels/PanelAssets.h"
#include "panels/PanelFactory.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QTest>
#include <QWindow>

#include <memory>
#include <string>
#include <vector>

// The built-in artwork taken away and given back, to see what a panel does without it.
static void withdrawArtwork() {
    Q_CLEANUP_RESOURCE(panel_assets);
}
static void restoreArtwork() {
    Q_INIT_RESOURCE(panel_assets);
}

namespace {

class Panel721 : public ::testing::Test {
protected:
    void SetUp() override {
        panel->LoadPanelBitmaps();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }
    PanelImage& part(const char* name) { return *panel->component(name); }
    QWindow* window() { return panel->windowHandle(); }
    QPoint centre(const char* name) { return part(name).geometry().center(); }

    RecordingHost host;
    std::unique_ptr<PanelForm> panel = createPanelForm(PanelLayout::Brw721, host);
};

TEST_F(Panel721, ALeftPressShowsThePressedPictureAndSendsTheKey) {
    QTest::mousePress(window(), Qt::LeftButton, {}, centre("search_b"));
    EXPECT_EQ(part("search_b").pictureId(), 210);
    EXPECT_EQ(host.calls, std::vector<std::string>{"key 72"});
    QTest::mouseRelease(window(), Qt::LeftButton, {}, centre("search_b"));
    EXPECT_EQ(part("search_b").pictureId(), 209);
    EXPECT_EQ(host.calls.size(), 1u) << "nothing goes out on release";
}

TEST_F(Panel721, ARightPressOnAKeySendsNothingAndOpensTheMenu) {
    QTest::mousePress(window(), Qt::RightButton, {}, centre("menu_b"));
    EXPECT_EQ(part("menu_b").pictureId(), 205);
    QTest::mouseRelease(window(), Qt::RightButton, {}, centre("menu_b"));
    EXPECT_EQ(host.calls, std::vector<std::string>{"menu"});
}

TEST_F(Panel721, AReleaseOutsideStillReachesThePressedKey) {
    QTest::mousePress(window(), Qt::LeftButton, {}, centre("play_b"));
    EXPECT_EQ(part("play_b").pictureId(), 245);
    QTest::mouseRelease(window(), Qt::LeftButton, {}, QPoint(5, 160));
    EXPECT_EQ(part("play_b").pictureId(), 244);
}

TEST_F(Panel721, WindowButtonsActOnAnyButtonWhenReleased) {
    struct Row {
        const char* name;
        Qt::MouseButton button;
        const char* call;
    } rows[] = {{"close_b", Qt::RightButton, "exit"},
                {"min_b", Qt::RightButton, "tray"},
                {"options_b", Qt::LeftButton, "options"},
                {"close_b", Qt::MiddleButton, "exit"}};
    for (const auto& row : rows) {
        host.calls.clear();
        QTest::mousePress(window(), row.button, {}, centre(row.name));
        EXPECT_EQ(part(row.name).pictureId(), part(row.name).part()->pressedId()) << row.name;
        EXPECT_TRUE(host.calls.empty()) << "nothing happens before the release";
        QTest::mouseRelease(window(), row.button, {}, centre(row.name));
        EXPECT_EQ(part(row.name).pictureId(), part(row.name).part()->releasedId) << row.name;
        EXPECT_EQ(host.calls, std::vector<std::string>{row.call}) << row.name;
    }
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    host.calls.clear();
    QCoreApplication::sendEvent(&part("close_b"), &menu);
    EXPECT_TRUE(host.calls.empty()) << "a right click on a window button is its own click, not the menu";
}

TEST_F(Panel721, OverlappingPixelsGoToTheComponentOnTop) {
    QTest::mousePress(window(), Qt::LeftButton, {}, QPoint(396, 53)); // left_b's corner under up_b
    EXPECT_EQ(host.calls, std::vector<std::string>{"key 85"});
}

TEST_F(Panel721, LampsIgnoreTheMouseAndOnlyTheSkinMovesTheWindow) {
    const QPoint start = panel->pos();
    QTest::mousePress(window(), Qt::LeftButton, {}, centre("lt_ok"));
    QTest::mouseMove(window(), centre("lt_ok") + QPoint(40, 20));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, centre("lt_ok") + QPoint(40, 20));
    EXPECT_EQ(panel->pos(), start);
    EXPECT_TRUE(host.calls.empty());

    const QPoint onSkin(300, 20);
    ASSERT_EQ(panel->childAt(onSkin), &panel->skin());
    QTest::mousePress(window(), Qt::LeftButton, {}, onSkin);
    QTest::mouseMove(window(), onSkin + QPoint(40, 20));
    // The window has moved under the mouse: the same spot on the screen is the same spot on the skin.
    QTest::mouseRelease(window(), Qt::LeftButton, {}, onSkin);
    EXPECT_EQ(panel->pos(), start + QPoint(40, 20)) << "the window follows the mouse without a window manager";
}

TEST_F(Panel721, ADisabledPanelIgnoresTheMouse) {
    panel->setEnabled(false);
    QTest::mousePress(window(), Qt::LeftButton, {}, centre("menu_b"));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, centre("menu_b"));
    QTest::mouseClick(window(), Qt::LeftButton, {}, centre("close_b"));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(part("menu_b").pictureId(), 205);
}

TEST_F(Panel721, EveryLeftPressOfADoubleClickIsAPress) {
    QTest::mouseDClick(window(), Qt::LeftButton, {}, centre("rec_b"));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"key 114", "key 114"}));
}

TEST_F(Panel721, ACloseRequestEndsTheProgram) {
    panel->close();
    EXPECT_EQ(host.calls, std::vector<std::string>{"exit"});
}

TEST_F(Panel721, LampDisplaysSetTheirPictures) {
    struct Row {
        LampDisplay display;
        int busy, work, ok, noLine;
    } rows[] = {
        {LampDisplay::ShowSending, 221, 228, 225, 223}, {LampDisplay::ShowOk, 221, 227, 226, 223},
        {LampDisplay::ShowBusy, 222, 227, 226, 223},    {LampDisplay::ShowNoLine, 222, 227, 226, 224},
        {LampDisplay::LampsOff, 221, 227, 225, 223},
    };
    for (const auto& row : rows) {
        panel->showLampDisplay(row.display);
        EXPECT_EQ(part("lt_busy").pictureId(), row.busy);
        EXPECT_EQ(part("lt_work").pictureId(), row.work);
        EXPECT_EQ(part("lt_ok").pictureId(), row.ok);
        EXPECT_EQ(part("lt_noline").pictureId(), row.noLine);
    }
}

TEST(PanelForms, WindowsAreBorderlessAndAsLargeAsTheirSkins) {
    RecordingHost host;
    // Pictures decoded beforehand serve their own panel only.
    const PanelPictures early721 = PanelPictures::decode(PanelLayout::Brw721, 1);
    for (PanelLayout layout : creationOrder) {
        auto panel = createPanelForm(layout, host);
        const auto& table = panelLayout(layout);
        EXPECT_EQ(panel->size(), QSize(table.width, table.height)) << table.caption;
        EXPECT_EQ(panel->skin().size(), panel->size());
        EXPECT_TRUE(panel->windowFlags().testFlag(Qt::FramelessWindowHint));
        if (!table.windowSystemPlacesIt) {
            EXPECT_EQ(panel->pos(), QPoint(table.designedLeft, table.designedTop));
        }
        panel->LoadPanelBitmaps(early721);
        EXPECT_EQ(panel->size(), QSize(table.width, table.height)) << table.caption;
        for (const auto& part : table.parts) {
            const PanelImage* image = panel->component(part.name);
            ASSERT_NE(image, nullptr) << part.name;
            const int initial = part.kind == PartKind::LampStrip ? 14 : part.releasedId;
            EXPECT_EQ(image->pictureId(), initial) << part.name;
        }
    }
}

TEST(PanelForms, UnreadablePicturesAreNamedAndLeftEmpty) {
    RecordingHost host;
    PanelAssets::read(PanelAssets::bitmapPath(201)); // the artwork is registered before it is withdrawn
    withdrawArtwork();
    MessageRecorder messages;
    {
        Tbrw721_frm panel(host);
        panel.LoadPanelBitmaps();
        EXPECT_EQ(panel.size(), QSize(663, 170)) << "the window keeps its size without a skin";
        EXPECT_EQ(panel.component("menu_b")->pictureId(), 205);
    }
    restoreArtwork();
    ASSERT_EQ(messages.shown.size(), 2u) << "one for the skin, one for the bitmaps";
    EXPECT_TRUE(messages.shown[0].text.contains("skin_BRW721.jpg"));
    EXPECT_TRUE(messages.shown[1].text.contains("bmp/201.bmp"));
    EXPECT_TRUE(messages.shown[1].text.contains("bmp/249.bmp"));
}

TEST(PanelForms, TheLampStripShowsOnePicturePerDisplay) {
    RecordingHost host;
    Tbrw774_frm panel(host);
    panel.LoadPanelBitmaps();
    const std::pair<LampDisplay, int> rows[] = {{LampDisplay::ShowSending, 11},
                                                {LampDisplay::ShowOk, 12},
                                                {LampDisplay::ShowBusy, 10},
                                                {LampDisplay::ShowNoLine, 13},
                                                {LampDisplay::LampsOff, 14}};
    for (auto [display, picture] : rows) {
        panel.showLampDisplay(display);
        EXPECT_EQ(panel.component("lights_img")->pictureId(), picture);
    }
}

TEST(PanelForms, HintsShowOnlyWhenTheFormShowsThem) {
    RecordingHost host;
    Tbrw773_frm panel(host);
    PanelImage& options = *panel.component("options_b");
    EXPECT_EQ(options.toolTip(), "");
    panel.setShowHint(true);
    EXPECT_EQ(options.toolTip(), QStringLiteral("Настройки (Ctrl+P)"));
    panel.setHint("options_b", "Settings");
    EXPECT_EQ(options.toolTip(), "Settings (Ctrl+P)");
    panel.setShowHint(false);
    EXPECT_EQ(options.toolTip(), "");
}

} // namespace

namespace {

// Pictures of every panel, released and with each lamp lit, for a person to look at.
TEST(PanelScreenshots, EveryPanelReleasedAndLit) {
    const QString folder = QStringLiteral(SCREENSHOT_DIR);
    RecordingHost host;
    for (PanelLayout layout : creationOrder) {
        auto panel = createPanelForm(layout, host);
        panel->LoadPanelBitmaps();
        const QString name = folder + "/panel-" + panelLayout(layout).caption;
        ASSERT_TRUE(panel->grab().save(name + "-released.png"));
        for (auto [display, suffix] : {std::pair{LampDisplay::ShowSending, "work"},
                                       {LampDisplay::ShowOk, "ok"},
                                       {LampDisplay::ShowBusy, "busy"},
                                       {LampDisplay::ShowNoLine, "noline"}}) {
            panel->showLampDisplay(display);
            ASSERT_TRUE(panel->grab().save(name + "-lit-" + suffix + ".png"));
        }
    }
}

} // namespace
