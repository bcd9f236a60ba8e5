#include "settings/WindowPlacement.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

constexpr const char* Section = "Tform_frm";
const QPoint Designed(40, 30);
const QSize FormSize(200, 150);

// A form wired as the program's are: the storage is made with the form and told of its end.
class StoredForm : public QWidget {
public:
    StoredForm(const QString& file, TWindowStorage::Options options, bool preventResize = false,
               const char* section = Section)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
        resize(FormSize);
        move(Designed);
        storage_ = std::make_unique<TWindowStorage>(*this, options, preventResize, file, section);
    }
    ~StoredForm() override { storage_->formDestroying(); }

    TWindowStorage& storage() { return *storage_; }

private:
    std::unique_ptr<TWindowStorage> storage_;
};

const TWindowStorage::Options Both = TWindowStorage::State | TWindowStorage::Position;

std::string desktopSize() {
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "(" + string.
    std::string text(1, '(');
    text.append(std::to_string(size.width())).append("x").append(std::to_string(size.height())).push_back(')');
    return text;
}

std::string pixelsPerInch() {
    return std::to_string(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()));
}

// The file a form saved at this corner, in this show state, leaves behind.
std::string savedText(QPoint corner, int showCmd, int visible) {
    const std::string norm = std::to_string(corner.x()) + "," + std::to_string(corner.y()) + "," +
                             std::to_string(corner.x() + FormSize.width()) + "," +
                             std::to_string(corner.y() + FormSize.height());
    return std::string("[") + Section + "]\r\n" + "FormVersion=0\r\n" + "Flags=0\r\n" +
           "ShowCmd=" + std::to_string(showCmd) + "\r\n" + "PixelsPerInch=" + pixelsPerInch() + "\r\n" + "MinMaxPos" +
           desktopSize() + "=-1,-1,-1,-1\r\n" + "MinMaxPos=-1,-1,-1,-1\r\n" + "NormPos" + desktopSize() + "=" + norm +
           "\r\n" + "NormPos=" + norm + "\r\n" + "Visible=" + std::to_string(visible) + "\r\n";
}

class WindowPlacementTest : public ::testing::Test {
protected:
    QString file() const { return QString::fromStdString(dir_.path("lumevanta.INI")); }
    bool fileExists() const { return QFile::exists(file()); }
    std::string text() const { return dir_.read("lumevanta.INI"); }
    void writeSection(const std::string& lines) const {
        dir_.write("lumevanta.INI", std::string("[") + Section + "]\n" + lines);
    }

    ScopedWorkDir dir_;
};

TEST_F(WindowPlacementTest, TheFirstShowWithoutAFileKeepsTheDesignedPlace) {
    StoredForm form(file(), Both);
    form.show();
    EXPECT_TRUE(form.storage().restored());
    EXPECT_EQ(form.pos(), Designed);
    EXPECT_EQ(form.size(), FormSize);
    EXPECT_FALSE(fileExists()) << "showing writes nothing";
}

TEST_F(WindowPlacementTest, ClosingWritesThePlacementKeysInOrder) {
    StoredForm form(file(), Both);
    form.show();
    form.move(120, 90);
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.storage().saved());
    EXPECT_EQ(text(), savedText({120, 90}, 1, 0));
}

TEST_F(WindowPlacementTest, WhenThePlacementIsSaved) {
    struct Row {
        const char* why;
        bool show;
        bool close;
        bool showAgain;
        bool saved;
        int visible;
    } rows[] = {
        {"a form never shown saves nothing", false, false, false, false, 0},
        {"a form destroyed while open saves itself as visible", true, false, false, true, 1},
        {"a closed form is not saved again when destroyed", true, true, false, true, 0},
        {"a form shown again after a close saves again", true, true, true, true, 1},
    };
    for (const auto& row : rows) {
        QFile::remove(file());
        {
            StoredForm form(file(), Both);
            if (row.show) form.show();
            if (row.close) form.close();
            if (row.showAgain) form.show();
        }
        EXPECT_EQ(fileExists(), row.saved) << row.why;
        if (row.saved) {
            EXPECT_EQ(text(), savedText(Designed, 1, row.visible)) << row.why;
        }
    }
}

TEST_F(WindowPlacementTest, AFormThatComesToRestAfterADragIsSavedOnce) {
    const QPoint last = Designed + QPoint(100, 60);
    {
        StoredForm form(file(), Both);
        form.show();
        for (int step = 1; step <= 20; ++step) {
            form.move(Designed + QPoint(step * 5, step * 3));
            QCoreApplication::processEvents();
        }
        EXPECT_FALSE(fileExists()) << "not at every step of the drag";
        ASSERT_TRUE(QTest::qWaitFor([&] { return fileExists(); }, 10 * TWindowStorage::RestDelayMs));
        EXPECT_EQ(text(), savedText(last, 1, 0)) << "where it came to rest";

        dir_.write("lumevanta.INI", "written once");
        QTest::qWait(2 * TWindowStorage::RestDelayMs);
        EXPECT_EQ(text(), "written once") << "one write for the whole drag";
        form.move(form.pos());
        QTest::qWait(2 * TWindowStorage::RestDelayMs);
        EXPECT_EQ(text(), "written once") << "a move to where it already is writes nothing";
    }
    EXPECT_EQ(text().substr(text().find('[')), savedText(last, 1, 1))
        << "the form's end still saves it as it did, as visible";
}

TEST_F(WindowPlacementTest, TheShowStateIsSavedWithTheNormalPlace) {
    struct Row {
        const char* why;
        Qt::WindowState state;
        int showCmd;
    } rows[] = {
        {"maximized", Qt::WindowMaximized, 3},
        {"minimized", Qt::WindowMinimized, 2},
    };
    for (const auto& row : rows) {
        QFile::remove(file());
        StoredForm form(file(), Both);
        form.show();
        form.setWindowState(row.state);
        form.close();
        EXPECT_EQ(text(), savedText(Designed, row.showCmd, 0)) << row.why;
    }
}

TEST_F(WindowPlacementTest, AStoredPlaceIsTakenOnlyWhenItMakesSense) {
    const std::string sized = desktopSize();
    struct Row {
        const char* why;
        std::string lines;
        TWindowStorage::Options options;
        QPoint expected;
    } rows[] = {
        {"the stored corner", "NormPos" + sized + "=300,200,500,350\n", Both, {300, 200}},
        {"the size stays the form's when right and bottom were edited",
         "NormPos" + sized + "=300,200,900,1000\n",
         Both,
         {300, 200}},
        {"the key for this desktop size comes first",
         "NormPos" + sized + "=300,200,500,350\nNormPos=10,10,210,160\n",
         Both,
         {300, 200}},
        {"another desktop size: the plain key",
         "NormPos(1x1)=300,200,500,350\nNormPos=310,210,510,360\n",
         Both,
         {310, 210}},
        {"another desktop size and no plain key", "NormPos(1x1)=300,200,500,350\n", Both, Designed},
        {"the same resolution", "PixelsPerInch=" + pixelsPerInch() + "\nNormPos=300,200,500,350\n", Both, {300, 200}},
        {"another resolution", "PixelsPerInch=144\nNormPos=300,200,500,350\n", Both, Designed},
        {"off every screen", "NormPos=5000,5000,5200,5150\n", Both, Designed},
        {"off every screen to the top left", "NormPos=-900,-900,-700,-750\n", Both, Designed},
        {"partly on a screen", "NormPos=-100,-50,100,100\n", Both, {-100, -50}},
        {"left not before right", "NormPos=300,200,300,350\n", Both, Designed},
        {"missing numbers are the form's own", "NormPos=100\n", Both, {100, Designed.y()}},
        {"a missing right is the form's own, left of the stored left", "NormPos=300\n", Both, Designed},
        {"bad numbers are the form's own", "NormPos=abc,250,x,y\n", Both, {Designed.x(), 250}},
        {"an empty value", "NormPos=\n", Both, Designed},
        {"a form that keeps only its state", "NormPos=300,200,500,350\n", TWindowStorage::State, Designed},
        {"only the position", "NormPos=300,200,500,350\n", TWindowStorage::Position, {300, 200}},
    };
    for (const auto& row : rows) {
        writeSection(row.lines);
        StoredForm form(file(), row.options);
        form.show();
        EXPECT_EQ(form.pos(), row.expected) << row.why;
        EXPECT_EQ(form.size(), FormSize) << row.why;
    }
}

std::string normPos(qint64 left, qint64 top, QSize size = FormSize) {
    return "NormPos=" + std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(left + size.width()) +
           "," + std::to_string(top + size.height()) + "\n";
}

TEST_F(WindowPlacementTest, AStoredPlaceMustLeaveEnoughOfTheFormToTakeHoldOf) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int w = FormSize.width(), h = FormSize.height();
    struct Row {
        const char* why;
        std::string lines;
        bool taken;
    } rows[] = {
        {"48 pixels on at the right", normPos(screen.right() + 1 - 48, 100), true},
        {"47 pixels on at the right", normPos(screen.right() + 1 - 47, 100), false},
        {"a 10 pixel sliver at the right", normPos(screen.right() + 1 - 10, 100), false},
        {"48 pixels on at the left", normPos(screen.left() + 48 - w, 100), true},
        {"a sliver at the left", normPos(screen.left() + 5 - w, 100), false},
        {"48 pixels on at the bottom", normPos(100, screen.bottom() + 1 - 48), true},
        {"a sliver at the bottom", normPos(100, screen.bottom() + 1 - 3), false},
        {"a sliver at the top", normPos(100, screen.top() + 1 - h), false},
        {"only a corner's 48 x 10 on", normPos(screen.right() + 1 - 48, screen.bottom() + 1 - 10), false},
        {"near the largest 32-bit number", "NormPos=2147483600,100,2147483647,250\n", false},
        {"left at the largest 32-bit number", normPos(2147483647, 100), false},
        {"near the smallest 32-bit number", "NormPos=-2147483648,-2147483648,-2147483448,-2147483498\n", false},
        {"near the largest 64-bit number", "NormPos=9223372036854775000,0,9223372036854775807,150\n", false},
        {"a top far beyond 32 bits", normPos(100, 99999999999), false},
    };
    for (const auto& row : rows) {
        writeSection(row.lines);
        StoredForm form(file(), TWindowStorage::Position);
        form.show();
        if (row.taken)
            EXPECT_NE(form.pos(), Designed) << row.why;
        else
            EXPECT_EQ(form.pos(), Designed) << row.why;
        EXPECT_EQ(form.size(), FormSize) << row.why;
    }
}

TEST_F(WindowPlacementTest, AFormSmallerThanAGripMustBeWhollyOnAScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize small(30, 20);
    struct Row {
        const char* why;
        qint64 left;
        bool taken;
    } rows[] = {
        {"all of it at the right edge", screen.right() + 1 - 30, true},
        {"one column off", screen.right() + 1 - 29, false},
    };
    for (const auto& row : rows) {
        writeSection(normPos(row.left, 100, small));
        StoredForm form(file(), TWindowStorage::Position);
        form.resize(small);
        form.show();
        EXPECT_EQ(form.pos(), row.taken ? QPoint(static_cast<int>(row.left), 100) : Designed) << row.why;
    }
}

TEST_F(WindowPlacementTest, ShownAgainAFormStaysWhereItWasPut) {
    writeSection("NormPos=300,200,500,350\nShowCmd=3\n");
    StoredForm form(file(), Both);
    form.show();
    ASSERT_EQ(form.pos(), QPoint(300, 200));
    form.setWindowState(Qt::WindowNoState);
    form.move(120, 90);
    form.hide();
    form.show();
    EXPECT_EQ(form.pos(), QPoint(120, 90)) << "the stored place is for the first show";
    EXPECT_FALSE(form.isMaximized()) << "and so is the stored state";
    form.close();
    form.show();
    EXPECT_EQ(form.pos(), QPoint(120, 90)) << "also after a close";
}

TEST_F(WindowPlacementTest, TheStoredShowState) {
    struct Row {
        const char* why;
        std::string showCmd;
        TWindowStorage::Options options;
        bool preventResize;
        Qt::WindowStates expected;
    } rows[] = {
        {"maximized", "3", Both, false, Qt::WindowMaximized},
        {"maximized, for a form that keeps no state", "3", TWindowStorage::Position, false, Qt::WindowNoState},
        {"maximized, for a form that cannot be resized", "3", Both, true, Qt::WindowNoState},
        {"minimized", "2", Both, false, Qt::WindowMinimized},
        {"minimized without activation", "6", Both, false, Qt::WindowMinimized},
        {"minimized, not active", "7", Both, false, Qt::WindowMinimized},
        {"normal", "1", Both, false, Qt::WindowNoState},
        {"shown", "5", Both, false, Qt::WindowNoState},
        {"restored", "9", Both, false, Qt::WindowNoState},
        {"unknown", "42", Both, false, Qt::WindowNoState},
        {"not a number", "max", Both, false, Qt::WindowNoState},
    };
    for (const auto& row : rows) {
        writeSection("ShowCmd=" + row.showCmd + "\n");
        StoredForm form(file(), row.options, row.preventResize);
        form.show();
        EXPECT_EQ(form.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), row.expected) << row.why;
    }
}

TEST_F(WindowPlacementTest, AFormThatCannotBeResizedIsFixedAtItsSize) {
    StoredForm form(file(), Both, true);
    form.show();
    EXPECT_EQ(form.minimumSize(), FormSize);
    EXPECT_EQ(form.maximumSize(), FormSize);
}

TEST_F(WindowPlacementTest, APlaceComesBackInTheNextRunForItsOwnFormOnly) {
    {
        StoredForm form(file(), Both);
        form.show();
        form.move(250, 180);
        form.setWindowState(Qt::WindowMaximized);
        form.close();
    }
    StoredForm same(file(), Both);
    same.show();
    EXPECT_EQ(same.normalGeometry().topLeft(), QPoint(250, 180));
    EXPECT_TRUE(same.isMaximized());
    StoredForm other(file(), Both, false, "Tother_frm");
    other.show();
    EXPECT_EQ(other.pos(), Designed);
    EXPECT_FALSE(other.isMaximized());
}

TEST_F(WindowPlacementTest, AGarbageFileLeavesTheDesignedPlace) {
    std::string junk;
    for (int i = 0; i < 5000; ++i)
        junk += static_cast<char>((i * 37 + 11) % 256);
    dir_.write("lumevanta.INI", junk + "\n[" + Section + "]\nNormPos=\xff\xfe,\x01\nShowCmd=\x80\n" + junk);
    StoredForm form(file(), Both);
    form.show();
    EXPECT_EQ(form.pos(), Designed);
    EXPECT_FALSE(form.isMaximized());
    form.close();
    EXPECT_EQ(dir_.read("lumevanta.INI").substr(0, junk.size()), junk) << "the junk is kept";
}

TEST_F(WindowPlacementTest, AFileThatCannotBeWrittenStopsNothing) {
    StoredForm form("/proc/lumevanta/placement.INI", Both);
    form.show();
    EXPECT_TRUE(form.isVisible());
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.storage().saved());
}

TEST(WindowPlacementFile, TheDefaultIsInTheUsersConfigFolder) {
    const ScopedEnv environment{{"HOME", QByteArray("/home/someone")}, {"XDG_CONFIG_HOME", std::nullopt}};
    struct Row {
        const char* why;
        const char* config;
        QString expected;
    } rows[] = {
        {"the config folder given", "/srv/config", "/srv/config/lumevanta/settings_tests.INI"},
        {"no config folder: the home's", "", "/home/someone/.config/lumevanta/settings_tests.INI"},
        {"a relative config folder is not used", "relative/config",
         "/home/someone/.config/lumevanta/settings_tests.INI"},
    };
    for (const auto& row : rows) {
        qputenv("XDG_CONFIG_HOME", row.config);
        EXPECT_EQ(defaultPlacementFile(), row.expected) << row.why;
    }
    QWidget form;
    EXPECT_EQ(TWindowStorage(form, Both, false, {}, Section).filePath(), defaultPlacementFile())
        << "no path given: the default";
}

} // namespace
