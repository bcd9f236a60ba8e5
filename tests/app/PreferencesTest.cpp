#include "app/ProgramForms.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <map>
#include <termios.h>

namespace {

std::string optionsFor(const std::string& deviceType, const std::string& port, int language = 0) {
    return optionsText(deviceType, port, 0, language);
}

// The program's forms in an empty folder that also holds the language packs the test writes.
class Preferences : public ::testing::Test {
protected:
    Preferences() {
        basic.start_timer.stop();
        basic.packFolder = dir.path("");
    }
    void open(LoadResult reason = Loaded) { basic.OpenPreferences(reason); }
    void writePack(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines)
            text += line + "\r\n";
        dir.write(name, text);
    }
    // A pack given by line number; the lines in between are empty.
    void writePack(const std::string& name, const std::map<int, std::string>& numbered) {
        std::vector<std::string> lines(static_cast<std::size_t>(numbered.rbegin()->first));
        for (const auto& [number, text] : numbered)
            lines[static_cast<std::size_t>(number - 1)] = text;
        writePack(name, lines);
    }
    std::vector<QString> shownTexts() const {
        std::vector<QString> texts;
        for (const auto& m : messages.shown)
            texts.push_back(m.text);
        return texts;
    }

    ScopedWorkDir dir;
    MessageRecorder messages;
    ProgramForms forms;
    Tbasic& basic = *forms.basic;
    Tpref_frm& pref = forms.preferences();
};

TEST_F(Preferences, AnInvalidDeviceTypeOrIdKeepsTheDialogOpen) {
    dir.write("options.ini", optionsFor("BRW721", "/dev/null"));
    open();
    pref.dvr_type_cmb->setCurrentText("brw774");
    pref.OK_b->click();
    EXPECT_TRUE(pref.isVisible());
    EXPECT_EQ(shownTexts(), std::vector<QString>{QStringLiteral("Неправильно задан тип оборудования!")});
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Ошибка!"));

    pref.dvr_type_cmb->setCurrentText("BRW774");
    for (const char* id : {"256", "-1", "", "12a", "1 "}) {
        messages.shown.clear();
        pref.id_byte_ed->setText(id);
        pref.OK_b->click();
        ASSERT_EQ(messages.shown.size(), 1u) << id;
        EXPECT_EQ(messages.shown[0].text,
                  QStringLiteral("Неправильно введено значение ID byte\nИспользуйте десятичное число от 0 до 255"));
        EXPECT_TRUE(pref.isVisible());
    }
    EXPECT_EQ(dir.read("options.ini"), optionsFor("BRW721", "/dev/null")) << "nothing was saved";
}

TEST_F(Preferences, TheDialogIsFixedInSizeWithNoMaximiseButton) {
    open();
    EXPECT_FALSE(pref.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(pref.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(pref.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(pref.minimumSize(), QSize(598, 200));
    EXPECT_EQ(pref.maximumSize(), QSize(598, 200));
}

TEST_F(Preferences, IdTextsFollowTheNumberRules) {
    for (const char* good : {" 12", "$FF", "0", "255", "+7", "0x10"})
        EXPECT_TRUE(Tpref_frm::IsValidIdText(good)) << good;
    for (const char* bad : {"256", "-1", "", "12a", "1 ", "$", " "})
        EXPECT_FALSE(Tpref_frm::IsValidIdText(bad)) << bad;
}

TEST_F(Preferences, OkSavesReopensThePortAtTheNewSpeedAndShowsTheNewPanel) {
    PtyPair recorder;
    dir.write("options.ini", optionsFor("BRW721", recorder.slavePath()));
    basic.StartUp();
    ASSERT_TRUE(forms.panel(PanelLayout::Brw721).isVisible());
    open();
    pref.dvr_type_cmb->setCurrentText("DM777");
    pref.baudrate_cmb->setCurrentText("19200");
    pref.id_byte_ed->setText("$10");
    pref.OK_b->click();
    EXPECT_FALSE(pref.isVisible());
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_TRUE(basic.port1.Active());
    termios line{};
    ASSERT_EQ(tcgetattr(recorder.master(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B19200);
    EXPECT_TRUE(forms.panel(PanelLayout::Brw777).isVisible());
    EXPECT_FALSE(forms.panel(PanelLayout::Brw721).isVisible());
    EXPECT_EQ(basic.settings.IdByte, 16);
    EXPECT_EQ(dir.read("options.ini").substr(0, 32), "DM777          ; hardware type\r\n");
    EXPECT_NE(dir.read("options.ini").find("19200   ; baudrate\r\n16     ; ID"), std::string::npos);
}

// A refused OK changes nothing in force: the working port stays open at its speed and keeps
// answering, and neither the file nor the settings move, whatever else the dialog held.
TEST_F(Preferences, ARefusedOkLeavesTheWorkingPortAsItWas) {
    struct Row {
        const char* why;
        const char* speed;
        const char* language;
        const char* message;
    } rows[] = {
        {"a speed that is not a number", "fast", "English", "'fast' is not a valid integer value"},
        {"a negative speed", "-9600", "English", "Range check error"},
        {"a language the list does not have", "19200", "Deutsch", "Range check error"},
    };
    for (const auto& row : rows) {
        PtyPair recorder;
        dir.write("options.ini", optionsFor("BRW721", recorder.slavePath()));
        basic.StartUp();
        ASSERT_TRUE(basic.port1.Active()) << row.why;
        messages.shown.clear();
        open();
        pref.port_cmb->setCurrentText("COM7");
        pref.dvr_type_cmb->setCurrentText("DM777");
        pref.id_byte_ed->setText("9");
        pref.baudrate_cmb->setCurrentText(row.speed);
        pref.lang_select_cmb->setCurrentText(row.language);
        pref.OK_b->click();
        EXPECT_EQ(shownTexts(), std::vector<QString>{row.message}) << row.why;
        EXPECT_TRUE(pref.isVisible()) << row.why;
        pref.cancel_b->click();

        EXPECT_TRUE(basic.port1.Active()) << row.why;
        EXPECT_EQ(basic.port1.CommPort(), recorder.slavePath()) << row.why;
        EXPECT_EQ(basic.port1.BaudRate(), 9600u) << row.why;
        EXPECT_EQ(basic.settings.DeviceType, "BRW721") << row.why;
        EXPECT_EQ(basic.settings.IdByte, 0) << row.why;
        EXPECT_EQ(dir.read("options.ini"), optionsFor("BRW721", recorder.slavePath())) << row.why;
        basic.SendKey(0x50);
        EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, 0x00, 0x50, 0x7F})) << row.why;
        recorder.write({'X'});
        ASSERT_TRUE(QTest::qWaitFor([&] { return basic.exchange.Tag() == KeyExchange::Ready; }, 1000)) << row.why;
        basic.ExitProgram();
    }
}

TEST_F(Preferences, CancelAtFirstStartEndsTheProgram) {
    open(FirstStart);
    pref.cancel_b->click();
    EXPECT_TRUE(basic.exited());
}

TEST_F(Preferences, ClosingAtFirstStartEndsTheProgram) {
    open(FirstStart);
    pref.close();
    EXPECT_TRUE(basic.exited());
}

TEST_F(Preferences, CancelAfterASetupOnlyClosesAndForgetsTheEdits) {
    dir.write("options.ini", optionsFor("BRW776", "COM3"));
    basic.LoadOptions();
    open();
    EXPECT_EQ(pref.port_cmb->currentText(), "COM3");
    pref.port_cmb->setCurrentText("COM7");
    pref.cancel_b->click();
    EXPECT_FALSE(pref.isVisible());
    EXPECT_FALSE(basic.exited());
    open();
    EXPECT_EQ(pref.port_cmb->currentText(), "COM3") << "reopening shows what is stored";
}

TEST_F(Preferences, EscapeClosesFromOkAndTheDeviceTypeOnly) {
    dir.write("options.ini", optionsFor("BRW776", "COM3"));
    basic.LoadOptions();
    open();
    QTest::keyClick(pref.id_byte_ed, Qt::Key_Escape);
    EXPECT_TRUE(pref.isVisible());
    QTest::keyClick(pref.OK_b, Qt::Key_Escape);
    EXPECT_FALSE(pref.isVisible());
    open();
    QTest::keyClick(pref.dvr_type_cmb->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(pref.isVisible());
}

TEST_F(Preferences, EnterPressesTheFocusedButtonOrOk) {
    dir.write("options.ini", optionsFor("BRW776", "/dev/null"));
    basic.LoadOptions();
    open();
    pref.id_byte_ed->setText("42");
    QTest::keyClick(pref.id_byte_ed, Qt::Key_Return);
    EXPECT_FALSE(pref.isVisible()) << "Enter in the ID field is OK";
    EXPECT_EQ(basic.settings.IdByte, 42);
    open();
    pref.id_byte_ed->setText("43");
    QTest::keyClick(pref.cancel_b, Qt::Key_Return);
    EXPECT_FALSE(pref.isVisible());
    EXPECT_EQ(basic.settings.IdByte, 42) << "Enter on Cancel is Cancel";
}

TEST_F(Preferences, TheVendorOfACompleteNameIsHighlighted) {
    open(FirstStart);
    pref.dvr_type_cmb->setCurrentText("DM");
    EXPECT_TRUE(pref.frm_brw->font().bold()) << "BRW721 was shown first";
    EXPECT_FALSE(pref.frm_dm->font().bold()) << "a partial name changes nothing";
    pref.dvr_type_cmb->setCurrentText("DM777");
    EXPECT_TRUE(pref.frm_dm->font().bold());
    EXPECT_FALSE(pref.frm_brw->font().bold());
    EXPECT_FALSE(pref.frm_calvo->font().bold());
}

TEST_F(Preferences, SwitchingToEnglishChangesTheDialogTheMenuAndTheHints) {
    writePack("langpack_eng.txt", std::map<int, std::string>{{1, "Preferences;caption"},
                                                             {2, "Language"},
                                                             {10, "Show hints"},
                                                             {12, "OK"},
                                                             {13, "Cancel"},
                                                             {18, "Preferences"},
                                                             {19, "Restore"},
                                                             {20, "Hide to tray"},
                                                             {21, "Exit"},
                                                             {22, "MENU key"},
                                                             {33, "Channel#key"}});
    dir.write("options.ini", optionsFor("BRW776", "/dev/null"));
    basic.LoadOptions();
    open();
    pref.lang_select_cmb->setCurrentIndex(1);
    pref.OK_b->click();
    EXPECT_EQ(basic.settings.Language, 1);
    EXPECT_EQ(pref.windowTitle(), "Preferences");
    EXPECT_EQ(pref.grp_lang_type->title(), "Language");
    EXPECT_EQ(pref.grp_hard_type->title(), "") << "an empty line blanks its target";
    EXPECT_EQ(pref.cancel_b->text(), "Cancel");
    EXPECT_EQ(basic.goto_options_menu->text(), "Preferences");
    EXPECT_EQ(basic.exit_menu->text(), "Exit");
    forms.panel(PanelLayout::Brw777).setShowHint(true);
    forms.panel(PanelLayout::Brw776).setShowHint(true);
    EXPECT_EQ(forms.panel(PanelLayout::Brw777).component("menu_b")->toolTip(), "MENU key (Esc or Backspace)");
    for (int channel = 1; channel <= 16; ++channel)
        EXPECT_TRUE(forms.panel(PanelLayout::Brw777)
                        .component(QStringLiteral("ch%1_b").arg(channel, 2, 10, QChar('0')).toStdString())
                        ->toolTip()
                        .startsWith("Channel\nkey ("));
    EXPECT_EQ(forms.panel(PanelLayout::Brw776).component("ch09_b")->toolTip(), "Channel\nkey (9)");
    EXPECT_EQ(forms.panel(PanelLayout::Brw777).component("close_b")->toolTip(),
              QStringLiteral("Выход из программы (Alt+F4)"))
        << "a line the pack does not have leaves the design-time hint";
}

TEST_F(Preferences, AShortPackChangesOnlyWhatItHas) {
    writePack("langpack_rus.txt", {"One", "Two", "", "", "", "", "", "", "", "", "", "", "Thirteen"});
    basic.LoadOptions();
    EXPECT_EQ(pref.windowTitle(), "One");
    EXPECT_EQ(pref.OK_b->text(), "") << "line 12 was empty";
    EXPECT_EQ(pref.cancel_b->text(), "Thirteen");
    EXPECT_EQ(basic.goto_options_menu->text(), QStringLiteral("Настройки"));

    std::vector<std::string> full(52, "long");
    writePack("langpack_rus.txt", full);
    basic.LoadOptions();
    EXPECT_EQ(basic.exit_menu->text(), "long");
    writePack("langpack_rus.txt", {"short"});
    basic.LoadOptions();
    EXPECT_EQ(pref.windowTitle(), "short");
    EXPECT_EQ(basic.exit_menu->text(), "long") << "texts a pack does not address stay";
}

TEST_F(Preferences, AMissingPackOrAnUnknownLanguageChangesNothing) {
    writePack("langpack_rus.txt", {"Russian caption"});
    basic.LoadOptions();
    dir.write("options.ini", optionsFor("BRW721", "COM1", 1));
    basic.LoadOptions();
    EXPECT_EQ(pref.windowTitle(), "Russian caption") << "no English pack here";
    dir.write("options.ini", optionsFor("BRW721", "COM1", 7));
    basic.LoadOptions();
    EXPECT_EQ(pref.windowTitle(), "Russian caption");
}

TEST_F(Preferences, AnEnglishWrongTypeCaption) {
    dir.write("options.ini", optionsFor("XYZ", "COM1", 1));
    EXPECT_EQ(basic.LoadOptions(), BadDeviceType);
    open(BadDeviceType);
    EXPECT_EQ(pref.windowTitle(), QStringLiteral("WRONG HARDWARE TYPE in Options. Choose the right one from the list"));
    dir.write("options.ini", optionsFor("XYZ", "COM1", 5));
    open(FirstStart);
    EXPECT_EQ(pref.windowTitle(), "") << "no caption for a language without one";
}

} // namespace

namespace {

// The dialog as the user sees it, in both shipped languages, for a person to look at.
TEST(PreferencesScreenshots, RussianAndEnglish) {
    ScopedWorkDir dir;
    MessageRecorder messages;
    ProgramForms forms;
    forms.basic->start_timer.stop();
    for (int language : {0, 1}) {
        dir.write("options.ini", optionsFor("CALVO442", "COM3", language));
        forms.basic->OpenPreferences(Loaded);
        ASSERT_TRUE(forms.preferences().grab().save(
            QStringLiteral(SCREENSHOT_DIR "/preferences-%1.png").arg(language ? "en" : "ru")));
    }
}

} // namespace
