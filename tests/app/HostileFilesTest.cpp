// Every file the program reads, fed random, huge and special files: nothing hangs or breaks, and
// what the program holds afterwards is what could be read, or what it held before.
#include "app/ProgramForms.h"
#include "base/CoreText.h"
#include "settings/LanguagePack.h"
#include "settings/OptionsFile.h"
#include "settings/ProfileFile.h"
#include "settings/RegularFile.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Well past anything the readers take whole, cheap to make: a sparse file.
constexpr off_t HugeSize = 20 << 20;
// Each reader's work on one file; the bound is there to catch a hang, not to time anything.
constexpr qint64 PatienceMs = 5000;
// The same random files on every run, so a failure can be looked at again.
constexpr unsigned RandomStart = 20240613;
constexpr int RandomRounds = 40;
// Every save of the placement file waits for the disk.
constexpr int PlacementRounds = 12;

enum class Kind { RandomBytes, RandomLines, LongRandom, Huge, Fifo, Folder, EndlessDevice, EmptyDevice, LinkLoop };
constexpr Kind Special[] = {Kind::Fifo, Kind::Folder, Kind::EndlessDevice, Kind::EmptyDevice, Kind::LinkLoop};

const char* nameOf(Kind kind) {
    constexpr std::pair<Kind, const char*> names[] = {
        {Kind::RandomBytes, "random bytes"},
        {Kind::RandomLines, "random lines"},
        {Kind::LongRandom, "random lines past the read limit"},
        {Kind::Huge, "a huge file"},
        {Kind::Fifo, "a FIFO"},
        {Kind::Folder, "a folder"},
        {Kind::EndlessDevice, "a link to /dev/zero"},
        {Kind::EmptyDevice, "a link to /dev/null"},
        {Kind::LinkLoop, "links in a loop"},
    };
    for (const auto& [each, name] : names)
        if (each == kind) return name;
    return "?";
}

// Text the readers have rules for, so the parsers' branches are walked, not only skipped.
std::string randomLines(std::mt19937& random, std::size_t bytes) {
    static const std::string pieces[] = {"BRW721",      "CALVO442",   "DM773",
                                         "yes",         "no",         "COM1",
                                         "/dev/ttyS0",  "9600",       "$FF",
                                         "0x1g",        "-1",         "256",
                                         "99999999999", "1",          "0",
                                         " ",           "   ; x",     ";",
                                         "#",           "=",          "[Tbrw721_frm]",
                                         "NormPos",     "ShowCmd=3",  "PixelsPerInch=96",
                                         ",",           "2147483647", "-2147483648",
                                         "\r\n",        "\n",         "\n",
                                         "\r",          "\xff\xfe",   "\x00"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::string text;
    while (text.size() < bytes)
        text += pieces[pick(random)];
    return text;
}

std::string randomBytes(std::mt19937& random, std::size_t bytes) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(bytes, '\0');
    for (char& c : text)
        c = static_cast<char>(byte(random));
    return text;
}

void removeAnything(const std::string& path) {
    if (unlink(path.c_str()) != 0) QDir(QString::fromStdString(path)).removeRecursively();
}

// Puts the thing at path; returns the file's bytes for a regular file, nothing for a special one.
std::optional<std::string> plant(const std::string& path, Kind kind, std::mt19937& random) {
    removeAnything(path);
    std::uniform_int_distribution<std::size_t> smallSize(0, 4096);
    std::string text;
    switch (kind) {
    case Kind::RandomBytes:
        text = randomBytes(random, smallSize(random));
        break;
    case Kind::RandomLines:
        text = randomLines(random, smallSize(random));
        break;
    case Kind::LongRandom:
        text = randomLines(random, RegularFile::TextLimit + 4096);
        break;
    case Kind::Huge: {
        text = randomLines(random, 4096);
        const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) || ftruncate(fd, HugeSize) != 0)
            ADD_FAILURE() << "could not make " << path;
        close(fd);
        // The head is what a bounded reader sees: the text, then the zeros of the hole.
        std::string head(RegularFile::TextLimit, '\0');
        text.copy(head.data(), text.size());
        return head;
    }
    case Kind::Fifo:
        mkfifo(path.c_str(), 0600);
        return std::nullopt;
    case Kind::Folder:
        mkdir(path.c_str(), 0700);
        return std::nullopt;
    case Kind::EndlessDevice:
        symlink("/dev/zero", path.c_str());
        return std::nullopt;
    case Kind::EmptyDevice:
        symlink("/dev/null", path.c_str());
        return std::nullopt;
    case Kind::LinkLoop:
        symlink((path + ".other").c_str(), path.c_str());
        symlink(path.c_str(), (path + ".other").c_str());
        return std::nullopt;
    }
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) ADD_FAILURE() << path;
    close(fd);
    return text;
}

// Every kind once, then the random kinds again and again.
std::vector<Kind> cases(int rounds = RandomRounds) {
    std::vector<Kind> kinds(std::begin(Special), std::end(Special));
    kinds.push_back(Kind::Huge);
    kinds.push_back(Kind::LongRandom);
    for (int i = 0; i < rounds; ++i) {
        kinds.push_back(Kind::RandomBytes);
        kinds.push_back(Kind::RandomLines);
    }
    return kinds;
}

class HostileFiles : public ::testing::Test {
protected:
    HostileFiles() {
        basic.start_timer.stop();
        basic.packFolder = dir.path("");
    }
    template <typename Work> void withinPatience(Work work, const std::string& what) {
        QElapsedTimer clock;
        clock.start();
        work();
        EXPECT_LT(clock.elapsed(), PatienceMs) << what;
    }

    std::mt19937 random{RandomStart};
    ScopedWorkDir dir;
    MessageRecorder messages;
    ProgramForms forms;
    Tbasic& basic = *forms.basic;
    Tpref_frm& pref = forms.preferences();
};

TEST_F(HostileFiles, TheOptionsFile) {
    int round = 0;
    for (const Kind kind : cases()) {
        const std::string what = std::string(nameOf(kind)) + " (case " + std::to_string(++round) + ")";
        const auto bytes = plant(dir.path("options.ini"), kind, random);
        const Settings before = basic.settings;
        const std::string portBefore = basic.port1.CommPort();
        LoadResult result = Loaded;
        withinPatience([&] { result = basic.LoadOptions(); }, what);
        if (!bytes) {
            EXPECT_EQ(result, FirstStart) << what << ": read as a missing file";
            EXPECT_EQ(basic.settings.DeviceType, before.DeviceType) << what;
            EXPECT_EQ(basic.settings.IdByte, before.IdByte) << what;
            EXPECT_EQ(basic.port1.CommPort(), portBefore) << what;
            continue;
        }
        const StoredOptions read = OptionsFile::parse(*bytes);
        const bool known = layoutForDeviceType(read.deviceType).has_value();
        EXPECT_EQ(result, !known ? BadDeviceType : read.refusedId ? BadId : Loaded) << what;
        EXPECT_EQ(basic.settings.DeviceType, read.deviceType) << what;
        EXPECT_EQ(basic.settings.ShowHints, read.showHints) << what;
        EXPECT_EQ(basic.settings.AlwaysOnTop, read.alwaysOnTop) << what;
        EXPECT_EQ(basic.port1.CommPort(), read.port) << what;
        EXPECT_EQ(basic.port1.BaudRate(), read.baudRate) << what;
        EXPECT_EQ(basic.settings.IdByte, read.refusedId ? before.IdByte : read.id) << what << ": no wrapped ID";
        EXPECT_EQ(pref.id_byte_ed->text(), QString::fromStdString(read.refusedId.value_or(std::to_string(read.id))))
            << what;
        EXPECT_EQ(basic.settings.Language, read.language) << what;
        EXPECT_FALSE(basic.port1.Active()) << what;
    }
}

TEST_F(HostileFiles, TheLanguagePack) {
    const std::string pack = dir.path("langpack_rus.txt");
    int round = 0;
    for (const Kind kind : cases()) {
        const std::string what = std::string(nameOf(kind)) + " (case " + std::to_string(++round) + ")";
        const auto bytes = plant(pack, kind, random);
        const QString ok = pref.OK_b->text(), port = pref.lbl_port->text(), menu = basic.goto_options_menu->text();
        withinPatience([&] { basic.LoadLanguagePack(); }, what);
        std::vector<std::string_view> lines;
        if (bytes) lines = RegularFile::splitLines(*bytes);
        auto shown = [&](std::size_t line, const QString& before) {
            return line <= lines.size() ? shownText(LanguagePack::DecodePackText(lines[line - 1])) : before;
        };
        EXPECT_EQ(pref.lbl_port->text(), shown(7, port)) << what;
        EXPECT_EQ(pref.OK_b->text(), shown(12, ok)) << what;
        EXPECT_EQ(basic.goto_options_menu->text(), shown(18, menu)) << what;
    }
}

bool reachable(const QWidget& form) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect on = screen->geometry() & form.frameGeometry();
        if (on.width() >= std::min(48, form.width()) && on.height() >= std::min(48, form.height())) return true;
    }
    return false;
}

TEST_F(HostileFiles, ThePlacementFile) {
    PanelForm& panel = forms.panel(PanelLayout::Brw721);
    const QString file = defaultPlacementFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    const QPoint designed = panel.pos();
    int round = 0;
    for (const Kind kind : cases(PlacementRounds)) {
        const std::string what = std::string(nameOf(kind)) + " (case " + std::to_string(++round) + ")";
        const auto bytes = plant(file.toStdString(), kind, random);
        panel.move(designed);
        withinPatience([&] { panel.show(); }, what + ", shown");
        EXPECT_TRUE(reachable(panel)) << what << ": at " << panel.x() << "," << panel.y();
        if (!bytes) {
            EXPECT_EQ(panel.pos(), designed) << what;
        }
        const QPoint shownAt = panel.pos();
        withinPatience([&] { panel.close(); }, what + ", closed");

        struct stat st {};
        ASSERT_EQ(lstat(file.toLocal8Bit().constData(), &st), 0) << what << ": something is still there";
        if (kind == Kind::Huge) {
            EXPECT_EQ(st.st_size, HugeSize) << what << ": not read whole, so not replaced";
        }
        if (!bytes) {
            EXPECT_FALSE(S_ISREG(st.st_mode)) << what << ": left as it was";
        }
        if (bytes && kind != Kind::Huge) {
            const std::string norm = ProfileFile(file.toStdString()).readString("Tbrw721_frm", "NormPos");
            EXPECT_TRUE(norm.starts_with(std::to_string(shownAt.x()) + "," + std::to_string(shownAt.y()) + ","))
                << what << ": saved where it was, found " << norm;
        }
    }
}

} // namespace
