#include "app/ProgramForms.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecorderProcess.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

namespace {

std::string optionsFor(const std::string& deviceType, const std::string& port) {
    return optionsText(deviceType, port, 5, 1);
}

// A fresh set of forms in an empty working folder, with the steps of forms still to come recorded.
class StartUp : public ::testing::Test {
protected:
    StartUp() { basic.packFolder = QString::fromStdString(dir.path("")); }
    void runStartUp() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.start_timer.isActive(); }, 1000));
    }
    int lampPicture(PanelLayout layout, const char* lamp) { return forms.panel(layout).component(lamp)->pictureId(); }

    ScopedWorkDir dir;
    MessageRecorder messages;
    ProgramForms forms;
    Tbasic& basic = *forms.basic;
    Tpref_frm& pref = *forms.pref_frm;
};

TEST_F(StartUp, AFirstStartAsksForThePreferences) {
    runStartUp();
    EXPECT_TRUE(pref.isVisible());
    EXPECT_EQ(pref.windowTitle(), QStringLiteral("Первый запуск. Настройте соединение с COM портом"));
    EXPECT_EQ(pref.dvr_type_cmb->currentText(), "BRW721");
    EXPECT_EQ(pref.port_cmb->currentText(), "COM2");
    EXPECT_EQ(pref.baudrate_cmb->currentText(), "9600");
    EXPECT_EQ(pref.id_byte_ed->text(), "0");
    for (PanelLayout layout : creationOrder)
        EXPECT_FALSE(forms.panel(layout).isVisible());
    EXPECT_FALSE(basic.port1.Active());
    EXPECT_EQ(basic.settings.DeviceType, "start");
}

TEST_F(StartUp, AnUnknownDeviceTypeAsksForThePreferences) {
    dir.write("options.ini", optionsFor("brw721", "COM1"));
    runStartUp();
    EXPECT_TRUE(pref.isVisible());
    EXPECT_EQ(pref.windowTitle(), QStringLiteral("WRONG HARDWARE TYPE in Options. Choose the right one from the list"))
        << "the file says English";
    EXPECT_EQ(pref.dvr_type_cmb->currentText(), "brw721");
    EXPECT_EQ(basic.settings.DeviceType, "brw721");
    EXPECT_FALSE(basic.port1.Active());
}

TEST_F(StartUp, AMissingPortIsReportedBeforeThePanelShows) {
    dir.write("options.ini", optionsFor("BRW777", "/dev/no-such-recorder"));
    bool panelShownAfterMessage = false;
    messages.onShow = [&] { panelShownAfterMessage = forms.brw777_frm->isVisible(); };
    runStartUp();
    EXPECT_FALSE(panelShownAfterMessage) << "the message comes before the panel";
    EXPECT_TRUE(forms.brw777_frm->isVisible()) << "the panel shows all the same";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Ошибка подключения к COM порту"));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Error connect"));
    EXPECT_EQ(basic.exchange.Tag(), KeyExchange::NoPort);
}

TEST_F(StartUp, AValidFileOpensThePortAndAKeyReachesTheRecorder) {
    PtyPair recorder;
    dir.write("options.ini", optionsFor("CALVO442", recorder.slavePath()));
    runStartUp();
    EXPECT_FALSE(pref.isVisible());
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_TRUE(basic.port1.Active());
    EXPECT_EQ(basic.settings.IdByte, 5);
    EXPECT_EQ(basic.settings.Language, 1);
    EXPECT_EQ(basic.ActivePanel(), forms.brw774_frm.get());
    EXPECT_TRUE(forms.brw774_frm->isVisible());
    EXPECT_FALSE(forms.brw777_frm->isVisible());

    basic.exchange.SendKey(0x31);
    EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, 0x05, 0x31, 0x7F}));
    recorder.write({'X'});
    ASSERT_TRUE(QTest::qWaitFor([&] { return lampPicture(PanelLayout::Brw774, "lights_img") == 12; }, 1000));

    basic.ExitProgram();
    EXPECT_FALSE(basic.port1.Active());
    EXPECT_TRUE(basic.exited());
}

TEST_F(StartUp, TheVirtualRecorderAnswersAKeyAndEndsTheExchange) {
    RecorderProcess recorder({"--id", "5", "--link", dir.path("recorder")});
    ASSERT_FALSE(recorder.devicePath().empty());
    dir.write("options.ini", optionsFor("BRW721", dir.path("recorder")));
    runStartUp();
    ASSERT_TRUE(basic.port1.Active());
    basic.exchange.SendKey(0x42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lampPicture(PanelLayout::Brw721, "lt_ok") == 226; }, 2000));
    EXPECT_EQ(basic.exchange.Tag(), KeyExchange::Ready);
    EXPECT_TRUE(recorder.logs("frame id=05 key=42 answer=X"));
}

// An options file as the program writes it, but with the ID line's value as a hand edit left it.
std::string optionsWithId(const std::string& port, const std::string& id) {
    std::string text = optionsText("BRW721", port);
    const std::string written = "\r\n0     ; ID";
    return text.replace(text.find(written), written.size(), "\r\n" + id + "     ; ID");
}

const QString IdRefusal =
    QStringLiteral("Неправильно введено значение ID byte\r\nИспользуйте десятичное число от 0 до 255");

TEST(StartUpId, AnIdThatNamesNoRecorderIsNotAppliedAndTheDialogSaysSo) {
    struct Row {
        const char* why;
        const char* stored;
        bool refused;
        std::uint8_t id;
    } rows[] = {
        {"one past the last", "256", true, 0},
        {"negative", "-1", true, 0},
        {"beyond 32 bits", "99999999999", true, 0},
        {"the last, in hexadecimal", "$FF", false, 0xFF},
        {"the first", "0", false, 0},
        {"hexadecimal with 0x", "0x10", false, 0x10},
    };
    for (const auto& row : rows) {
        ScopedWorkDir dir;
        MessageRecorder messages;
        PtyPair recorder;
        ProgramForms forms;
        forms.basic->packFolder = QString::fromStdString(dir.path(""));
        dir.write("options.ini", optionsWithId(recorder.slavePath(), row.stored));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !forms.basic->start_timer.isActive(); }, 1000));
        if (!row.refused) {
            EXPECT_TRUE(messages.shown.empty()) << row.why;
            EXPECT_TRUE(forms.brw721_frm->isVisible()) << row.why;
            forms.basic->exchange.SendKey(0x50);
            EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, row.id, 0x50, 0x7F})) << row.why;
            continue;
        }
        EXPECT_TRUE(forms.pref_frm->isVisible()) << row.why;
        EXPECT_EQ(forms.pref_frm->id_byte_ed->text(), row.stored) << row.why << ": the stored text as it stands";
        ASSERT_EQ(messages.shown.size(), 1u) << row.why;
        EXPECT_EQ(messages.shown[0].text, IdRefusal) << row.why;
        EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Ошибка!")) << row.why;
        EXPECT_FALSE(forms.basic->port1.Active()) << row.why << ": nothing can be sent";
        EXPECT_FALSE(forms.brw721_frm->isVisible()) << row.why;
        EXPECT_EQ(forms.basic->settings.IdByte, 0) << row.why;

        forms.pref_frm->id_byte_ed->setText("7");
        forms.pref_frm->OK_b->click();
        ASSERT_TRUE(forms.basic->port1.Active()) << row.why << ": a valid ID confirmed opens the port";
        EXPECT_TRUE(forms.brw721_frm->isVisible()) << row.why;
        forms.basic->exchange.SendKey(0x50);
        EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, 7, 0x50, 0x7F})) << row.why;
    }
}

TEST_F(StartUp, AnIdEditedToNameNoRecorderStopsSendingUntilAValidOneIsConfirmed) {
    PtyPair recorder;
    dir.write("options.ini", optionsWithId(recorder.slavePath(), "5"));
    runStartUp();
    ASSERT_TRUE(basic.port1.Active());
    dir.write("options.ini", optionsWithId(recorder.slavePath(), "300"));
    basic.optionsRequested();
    EXPECT_EQ(pref.id_byte_ed->text(), "300");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, IdRefusal);
    EXPECT_FALSE(basic.port1.Active());

    pref.cancel_b->click();
    basic.exchange.SendKey(0x50);
    EXPECT_TRUE(recorder.read(1, std::chrono::milliseconds(200)).empty()) << "no frame to recorder 44 nor 5";

    basic.optionsRequested();
    pref.id_byte_ed->setText("9");
    pref.OK_b->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return basic.exchange.Tag() == KeyExchange::Ready; }, 3000));
    basic.exchange.SendKey(0x50);
    EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, 9, 0x50, 0x7F}));
}

TEST_F(StartUp, ActivePanelFollowsTheDeviceTypeTable) {
    struct Row {
        const char* type;
        PanelForm* panel;
    } rows[] = {{"CALVO442", forms.brw774_frm.get()},
                {"DM773", forms.brw773_frm.get()},
                {"FN721", forms.brw721_frm.get()},
                {"CALVO1642", forms.brw777_frm.get()},
                {"FN776", forms.brw776_frm.get()},
                {"FN773", nullptr},
                {"start", nullptr},
                {"bRW777", nullptr},
                {"", nullptr}};
    for (const auto& row : rows) {
        basic.settings.DeviceType = row.type;
        EXPECT_EQ(basic.ActivePanel(), row.panel) << row.type;
    }
}

TEST_F(StartUp, SettingsAreWrittenInTheFileFormat) {
    basic.settings.DeviceType = "DM776";
    basic.port1.setCommPort("/dev/ttyUSB0");
    EXPECT_TRUE(basic.WriteOptions());
    EXPECT_EQ(dir.read("options.ini").substr(0, 32), "DM776          ; hardware type\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartUp, AnOptionsFileThatCannotBeWrittenIsSaidSo) {
    dir.write("options.ini", "kept");
    chmod(dir.path("options.ini").c_str(), 0444);
    EXPECT_FALSE(basic.WriteOptions());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Нет доступа для записи на диск!\rНевозможно сохранить файл опций"));
    EXPECT_EQ(dir.read("options.ini"), "kept");
}

TEST_F(StartUp, TheLoadingWindowHidesItself) {
    basic.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.isVisible(); }, 1000));
    EXPECT_EQ(basic.size(), QSize(200, 100));
}

} // namespace
