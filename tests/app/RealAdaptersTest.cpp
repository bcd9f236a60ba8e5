#include "app/ProgramForms.h"
#include "settings/LanguagePack.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/OptionsText.h"
#include "tests/support/RecorderProcess.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

#include <csignal>
#include <filesystem>

namespace {

// The program in an empty working folder, with Russian texts (no pack there) unless a test writes one.
class RealAdapters : public ::testing::Test {
protected:
    RealAdapters() { basic.packFolder = dir.path(""); }
    void startWith(const std::string& port, const char* deviceType = "BRW721") {
        dir.write("options.ini", optionsText(deviceType, port));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.start_timer.isActive(); }, 1000));
    }
    int noLineLamp() const { return forms.panel(PanelLayout::Brw721).component("lt_noline")->pictureId(); }
    int okLamp() const { return forms.panel(PanelLayout::Brw721).component("lt_ok")->pictureId(); }
    QString noLineHint() const {
        forms.panel(PanelLayout::Brw721).setShowHint(true);
        return forms.panel(PanelLayout::Brw721).component("lt_noline")->toolTip();
    }

    ScopedWorkDir dir;
    MessageRecorder messages;
    ProgramForms forms;
    Tbasic& basic = *forms.basic;
};

constexpr int NoLineLit = 224, OkLit = 226;

TEST_F(RealAdapters, AFileNamedAsThePortIsRefusedAndNoPressWritesIntoIt) {
    const std::string bytes = "recorder notes\n";
    dir.write("notes.txt", bytes);
    startWith(dir.path("notes.txt"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Ошибка подключения к COM порту\n") +
                                          QString::fromStdString(dir.path("notes.txt")) +
                                          QStringLiteral(": это не последовательный порт"));
    EXPECT_EQ(messages.shown[0].caption, "Error connect");
    basic.SendKey(0x50);
    basic.SendKey(0x51);
    EXPECT_EQ(dir.read("notes.txt"), bytes);
    EXPECT_FALSE(basic.exchange.lookingForDevice());
}

TEST_F(RealAdapters, ARecorderThatGoesAwayIsToldOnceAndFoundAgainWithoutARestart) {
    RecorderProcess recorder({"--link", dir.path("recorder")});
    ASSERT_FALSE(recorder.devicePath().empty());
    const std::string name = dir.path("recorder");
    startWith(name);
    ASSERT_TRUE(basic.port1.Active());
    EXPECT_EQ(basic.tray.Hint(), QString::fromStdString("Lumevanta — подключено к " + name));
    basic.SendKey(0x50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return okLamp() == OkLit; }, 2000));

    recorder.signal(SIGUSR1);
    ASSERT_TRUE(recorder.logs("vanished"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.notices.empty(); }, 2000));
    EXPECT_FALSE(basic.port1.Active());
    EXPECT_EQ(messages.notices[0].text, QString::fromStdString("Связь с " + name + " потеряна: устройства нет"));
    const QString away = QString::fromStdString("Lumevanta — нет связи с " + name + ": устройства нет");
    EXPECT_EQ(basic.tray.Hint(), away);
    EXPECT_EQ(noLineHint(), away);
    for (int press = 0; press < 2; ++press) {
        basic.SendKey(0x50);
        EXPECT_EQ(noLineLamp(), NoLineLit) << "press " << press;
    }

    recorder.signal(SIGUSR2);
    ASSERT_FALSE(recorder.nextDevicePath().empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return basic.port1.Active(); }, 2500));
    EXPECT_EQ(basic.tray.Hint(), QString::fromStdString("Lumevanta — подключено к " + name));
    basic.SendKey(0x51);
    ASSERT_TRUE(QTest::qWaitFor([&] { return okLamp() == OkLit; }, 2000));
    EXPECT_TRUE(recorder.logs("key=51 answer=X"));
    EXPECT_EQ(messages.notices.size(), 1u) << "one notice for the loss, none for the return";
    EXPECT_TRUE(messages.shown.empty()) << "nothing modal at all";
}

TEST_F(RealAdapters, AnAdapterMissingAtTheStartIsSaidOnceThenUsedWhenItComes) {
    const std::string name = dir.path("recorder");
    startWith(name);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QString::fromStdString("Ошибка подключения к COM порту\n" + name +
                                                             ": устройства нет: адаптер не подключён или имя неверно"));
    RecorderProcess recorder({"--link", name});
    ASSERT_FALSE(recorder.devicePath().empty());
    basic.SendKey(0x42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return okLamp() == OkLit; }, 2000)) << "the press found it";
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.notices.empty());
}

TEST_F(RealAdapters, TheStateIsWordedInTheLanguageOfThePack) {
    std::filesystem::copy_file(LanguagePack::ProgramFolder() + "langpack_eng.txt", dir.path("langpack_eng.txt"));
    dir.write("options.ini", OptionsFile::format({"BRW721", false, false, "/dev/no-such-adapter", 9600, 0, 1}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.start_timer.isActive(); }, 1000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Error connecting to the COM port\n/dev/no-such-adapter: no such device: the "
                                      "adapter is not plugged in, or the name is wrong");
    EXPECT_EQ(basic.tray.Hint(), "Lumevanta — no connection to /dev/no-such-adapter: no such device");
}

TEST_F(RealAdapters, ThePortListOffersThePortsOfTheMachineEachTimeTheDialogOpens) {
    namespace fs = std::filesystem;
    const fs::path dev = dir.path("dev"), sys = dir.path("sys");
    fs::create_directories(dev / "serial/by-id");
    fs::create_directories(sys);
    dir.write("dev/ttyUSB0", "");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_FT232R-if00-port0");
    basic.devFolder = dev.string();
    basic.sysFolder = sys.string();
    basic.start_timer.stop();
    dir.write("options.ini", optionsText("BRW721", "/dev/ttyUSB7"));
    Tpref_frm& pref = forms.preferences();

    auto items = [&] {
        QStringList shown;
        for (int i = 0; i < pref.port_cmb->count(); ++i)
            shown << pref.port_cmb->itemText(i);
        return shown;
    };
    const QString byId = QString::fromStdString((dev / "serial/by-id/usb-FTDI_FT232R-if00-port0").string());
    const QString usb0 = QString::fromStdString((dev / "ttyUSB0").string());
    basic.OpenPreferences(Loaded);
    EXPECT_EQ(items(),
              (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", byId, usb0}));
    EXPECT_EQ(pref.port_cmb->itemData(9, Qt::ToolTipRole).toString(), "usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(pref.port_cmb->itemData(10, Qt::ToolTipRole).toString(), "usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(pref.port_cmb->currentText(), "/dev/ttyUSB7") << "the stored name stands, listed or not";
    pref.port_cmb->setCurrentText(byId);
    EXPECT_EQ(pref.port_cmb->toolTip(), byId) << "a name longer than the box is its hint";
    EXPECT_GE(pref.port_cmb->view()->minimumWidth(), pref.port_cmb->fontMetrics().horizontalAdvance(byId));
    EXPECT_EQ(pref.port_cmb->geometry(), QRect(10, 40, 69, 21)) << "the box keeps its designed place";
    pref.port_cmb->setCurrentText("COM1");
    EXPECT_EQ(pref.port_cmb->toolTip(), "Порт");

    pref.close();
    fs::remove(dev / "serial/by-id/usb-FTDI_FT232R-if00-port0");
    dir.write("dev/ttyACM0", "");
    basic.OpenPreferences(Loaded);
    EXPECT_EQ(items().mid(9), (QStringList{QString::fromStdString((dev / "ttyACM0").string()), usb0}));
    EXPECT_EQ(pref.port_cmb->currentText(), "/dev/ttyUSB7");
}

} // namespace
