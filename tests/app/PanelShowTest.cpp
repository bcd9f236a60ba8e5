#include "app/ProgramForms.h"
#include "base/CoreText.h"
#include "settings/OptionsFile.h"
#include "settings/WindowPlacement.h"
#include "settings/pref_unit.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SwitchableTrayHost.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace {

class ShowingPanels : public ::testing::Test {
protected:
    ShowingPanels() {
        basic.start_timer.stop(); // these tests drive the forms themselves
        for (PanelLayout layout : creationOrder)
            forms.panel(layout).LoadPanelBitmaps();
        basic.packFolder = dir.path("");
    }
    void choose(const char* deviceType) { basic.settings.DeviceType = deviceType; }

    ScopedWorkDir dir;
    MessageRecorder messages;
    std::unique_ptr<SwitchableTrayHost> trayHost = std::make_unique<SwitchableTrayHost>();
    SwitchableTrayHost& tray = *trayHost;
    ProgramForms forms{TSerialLink::defaultOpener(), std::move(trayHost)};
    Tbasic& basic = *forms.basic;
};

TEST_F(ShowingPanels, ShowPanelShowsTheActivePanelAloneWithItsLampsDark) {
    choose("BRW777");
    basic.ShowPanel();
    forms.panel(PanelLayout::Brw777).showLampDisplay(LampDisplay::ShowOk);
    choose("DM776");
    basic.ShowPanel();
    EXPECT_TRUE(forms.panel(PanelLayout::Brw776).isVisible());
    EXPECT_FALSE(forms.panel(PanelLayout::Brw777).isVisible());
    for (PanelLayout layout : {PanelLayout::Brw774, PanelLayout::Brw773, PanelLayout::Brw721})
        EXPECT_FALSE(forms.panel(layout).isVisible());
    EXPECT_EQ(forms.panel(PanelLayout::Brw776).component("lt_ok")->pictureId(), 450);
    EXPECT_FALSE(basic.always_on_top_timer.isActive());
}

TEST_F(ShowingPanels, AlwaysOnTopKeepsThePanelInFront) {
    choose("BRW721");
    basic.settings.AlwaysOnTop = true;
    basic.ShowPanel();
    EXPECT_TRUE(forms.panel(PanelLayout::Brw721).windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(forms.panel(PanelLayout::Brw721).isVisible()) << "changing the style does not hide it";
    EXPECT_TRUE(basic.always_on_top_timer.isActive());
    forms.panel(PanelLayout::Brw721).hide(); // as good as another window in front of it
    EXPECT_TRUE(QTest::qWaitFor([&] { return forms.panel(PanelLayout::Brw721).isVisible(); }, 1000));

    basic.SetPanelOnTop(false);
    EXPECT_FALSE(forms.panel(PanelLayout::Brw721).windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(basic.always_on_top_timer.isActive());
}

TEST_F(ShowingPanels, TheOptionsButtonOpensThePreferencesAndDisablesThePanel) {
    choose("BRW773");
    basic.ShowPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&forms.panel(PanelLayout::Brw773)));
    const QPoint options = forms.panel(PanelLayout::Brw773).component("options_b")->geometry().center();
    QTest::mouseClick(forms.panel(PanelLayout::Brw773).windowHandle(), Qt::LeftButton, {}, options);
    EXPECT_TRUE(forms.preferences().isVisible());
    EXPECT_EQ(forms.preferences().windowTitle(), QStringLiteral("Настройки")) << "an ordinary opening has no message";
    EXPECT_FALSE(forms.panel(PanelLayout::Brw773).isEnabled());
    basic.EnablePanel();
    EXPECT_TRUE(forms.panel(PanelLayout::Brw773).isEnabled());
}

TEST_F(ShowingPanels, TheMenuCanBeUsedThoughItsFormTakesNoInput) {
    EXPECT_FALSE(basic.isEnabled());
    EXPECT_TRUE(basic.menu_rightb.isEnabled());
    EXPECT_TRUE(basic.exit_menu->isEnabled());
}

TEST_F(ShowingPanels, TheMenuOpensThePreferencesWithoutDisablingThePanel) {
    choose("BRW773");
    basic.settings.AlwaysOnTop = true;
    basic.ShowPanel();
    basic.goto_options_menu->trigger();
    EXPECT_TRUE(forms.preferences().isVisible());
    EXPECT_TRUE(forms.panel(PanelLayout::Brw773).isEnabled());
    EXPECT_FALSE(basic.always_on_top_timer.isActive()) << "the dialog must be able to come in front";
    EXPECT_FALSE(basic.restore_menu->isEnabled()) << "nothing to restore before the first hide";
}

// The two states of the program: the panel shown, or hidden in the tray.
void expectShown(Tbasic& basic, PanelForm& panel, bool shown, bool onTop) {
    EXPECT_EQ(panel.isVisible(), shown);
    EXPECT_EQ(basic.tray.IconVisible(), !shown);
    EXPECT_EQ(basic.tray.taskbarButtonVisible(), shown);
    EXPECT_EQ(basic.restore_menu->isEnabled(), !shown);
    EXPECT_EQ(basic.hidetotray_menu->isEnabled(), shown);
    EXPECT_EQ(basic.always_on_top_timer.isActive(), shown && onTop);
}

TEST_F(ShowingPanels, HidingToTheTrayAndRestoring) {
    choose("BRW774");
    basic.settings.AlwaysOnTop = true;
    basic.ShowPanel();
    expectShown(basic, forms.panel(PanelLayout::Brw774), true, true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&forms.panel(PanelLayout::Brw774)));

    forms.panel(PanelLayout::Brw774).showLampDisplay(LampDisplay::ShowOk);
    const QPoint minimise = forms.panel(PanelLayout::Brw774).component("min_b")->geometry().center();
    QTest::mouseClick(forms.panel(PanelLayout::Brw774).windowHandle(), Qt::LeftButton, {}, minimise);
    expectShown(basic, forms.panel(PanelLayout::Brw774), false, true);

    basic.tray.dispatch(TNotifyIcon::LeftDown);
    basic.tray.dispatch(TNotifyIcon::LeftUp);
    expectShown(basic, forms.panel(PanelLayout::Brw774), true, true);
    EXPECT_EQ(forms.panel(PanelLayout::Brw774).component("lights_img")->pictureId(), 14)
        << "lamps dark after a restore";

    basic.hidetotray_menu->trigger();
    expectShown(basic, forms.panel(PanelLayout::Brw774), false, true);
    basic.restore_menu->trigger();
    expectShown(basic, forms.panel(PanelLayout::Brw774), true, true);
}

TEST_F(ShowingPanels, ConfirmingThePreferencesInTheTrayShowsNoPanel) {
    dir.write("options.ini", "BRW721          ; hardware type\r\n");
    basic.LoadOptions();
    basic.ShowPanel();
    basic.HideToTray();
    basic.goto_options_menu->trigger();
    forms.preferences().OK_b->click();
    EXPECT_FALSE(forms.preferences().isVisible());
    EXPECT_FALSE(forms.panel(PanelLayout::Brw721).isVisible());
    EXPECT_TRUE(basic.tray.IconVisible());
}

TEST_F(ShowingPanels, ExitLeavesNoIconBehind) {
    choose("BRW721");
    basic.ShowPanel();
    basic.HideToTray();
    basic.exit_menu->trigger();
    EXPECT_TRUE(basic.exited());
    EXPECT_FALSE(basic.tray.IconVisible());
}

TEST_F(ShowingPanels, NothingIsDisabledBeforeADeviceTypeIsChosen) {
    choose("BRW721");
    basic.ShowPanel();
    choose("start");
    basic.DisablePanel();
    for (PanelLayout layout : creationOrder)
        EXPECT_TRUE(forms.panel(layout).isEnabled());
}

TEST_F(ShowingPanels, HintsGoToTheActivePanelOnly) {
    choose("BRW777");
    basic.settings.ShowHints = true;
    basic.ApplyShowHints();
    EXPECT_TRUE(forms.panel(PanelLayout::Brw777).showHint());
    EXPECT_FALSE(forms.panel(PanelLayout::Brw721).showHint());
}

TEST_F(ShowingPanels, AClickOnAPaintedKeyReachesTheRecorderAndLightsItsAnswer) {
    PtyPair recorder;
    choose("BRW721");
    basic.port1.setCommPort(recorder.slavePath());
    basic.exchange.OpenPort();
    basic.ShowPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&forms.panel(PanelLayout::Brw721)));
    const QPoint play = forms.panel(PanelLayout::Brw721).component("play_b")->geometry().center();
    QTest::mousePress(forms.panel(PanelLayout::Brw721).windowHandle(), Qt::LeftButton, {}, play);
    EXPECT_EQ(forms.panel(PanelLayout::Brw721).component("lt_work")->pictureId(), 228);
    EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, 0x00, 'P', 0x7F}));
    QTest::mouseRelease(forms.panel(PanelLayout::Brw721).windowHandle(), Qt::LeftButton, {}, play);
    recorder.write({'Y'});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return forms.panel(PanelLayout::Brw721).component("lt_busy")->pictureId() == 222; }, 1000));
    EXPECT_EQ(forms.panel(PanelLayout::Brw721).component("lt_work")->pictureId(), 227);
}

TEST_F(ShowingPanels, WithoutANotificationAreaThePanelIsMinimisedInstead) {
    tray.present = false;
    choose("BRW774");
    basic.settings.AlwaysOnTop = true;
    basic.ShowPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&forms.panel(PanelLayout::Brw774)));
    const QPoint minimise = forms.panel(PanelLayout::Brw774).component("min_b")->geometry().center();
    QTest::mouseClick(forms.panel(PanelLayout::Brw774).windowHandle(), Qt::LeftButton, {}, minimise);
    EXPECT_TRUE(forms.panel(PanelLayout::Brw774).isVisible()) << "still in the window list";
    EXPECT_TRUE(forms.panel(PanelLayout::Brw774).isMinimized());
    EXPECT_FALSE(basic.tray.IconVisible()) << "no icon where none can be clicked";
    EXPECT_TRUE(basic.tray.taskbarButtonVisible());
    EXPECT_TRUE(basic.restore_menu->isEnabled());
    EXPECT_FALSE(basic.hidetotray_menu->isEnabled());
    EXPECT_FALSE(basic.always_on_top_timer.isActive());

    basic.restore_menu->trigger();
    EXPECT_FALSE(forms.panel(PanelLayout::Brw774).isMinimized());
    expectShown(basic, forms.panel(PanelLayout::Brw774), true, true);
}

TEST_F(ShowingPanels, APanelTheDesktopRestoresOrMinimisesKeepsTheMenuRight) {
    tray.present = false;
    choose("BRW721");
    basic.ShowPanel();
    basic.hidetotray_menu->trigger();
    ASSERT_TRUE(forms.panel(PanelLayout::Brw721).isMinimized());
    forms.panel(PanelLayout::Brw721).setWindowState(Qt::WindowNoState); // from the task bar
    EXPECT_TRUE(QTest::qWaitFor([&] { return basic.hidetotray_menu->isEnabled(); }, 1000));
    EXPECT_FALSE(basic.restore_menu->isEnabled());

    forms.panel(PanelLayout::Brw721).setWindowState(Qt::WindowMinimized); // by the window manager's own means
    EXPECT_TRUE(QTest::qWaitFor([&] { return basic.restore_menu->isEnabled(); }, 1000));
    EXPECT_FALSE(basic.hidetotray_menu->isEnabled());
}

TEST_F(ShowingPanels, ATrayThatGoesAwayLeavesThePanelMinimisedOrOnWaylandShown) {
    struct Row {
        const char* why;
        bool wayland;
        bool minimised;
    } rows[] = {{"X11: the task bar keeps it", false, true}, {"Wayland: nothing would bring it back", true, false}};
    PanelForm& panel = forms.panel(PanelLayout::Brw776);
    for (const auto& row : rows) {
        basic.waylandItself = row.wayland;
        tray.present = true;
        choose("BRW776");
        basic.ShowPanel();
        basic.HideToTray();
        ASSERT_FALSE(panel.isVisible()) << row.why;
        tray.goAway();
        EXPECT_TRUE(panel.isVisible()) << row.why;
        EXPECT_EQ(panel.isMinimized(), row.minimised) << row.why;
        EXPECT_FALSE(basic.tray.IconVisible()) << row.why;
        EXPECT_EQ(basic.restore_menu->isEnabled(), row.minimised) << row.why << ": restoring is what the menu offers";
        basic.restore_menu->trigger();
        EXPECT_FALSE(panel.isMinimized()) << row.why;
        EXPECT_TRUE(basic.hidetotray_menu->isEnabled()) << row.why;
    }
}

TEST_F(ShowingPanels, ALaterLaunchBringsThePanelForward) {
    struct Row {
        const char* why;
        bool trayPresent;
    } rows[] = {{"from the tray", true}, {"from minimised", false}};
    for (const auto& row : rows) {
        tray.present = row.trayPresent;
        choose("BRW773");
        basic.ShowPanel();
        basic.HideToTray();
        basic.BringForward();
        EXPECT_TRUE(forms.panel(PanelLayout::Brw773).isVisible()) << row.why;
        EXPECT_FALSE(forms.panel(PanelLayout::Brw773).isMinimized()) << row.why;
        EXPECT_FALSE(basic.tray.IconVisible()) << row.why;
        EXPECT_TRUE(basic.hidetotray_menu->isEnabled()) << row.why;
    }
}

TEST_F(ShowingPanels, ALaterLaunchLeavesAnOpenDialogInFront) {
    choose("BRW777");
    basic.settings.AlwaysOnTop = true;
    basic.ShowPanel();
    basic.HideToTray();
    forms.preferences().OpenPreferences(Loaded);
    basic.BringForward();
    EXPECT_TRUE(forms.panel(PanelLayout::Brw777).isVisible());
    EXPECT_TRUE(forms.preferences().isVisible());
    EXPECT_FALSE(basic.always_on_top_timer.isActive()) << "the panel must not cover the dialog";
}

TEST_F(ShowingPanels, ALaterLaunchWithNoPanelOpensThePreferences) {
    choose("XYZ");
    basic.BringForward();
    EXPECT_TRUE(forms.preferences().isVisible());
}

TEST_F(ShowingPanels, ThePanelStaysWhereTheUserPutItWhenShownAgain) {
    const QString placement = defaultPlacementFile();
    QDir().mkpath(QFileInfo(placement).absolutePath());
    QFile file(placement);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Tbrw721_frm]\r\nNormPos=50,60,713,230\r\n");
    file.close();

    dir.write("options.ini", "BRW721          ; hardware type\r\nno   ; show hints\r\nyes   ; always on top\r\n");
    basic.LoadOptions();
    basic.ShowPanel();
    EXPECT_EQ(forms.panel(PanelLayout::Brw721).pos(), QPoint(50, 60)) << "the stored place, when first shown";
    const QPoint dragged(300, 200);
    forms.panel(PanelLayout::Brw721).move(dragged);

    basic.goto_options_menu->trigger();
    forms.preferences().OK_b->click();
    EXPECT_EQ(forms.panel(PanelLayout::Brw721).pos(), dragged) << "after Preferences, OK";
    basic.HideToTray();
    basic.RestoreFromTray();
    EXPECT_EQ(forms.panel(PanelLayout::Brw721).pos(), dragged) << "after a restore from the tray";
    basic.ShowPanel();
    EXPECT_EQ(forms.panel(PanelLayout::Brw721).pos(), dragged) << "after showing it again";
}

// On Wayland itself the compositor keeps the panel's place and order: nothing offers what it will
// not do, and the panel is never minimised where nothing would bring it back.
TEST_F(ShowingPanels, OnWaylandItselfNothingOffersWhatTheCompositorWillNotDo) {
    struct Row {
        const char* why;
        bool wayland;
        bool trayPresent;
        bool onTop;     // the panel's style with "always on top" set
        bool hidden;    // after the minimise key
        bool minimised; // after the minimise key
        bool hintSaysWhy;
    } rows[] = {
        {"X11 with a tray", false, true, true, true, false, false},
        {"X11 without a tray", false, false, true, false, true, false},
        {"Wayland with a tray", true, true, false, true, false, false},
        {"Wayland without a tray", true, false, false, false, false, true},
    };
    dir.write("options.ini", OptionsFile::format({"BRW774", true, true, "/dev/null", 9600, 0, 0}));
    PanelForm& panel = forms.panel(PanelLayout::Brw774);
    const QString why = qtText(ProgramTexts::defaultText(TextId::MinimiseUnavailable));
    for (const auto& row : rows) {
        basic.waylandItself = row.wayland;
        tray.present = row.trayPresent;
        basic.LoadOptions();
        basic.ShowPanel();
        EXPECT_EQ(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint), row.onTop) << row.why;
        EXPECT_EQ(forms.preferences().always_ontop_chk->isEnabled(), !row.wayland) << row.why;
        EXPECT_TRUE(forms.preferences().always_ontop_chk->isChecked()) << row.why << ": the stored choice stays";
        EXPECT_EQ(panel.component("min_b")->toolTip().contains(why), row.hintSaysWhy) << row.why;
        basic.showMenu(panel.geometry().center());
        EXPECT_EQ(basic.hidetotray_menu->isVisible(), row.trayPresent) << row.why;
        basic.menu_rightb.close();

        basic.HideToTray();
        EXPECT_EQ(panel.isVisible(), !row.hidden) << row.why;
        EXPECT_EQ(panel.isMinimized(), row.minimised) << row.why;
        basic.RestoreFromTray();
    }
}

} // namespace
