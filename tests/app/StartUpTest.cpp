#include "app/ProgramForms.h"
#include "settings/ConfigFolder.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecorderProcess.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/UserProcess.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string optionsFor(const std::string& deviceType, const std::string& port) {
    return optionsText(deviceType, port, 5, 1);
}

// A fresh set of forms in an empty working folder, with the steps of forms still to come recorded.
class StartUp : public ::testing::Test {
protected:
    StartUp() { basic.packFolder = dir.path(""); }
    void runStartUp() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.start_timer.isActive(); }, 1000));
    }
    int lampPicture(PanelLayout layout, const char* lamp) { return forms.panel(layout).component(lamp)->pictureId(); }

    ScopedWorkDir dir;
    MessageRecorder messages;
    ProgramForms forms;
    Tbasic& basic = *forms.basic;
    Tpref_frm& pref = forms.preferences();
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
    messages.onShow = [&] { panelShownAfterMessage = forms.panel(PanelLayout::Brw777).isVisible(); };
    runStartUp();
    EXPECT_FALSE(panelShownAfterMessage) << "the message comes before the panel";
    EXPECT_TRUE(forms.panel(PanelLayout::Brw777).isVisible()) << "the panel shows all the same";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Ошибка подключения к COM порту\n")))
        << "the message as it was, with its reason below";
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Error connect"));
    EXPECT_EQ(basic.exchange.Tag(), KeyExchange::NoPort);
}

// Whatever the file or the dialog name, the program starts, keeps the name whole and says the port
// is not there; it never crashes and never opens some other line instead.
TEST(HostilePortNames, AreMissingPortsWhetherFromTheFileOrTheDialog) {
    const std::string names[] = {"COM" + std::string(25, '9'), "COM0",  "COM-1",      "", "КОМ1",
                                 std::string(300, 'x'),        "COM 1", "tty\x01USB0"};
    for (const std::string& name : names) {
        ScopedWorkDir dir;
        MessageRecorder messages;
        ProgramForms forms;
        Tbasic& basic = *forms.basic;
        const bool storable = name.find_first_of(" \x01") == std::string::npos;
        if (storable) {
            dir.write("options.ini", optionsFor("BRW777", name));
            ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.start_timer.isActive(); }, 1000));
            EXPECT_TRUE(forms.panel(PanelLayout::Brw777).isVisible()) << name;
            EXPECT_EQ(basic.port1.CommPort(), name);
        } else {
            dir.write("options.ini", optionsFor("BRW777", "/dev/no-such-recorder"));
            basic.StartUp();
        }
        basic.OpenPreferences(Loaded);
        forms.preferences().port_cmb->setEditText(QString::fromStdString(name));
        forms.preferences().OK_b->click();
        // The file keeps a value up to its first blank, so the dialog takes no more than that.
        EXPECT_EQ(basic.port1.CommPort(), name.substr(0, name.find(' '))) << "kept whole, never cut";
        EXPECT_EQ(basic.exchange.Tag(), KeyExchange::NoPort) << name;
        ASSERT_FALSE(messages.shown.empty()) << name;
        EXPECT_TRUE(messages.shown.back().text.contains(QStringLiteral("no such device"))) << name;
    }
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
    EXPECT_EQ(basic.ActivePanel(), &forms.panel(PanelLayout::Brw774));
    EXPECT_TRUE(forms.panel(PanelLayout::Brw774).isVisible());
    EXPECT_FALSE(forms.panel(PanelLayout::Brw777).isVisible());

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
    QStringLiteral("Неправильно введено значение ID byte\nИспользуйте десятичное число от 0 до 255");

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
        forms.basic->packFolder = dir.path("");
        dir.write("options.ini", optionsWithId(recorder.slavePath(), row.stored));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !forms.basic->start_timer.isActive(); }, 1000));
        if (!row.refused) {
            EXPECT_TRUE(messages.shown.empty()) << row.why;
            EXPECT_TRUE(forms.panel(PanelLayout::Brw721).isVisible()) << row.why;
            forms.basic->exchange.SendKey(0x50);
            EXPECT_EQ(recorder.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, row.id, 0x50, 0x7F})) << row.why;
            continue;
        }
        EXPECT_TRUE(forms.preferences().isVisible()) << row.why;
        EXPECT_EQ(forms.preferences().id_byte_ed->text(), row.stored) << row.why << ": the stored text as it stands";
        ASSERT_EQ(messages.shown.size(), 1u) << row.why;
        EXPECT_EQ(messages.shown[0].text, IdRefusal) << row.why;
        EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Ошибка!")) << row.why;
        EXPECT_FALSE(forms.basic->port1.Active()) << row.why << ": nothing can be sent";
        EXPECT_FALSE(forms.panel(PanelLayout::Brw721).isVisible()) << row.why;
        EXPECT_EQ(forms.basic->settings.IdByte, 0) << row.why;

        forms.preferences().id_byte_ed->setText("7");
        forms.preferences().OK_b->click();
        ASSERT_TRUE(forms.basic->port1.Active()) << row.why << ": a valid ID confirmed opens the port";
        EXPECT_TRUE(forms.panel(PanelLayout::Brw721).isVisible()) << row.why;
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
    } rows[] = {{"CALVO442", &forms.panel(PanelLayout::Brw774)},
                {"DM773", &forms.panel(PanelLayout::Brw773)},
                {"FN721", &forms.panel(PanelLayout::Brw721)},
                {"CALVO1642", &forms.panel(PanelLayout::Brw777)},
                {"FN776", &forms.panel(PanelLayout::Brw776)},
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
    dir.write("options.ini", "");
    basic.settings.DeviceType = "DM776";
    basic.port1.setCommPort("/dev/ttyUSB0");
    EXPECT_TRUE(basic.WriteOptions());
    EXPECT_EQ(dir.read("options.ini").substr(0, 32), "DM776          ; hardware type\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartUp, TheOptionsFileIsTheWorkingFoldersWhenItHasOneElseTheSettingsFolders) {
    const QString settingsFile = QString::fromStdString(ConfigFolder::path() + "/options.ini");
    struct Row {
        const char* why;
        bool inWorkingFolder;
        QString written;
    } rows[] = {
        {"a working folder with its own file keeps it", true, QString::fromStdString(dir.path("options.ini"))},
        {"elsewhere, the settings folder", false, settingsFile},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(ConfigFolder::path());
        QFile::remove(QString::fromStdString(dir.path("options.ini")));
        if (row.inWorkingFolder) dir.write("options.ini", "");
        basic.settings.DeviceType = "FN777";
        ASSERT_TRUE(basic.WriteOptions()) << row.why;
        EXPECT_TRUE(QFile::exists(row.written)) << row.why;
        EXPECT_EQ(QFile::exists(settingsFile), !row.inWorkingFolder) << row.why;
        basic.settings.DeviceType = "start";
        EXPECT_EQ(basic.LoadOptions(), Loaded) << row.why << ": read back from where it was written";
        EXPECT_EQ(basic.settings.DeviceType, "FN777") << row.why;
    }
    struct stat folder {};
    ASSERT_EQ(stat(ConfigFolder::path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u) << "the settings folder is made for the user alone";
}

// In a folder others may write, another user's options.ini decides nothing: the program says so
// once, naming the file and its owner, and keeps its settings in the user's own folder.
TEST_F(StartUp, AnotherUsersOptionsFileInTheWorkingFolderIsSetAside) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to give the file to another user (chown)";
    PtyPair theirs;
    const std::string planted = optionsFor("BRW777", theirs.slavePath());
    dir.write("options.ini", planted);
    ASSERT_EQ(chown(dir.path("options.ini").c_str(), UserProcess::Nobody, UserProcess::Nobody), 0);
    runStartUp();
    EXPECT_TRUE(pref.isVisible()) << "a first start, as far as the user's settings go";
    EXPECT_FALSE(basic.port1.Active()) << "the other user's line is not opened";
    ASSERT_EQ(messages.notices.size(), 1u);
    EXPECT_TRUE(messages.notices[0].text.contains(QString::fromStdString(dir.path("options.ini"))));
    EXPECT_TRUE(messages.notices[0].text.contains(QStringLiteral("nobody")));
    basic.LoadOptions();
    EXPECT_EQ(messages.notices.size(), 1u) << "said once";
    pref.OK_b->click();
    EXPECT_EQ(dir.read("options.ini"), planted);
    EXPECT_TRUE(std::filesystem::exists(ConfigFolder::path() + "/options.ini"));
}

TEST_F(StartUp, AnOptionsFileThatCannotBeWrittenIsSaidSoWithItsPath) {
    dir.write("options.ini", "kept");
    chmod(dir.path("options.ini").c_str(), 0444);
    EXPECT_FALSE(basic.WriteOptions());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Нет доступа для записи на диск!\nНевозможно сохранить файл опций\n") +
                  QString::fromStdString(dir.path("options.ini")));
    EXPECT_EQ(dir.read("options.ini"), "kept");
    EXPECT_TRUE(
        std::count(messages.logged.begin(), messages.logged.end(),
                   QStringLiteral("Ошибка: Нет доступа для записи на диск! / Невозможно сохранить файл опций / ") +
                       QString::fromStdString(dir.path("options.ini"))))
        << "the box is on stderr as well";
}

TEST_F(StartUp, ASettingsFolderThatCannotBeMadeIsSaidSo) {
    const ScopedEnv env{{"XDG_CONFIG_HOME", QByteArray("/proc/no-settings-here")}};
    EXPECT_FALSE(basic.WriteOptions());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.endsWith("/proc/no-settings-here/lumevanta/options.ini"));
}

TEST_F(StartUp, TheLoadingWindowHidesItself) {
    basic.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !basic.isVisible(); }, 1000));
    EXPECT_EQ(basic.size(), QSize(200, 100));
}

TEST(FirstStartLanguage, FollowsTheDesktopUntilALanguageIsStored) {
    struct Row {
        const char* why;
        std::optional<QByteArray> lcAll, lcMessages, lang;
        const char* stored; // an options file's language, or none
        int language;
        const char* firstStartCaption;
        const char* alreadyRunning;
    } rows[] = {
        {"a Russian desktop",
         {},
         {},
         "ru_RU.UTF-8",
         nullptr,
         0,
         "Первый запуск. Настройте соединение с COM портом",
         "Программа уже запущена"},
        {"an English desktop",
         {},
         {},
         "en_GB.UTF-8",
         nullptr,
         1,
         "FIRST START.  Make settings before start",
         "The program is already running"},
        {"LC_ALL comes first", "ru_RU.UTF-8", "en_US.UTF-8", "en_US.UTF-8", nullptr, 0,
         "Первый запуск. Настройте соединение с COM портом", "Программа уже запущена"},
        {"an empty LC_ALL does not count", "", "en_US.UTF-8", "ru_RU.UTF-8", nullptr, 1,
         "FIRST START.  Make settings before start", "The program is already running"},
        {"no locale at all",
         {},
         {},
         {},
         nullptr,
         1,
         "FIRST START.  Make settings before start",
         "The program is already running"},
        {"a stored language is never overridden", {}, {}, "en_GB.UTF-8", "0", 0, nullptr, "Программа уже запущена"},
        {"nor is a stored English", {}, {}, "ru_RU.UTF-8", "1", 1, nullptr, "The program is already running"},
    };
    for (const auto& row : rows) {
        const ScopedEnv env{{"LC_ALL", row.lcAll}, {"LC_MESSAGES", row.lcMessages}, {"LANG", row.lang}};
        ScopedWorkDir dir;
        if (row.stored) dir.write("options.ini", optionsText("BRW721", "/dev/null", 0, std::atoi(row.stored)));
        MessageRecorder messages;
        ProgramForms forms; // with the packs beside the program
        ASSERT_TRUE(QTest::qWaitFor([&] { return !forms.basic->start_timer.isActive(); }, 1000));
        EXPECT_EQ(forms.basic->settings.Language, row.language) << row.why;
        if (row.firstStartCaption) {
            EXPECT_EQ(forms.preferences().windowTitle(), QString::fromUtf8(row.firstStartCaption)) << row.why;
            EXPECT_EQ(forms.preferences().lang_select_cmb->currentIndex(), row.language) << row.why;
        }
        EXPECT_EQ(forms.basic->text(TextId::AlreadyRunning), QString::fromUtf8(row.alreadyRunning)) << row.why;
    }
}

TEST_F(StartUp, AMissingOrShortPackIsSaidOnceOnStderr) {
    dir.write("langpack_eng.txt", "Preferences\r\n");
    dir.write("options.ini", optionsText("BRW721", "/dev/null", 0, 0));
    basic.LoadOptions();
    basic.LoadOptions();
    dir.write("options.ini", optionsText("BRW721", "/dev/null", 0, 1));
    basic.LoadOptions();
    basic.LoadOptions();
    const QString russian = QString::fromStdString(dir.path("langpack_rus.txt"));
    const QString english = QString::fromStdString(dir.path("langpack_eng.txt"));
    EXPECT_EQ(messages.logged,
              (std::vector<QString>{
                  QStringLiteral("language pack %1 cannot be read; the texts stay as they are").arg(russian),
                  QStringLiteral("language pack %1 has 1 of its %2 lines; the texts of the others stay "
                                 "as they are")
                      .arg(english)
                      .arg(ProgramTexts::lastPackLine()),
              }));
}

} // namespace
