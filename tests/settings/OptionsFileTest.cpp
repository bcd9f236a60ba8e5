#include "settings/OptionsFile.h"
#include "model/DeviceTypes.h"
#include "settings/RegularFile.h"
#include "tests/support/ChildRun.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/UserProcess.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

StoredOptions sample() {
    return {"BRW774", true, false, "COM1", 9600, 3, 1};
}

TEST(OptionsFileFormat, WritesTheTenLinesExactly) {
    EXPECT_EQ(OptionsFile::format(sample()), "BRW774          ; hardware type\r\n"
                                             "yes   ; show hints\r\n"
                                             "no   ; always on top\r\n"
                                             "COM1   ; port\r\n"
                                             "9600   ; baudrate\r\n"
                                             "3     ; ID, decimal format\r\n"
                                             "1     ; language \r\n"
                                             "\r\n\r\n\r\n");
}

TEST(OptionsFileFormat, EveryValueReadsBackAsWritten) {
    StoredOptions o = sample();
    auto roundTrip = [&] { EXPECT_EQ(OptionsFile::parse(OptionsFile::format(o)), o); };
    for (const auto& row : deviceTypes) {
        o.deviceType = std::string(row.name);
        roundTrip();
    }
    for (bool hints : {false, true})
        for (bool top : {false, true}) {
            o.showHints = hints;
            o.alwaysOnTop = top;
            roundTrip();
        }
    for (const char* port : {"COM1", "COM9", "COM10", "/dev/ttyUSB0", "/dev/serial/by-id/usb-adapter-port0"}) {
        o.port = port;
        roundTrip();
    }
    for (std::uint32_t speed : {1200u, 2400u, 4800u, 9600u, 19200u, 57600u, 115200u, 1000000u}) {
        o.baudRate = speed;
        roundTrip();
    }
    for (int id = 0; id <= 255; ++id) {
        o.id = static_cast<std::uint8_t>(id);
        roundTrip();
    }
    for (std::uint8_t language : {0, 1}) {
        o.language = language;
        roundTrip();
    }
}

struct ReadRow {
    const char* why;
    const char* text;
    StoredOptions expected;
};

TEST(OptionsFileRead, ValuesAreReadLeniently) {
    const ReadRow rows[] = {
        {"an empty file", "", {"", false, false, "", 0, 0, 0}},
        {"only its first line", "BRW721 ; type\r\n", {"BRW721", false, false, "", 0, 0, 0}},
        {"LF alone ends lines",
         "DM773 x\nyes x\nyes x\nCOM3 x\n19200 x\n7 x\n1\n",
         {"DM773", true, true, "COM3", 19200, 7, 1}},
        {"capitals are not yes", "A\r\nYES   ; show hints\r\n", {"A", false, false, "", 0, 0, 0}},
        {"a value alone on its line",
         "BRW777\r\nyes\r\nno\r\nCOM4\r\n4800\r\n12\r\n1\r\n",
         {"BRW777", true, false, "COM4", 4800, 12, 1}},
        {"letters give 0", "A\r\n\r\n\r\n\r\nfast   ;\r\nabc   ;\r\nz\r\n", {"A", false, false, "", 0, 0, 0}},
        {"hexadecimal forms", "A\r\n\r\n\r\n\r\n0x2580 ;\r\n$FF ;\r\n", {"A", false, false, "", 9600, 255, 0}},
        {"x also starts hexadecimal", "A\r\n\r\n\r\n\r\nx10 ;\r\nX1f ;\r\n", {"A", false, false, "", 16, 31, 0}},
        {"digits stop at the first non-digit",
         "A\r\n\r\n\r\n\r\n96a0 ;\r\n+12z ;\r\n",
         {"A", false, false, "", 96, 12, 0}},
        {"only the first character of the language counts",
         "A\r\n\r\n\r\n\r\n\r\n\r\n12\r\n",
         {"A", false, false, "", 0, 0, 1}},
        {"a negative speed reads as 0 and the rest is read",
         "A\r\n\r\n\r\n\r\n-9600 ;\r\n5 ;\r\n1\r\n",
         {"A", false, false, "", 0, 5, 1}},
        {"a speed beyond 32 bits reads as 0", "A\r\n\r\n\r\n\r\n99999999999 ;\r\n", {"A", false, false, "", 0, 0, 0}},
        {"a leading blank leaves the value empty", " BRW721 ;\r\n", {"", false, false, "", 0, 0, 0}},
        {"lower case device types are kept as written",
         "brw774          ; hardware type\r\n",
         {"brw774", false, false, "", 0, 0, 0}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(OptionsFile::parse(row.text), row.expected) << row.why;
}

TEST(OptionsFileRead, AnIdThatNamesNoRecorderIsRefusedAsItStands) {
    struct Row {
        const char* why;
        const char* value;
        std::uint8_t id;
        std::optional<std::string> refused;
    } rows[] = {
        {"the last ID", "255", 255, std::nullopt},
        {"the first ID", "0", 0, std::nullopt},
        {"hexadecimal", "$FF", 255, std::nullopt},
        {"with a plus", "+7", 7, std::nullopt},
        {"minus zero", "-0", 0, std::nullopt},
        {"letters read as 0, as ever", "abc", 0, std::nullopt},
        {"one past the last", "256", 0, "256"},
        {"300 would wrap to 44", "300", 0, "300"},
        {"negative", "-1", 0, "-1"},
        {"beyond 32 bits", "99999999999", 0, "99999999999"},
        {"beyond 64 bits", "99999999999999999999999", 0, "99999999999999999999999"},
        {"hexadecimal past the last", "0x100", 0, "0x100"},
        {"a number followed by letters", "300abc", 0, "300abc"},
    };
    for (const auto& row : rows) {
        const std::string text =
            std::string("BRW721 ;\r\nyes ;\r\n\r\nCOM1 ;\r\n9600 ;\r\n") + row.value + " ;\r\n1\r\n";
        const StoredOptions o = OptionsFile::parse(text);
        EXPECT_EQ(o.id, row.id) << row.why;
        EXPECT_EQ(o.refusedId, row.refused) << row.why;
        EXPECT_EQ(o, (StoredOptions{"BRW721", true, false, "COM1", 9600, row.id, 1, row.refused}))
            << row.why << ": the other lines read all the same";
    }
}

TEST(OptionsFileRead, NumbersFollowTheLenientRules) {
    EXPECT_EQ(OptionsFile::readNumber("  42"), 42);
    EXPECT_EQ(OptionsFile::readNumber("-$10"), -16);
    EXPECT_EQ(OptionsFile::readNumber("0X7f"), 127);
    EXPECT_EQ(OptionsFile::readNumber("$"), 0);
    EXPECT_EQ(OptionsFile::readNumber("-"), 0);
    EXPECT_EQ(OptionsFile::readNumber("99999999999999999999999"), 999999999999999999) << "stops before overflowing";
}

TEST(OptionsFileRead, BinaryAndHugeFilesReadWithoutHarm) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    OptionsFile::parse(binary);

    ScopedWorkDir dir;
    dir.write("options.ini", std::string(8 * 1024 * 1024, 'A'));
    const auto text = OptionsFile::read(dir.path("options.ini"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), RegularFile::TextLimit) << "only the head of a huge file is read";
    EXPECT_EQ(OptionsFile::parse(*text).deviceType.size(), text->size());
}

TEST(OptionsFileRead, ALongLineDoesNotTakeTheLinesAfterIt) {
    ScopedWorkDir dir;
    const std::string longComment(100 * 1024, 'c');
    dir.write("options.ini",
              "BRW777 " + longComment + "\r\nyes " + longComment + "\nno\r\nCOM3 ;\r\n19200 ;\r\n9 ;\r\n1\r\n");
    const auto text = OptionsFile::read(dir.path("options.ini"));
    ASSERT_TRUE(text);
    EXPECT_EQ(OptionsFile::parse(*text), (StoredOptions{"BRW777", true, false, "COM3", 19200, 9, 1}));
}

TEST(OptionsFileRead, AMissingFileCannotBeRead) {
    ScopedWorkDir dir;
    EXPECT_FALSE(OptionsFile::read(dir.path("options.ini")));
}

TEST(OptionsFileWrite, CreatesAndReplacesTheFile) {
    ScopedWorkDir dir;
    const std::string path = dir.path("options.ini");
    EXPECT_EQ(OptionsFile::write(path, "first"), "");
    EXPECT_EQ(dir.read("options.ini"), "first");
    chmod(path.c_str(), 0640);
    EXPECT_EQ(OptionsFile::write(path, "second"), "");
    EXPECT_EQ(dir.read("options.ini"), "second");
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the file keeps its permissions";
    EXPECT_EQ(QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files).size(), 1) << "no temporary left";
}

TEST(OptionsFileWrite, AReadOnlyFileIsNeverReplaced) {
    ScopedWorkDir dir;
    const std::string path = dir.path("options.ini");
    dir.write("options.ini", "kept");
    chmod(path.c_str(), 0444);
    EXPECT_NE(OptionsFile::write(path, "lost"), "");
    EXPECT_EQ(dir.read("options.ini"), "kept");
}

TEST(OptionsFileWrite, AFailedWriteLeavesTheOldFileWhole) {
    ScopedWorkDir dir;
    const std::string path = dir.path("options.ini");
    dir.write("options.ini", "the old options");
    // In a child whose file size limit makes the write fail part-way, as a full disk would.
    const ChildEnd end = runInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4, 4};
        setrlimit(RLIMIT_FSIZE, &limit);
        return OptionsFile::write(path, std::string(1000, 'n')).empty() ? 0 : 1;
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.code, 1) << "the failure is reported";
    EXPECT_EQ(dir.read("options.ini"), "the old options");
    EXPECT_EQ(QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files).size(), 1) << "no temporary left";
}

void age(const std::string& path, int seconds) {
    const timespec times[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

TEST(OptionsFileWrite, StaleTemporariesOfOursGoWithTheNextSave) {
    ScopedWorkDir dir;
    struct Row {
        const char* why;
        const char* name;
        int ageSeconds;
        bool removed;
    } rows[] = {
        {"ours, two minutes old", "options.ini.saving-Ab12Cd", 120, true},
        {"ours, an hour old", "options.ini.saving-zzzzzz", 3600, true},
        {"ours but ten seconds old: a save may be under way", "options.ini.saving-Xy34Zw", 10, false},
        {"not our pattern: seven letters", "options.ini.saving-Ab12Cd7", 120, false},
        {"not our pattern: a dash", "options.ini.saving-Ab-2Cd", 120, false},
        {"another file's temporary", "other.ini.saving-Ab12Cd", 120, false},
        {"the user's backup", "options.ini.backup", 120, false},
    };
    for (const auto& row : rows) {
        dir.write(row.name, "left over");
        age(dir.path(row.name), row.ageSeconds);
    }
    mkdir(dir.path("options.ini.saving-Dd11Dd").c_str(), 0700);
    age(dir.path("options.ini.saving-Dd11Dd"), 120);
    symlink("options.ini.backup", dir.path("options.ini.saving-Ll11Ll").c_str());
    age(dir.path("options.ini.saving-Ll11Ll"), 120);

    ASSERT_EQ(OptionsFile::write(dir.path("options.ini"), "new"), "");
    for (const auto& row : rows)
        EXPECT_EQ(!QFile::exists(QString::fromStdString(dir.path(row.name))), row.removed) << row.why;
    EXPECT_TRUE(QFileInfo(QString::fromStdString(dir.path("options.ini.saving-Dd11Dd"))).isDir())
        << "a folder is not ours";
    EXPECT_TRUE(QFileInfo(QString::fromStdString(dir.path("options.ini.saving-Ll11Ll"))).isSymLink())
        << "nor is a link";
    EXPECT_EQ(dir.read("options.ini"), "new");
}

TEST(OptionsFileWrite, AnotherUsersTemporaryIsLeftToThem) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to give a file to another user (chown)";
    ScopedWorkDir dir;
    dir.write("options.ini.saving-Ab12Cd", "theirs");
    chown(dir.path("options.ini.saving-Ab12Cd").c_str(), UserProcess::Nobody, UserProcess::Nobody);
    age(dir.path("options.ini.saving-Ab12Cd"), 120);
    ASSERT_EQ(OptionsFile::write(dir.path("options.ini"), "new"), "");
    EXPECT_EQ(dir.read("options.ini.saving-Ab12Cd"), "theirs");
}

TEST(OptionsFileWrite, ASymbolicLinkIsSavedThrough) {
    struct Row {
        const char* why;
        const char* link;   // what options.ini points to
        const char* target; // the file that gets the text, in the folder "conf"
    } rows[] = {
        {"a relative link", "conf/real.ini", "conf/real.ini"},
        {"a link to a link", "conf/second", "conf/real.ini"},
        {"a link to a file yet to be made", "conf/new.ini", "conf/new.ini"},
    };
    for (const auto& row : rows) {
        ScopedWorkDir dir;
        mkdir(dir.path("conf").c_str(), 0755);
        dir.write("conf/real.ini", "old");
        chmod(dir.path("conf/real.ini").c_str(), 0600);
        symlink("real.ini", dir.path("conf/second").c_str());
        symlink(row.link, dir.path("options.ini").c_str());

        ASSERT_EQ(OptionsFile::write(dir.path("options.ini"), "new"), "") << row.why;
        EXPECT_TRUE(QFileInfo(QString::fromStdString(dir.path("options.ini"))).isSymLink()) << row.why;
        EXPECT_EQ(dir.read(row.target), "new") << row.why;
        EXPECT_EQ(dir.read("options.ini"), "new") << row.why;
        EXPECT_EQ(QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files | QDir::System).size(), 1)
            << row.why << ": no temporary beside the link";
        if (std::string(row.target) == "conf/real.ini") {
            struct stat st {};
            stat(dir.path(row.target).c_str(), &st);
            EXPECT_EQ(st.st_mode & 0777, 0600u) << row.why << ": the target keeps its permissions";
        }
    }
}

TEST(OptionsFileWrite, LinksInALoopAreReportedAndNothingIsWritten) {
    ScopedWorkDir dir;
    symlink("loop", dir.path("options.ini").c_str());
    symlink("options.ini", dir.path("loop").c_str());
    EXPECT_NE(OptionsFile::write(dir.path("options.ini"), "x"), "");
    EXPECT_EQ(QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files).size(), 0);
}

TEST(OptionsFileWrite, AFolderThatCannotBeWrittenIsReported) {
    EXPECT_NE(OptionsFile::write("/proc/options.ini", "x"), "");
}

} // namespace

namespace {

// What an ordinary user's program makes of an options.ini that another user planted in a folder
// both may write (a sticky /tmp folder): it reads only a file of the user's own, and a save never
// writes through another user's link nor creates a file where one points.
TEST(SharedFolder, AnotherUsersOptionsFileOrLinkIsNeitherReadNorWrittenThrough) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to act as two users (chown, fork + setuid)";
    constexpr uid_t Victim = 54321, Attacker = UserProcess::Nobody;
    QTemporaryDir top;
    const std::string root = top.path().toStdString();
    const std::string shared = root + "/shared", home = root + "/home", options = shared + "/options.ini";
    const std::string precious = home + "/precious", theirs = shared + "/theirs", created = home + "/created";
    ASSERT_EQ(chmod(root.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(shared.c_str(), 0), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    ASSERT_EQ(chown(home.c_str(), Victim, Victim), 0);

    auto plant = [](const std::string& path, uid_t owner, const std::string& linkTo = {}) {
        if (linkTo.empty())
            std::ofstream(path) << "FN777 ; planted\r\n";
        else
            ASSERT_EQ(symlink(linkTo.c_str(), path.c_str()), 0);
        ASSERT_EQ(lchown(path.c_str(), owner, owner), 0);
    };
    const struct Row {
        const char* why;
        std::function<void()> setUp;
        const char* answer;        // what the victim read | what the save did
        const char* preciousAfter; // the victim's own file afterwards
        bool created;              // whether the save made a file where a dangling link pointed
    } rows[] = {
        {"another user's link to the victim's own file", [&] { plant(options, Attacker, precious); }, "nothing|refused",
         "precious", false},
        {"another user's dangling link", [&] { plant(options, Attacker, created); }, "nothing|refused", "precious",
         false},
        {"another user's plain file", [&] { plant(options, Attacker); }, "nothing|refused", "precious", false},
        {"the victim's own link to another user's file",
         [&] {
             plant(theirs, Attacker);
             plant(options, Victim, theirs);
         },
         "nothing|refused", "precious", false},
        {"the victim's own link to their own file", [&] { plant(options, Victim, precious); }, "precious|saved",
         "saved", false},
        {"the victim's own dangling link", [&] { plant(options, Victim, created); }, "nothing|saved", "precious", true},
    };
    for (const Row& row : rows) {
        for (const auto& path : {options, theirs, precious, created})
            unlink(path.c_str());
        std::ofstream(precious) << "precious";
        ASSERT_EQ(chown(precious.c_str(), Victim, Victim), 0);
        row.setUp();
        UserProcess victim(Victim, [&] {
            const auto text = OptionsFile::read(options);
            return (text ? *text : std::string("nothing")) + "|" +
                   (OptionsFile::write(options, "saved").empty() ? "saved" : "refused");
        });
        EXPECT_EQ(victim.answer(), row.answer) << row.why;
        std::ifstream preciousNow(precious);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(preciousNow), {}), row.preciousAfter) << row.why;
        EXPECT_EQ(access(created.c_str(), F_OK) == 0, row.created) << row.why;
    }
}

} // namespace
