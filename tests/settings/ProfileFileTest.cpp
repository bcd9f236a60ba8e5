#include "settings/ProfileFile.h"
#include "tests/support/ChildRun.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

int filesIn(const ScopedWorkDir& dir) {
    return static_cast<int>(QDir(qs(dir.path(""))).entryList(QDir::Files | QDir::Hidden).size());
}

TEST(ProfileFileRead, FindsValuesAsTheFileHoldsThem) {
    struct Row {
        const char* why;
        std::string text;
        const char* section;
        const char* key;
        std::string expected;
    } rows[] = {
        {"plain", "[Form]\nLeft=10\n", "Form", "Left", "10"},
        {"section and key match in any case", "[tBRW721_Frm]\r\nnormPOS=1,2,3,4\r\n", "Tbrw721_frm", "NormPos",
         "1,2,3,4"},
        {"blanks around names and value", "  [ Form ]  \n  Left  =  10  \n", "Form", "Left", "10"},
        {"CR LF lines", "[A]\r\nx=1\r\n[B]\r\nx=2\r\n", "B", "x", "2"},
        {"the last line needs no line break", "[A]\nx=last", "A", "x", "last"},
        {"enclosing quotes are taken off", "[A]\nx=\" spaced \"\n", "A", "x", " spaced "},
        {"an empty value is empty, not the default", "[A]\nx=\n", "A", "x", ""},
        {"'=' inside the value stays", "[A]\nx=a=b\n", "A", "x", "a=b"},
        {"the first of two keys wins", "[A]\nx=1\nx=2\n", "A", "x", "1"},
        {"a repeated section is searched too", "[A]\ny=0\n[B]\n[a]\nx=3\n", "A", "x", "3"},
        {"a key of another section is not this one's", "[A]\nx=1\n[B]\n", "B", "x", "default"},
        {"keys before the first section belong to none", "x=1\n[A]\n", "A", "x", "default"},
        {"a commented-out key is not a key", "[A]\n;x=1\n#x=2\n", "A", "x", "default"},
        {"a line without '=' is skipped", "[A]\nx\nx=5\n", "A", "x", "5"},
        {"a header without ']' is no header", "[A]\n[B\nx=6\n", "A", "x", "6"},
        {"UTF-8 value", "[A]\nx=\xd0\x9e\xd0\x9a\n", "A", "x", "ОК"},
        {"a missing section", "[A]\nx=1\n", "Z", "x", "default"},
        {"an empty file", "", "A", "x", "default"},
    };
    for (const auto& row : rows) {
        ScopedWorkDir dir;
        dir.write("p.ini", row.text);
        const ProfileFile file(dir.path("p.ini"));
        EXPECT_EQ(file.readString(row.section, row.key, "default"), row.expected) << row.why;
    }
}

TEST(ProfileFileRead, AMissingFileGivesTheDefault) {
    ScopedWorkDir dir;
    EXPECT_EQ(ProfileFile(dir.path("none.ini")).readString("A", "x", "d"), "d");
}

TEST(ProfileFileRead, JunkIsReadForWhatItHolds) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131 + 7) % 256);
    struct Row {
        const char* why;
        std::string text;
        std::string expected;
    } rows[] = {
        {"binary bytes around a good section", binary + "\n[A]\nx=1\n" + binary, "1"},
        {"NUL bytes in lines", std::string("[A]\n\0\0\0\nx=2\n\0", 13), "2"},
        {"a very long line before the key", "[A]\n" + std::string(2'000'000, 'q') + "\nx=3\n", "3"},
        {"a very long value", "[A]\nx=" + std::string(100'000, 'v') + "\n", std::string(100'000, 'v')},
        {"only junk", binary, "default"},
        {"lone CRs", "[A]\rx=4\r", "default"},
    };
    for (const auto& row : rows) {
        ScopedWorkDir dir;
        dir.write("p.ini", row.text);
        EXPECT_EQ(ProfileFile(dir.path("p.ini")).readString("A", "x", "default"), row.expected) << row.why;
    }
}

TEST(ProfileFileWrite, ChangesOnlyWhatItMust) {
    struct Row {
        const char* why;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } rows[] = {
        {"a value is replaced in place", "; top\n[A]\nx=1\ny=2\n\n[B]\nx=9\n", "A", "x", "7",
         "; top\n[A]\nx=7\ny=2\n\n[B]\nx=9\n"},
        {"the key keeps its spelling and blanks", "[a]\r\n  X = 1  \r\n", "A", "x", "2", "[a]\r\n  X =2\r\n"},
        {"a new key goes after the section's last key", "[A]\nx=1\n; about B\n[B]\ny=2\n", "A", "z", "3",
         "[A]\nx=1\nz=3\n; about B\n[B]\ny=2\n"},
        {"a new key in an empty section goes under its header", "[A]\n\n[B]\n", "A", "z", "3", "[A]\nz=3\n\n[B]\n"},
        {"a new key keeps CR LF lines", "[A]\r\nx=1\r\n", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
        {"a new key after a last line without a break", "[A]\nx=1", "A", "y", "2", "[A]\nx=1\ny=2\n"},
        {"a new section goes at the end", "[A]\nx=1\n", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
        {"a new section after a blank last line", "[A]\r\nx=1\r\n\r\n", "B", "y", "2",
         "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
        {"a new section in an empty file", "", "B", "y", "2", "[B]\r\ny=2\r\n"},
        {"the first of repeated sections takes the key", "[A]\nx=1\n[B]\n[A]\n", "A", "y", "2",
         "[A]\nx=1\ny=2\n[B]\n[A]\n"},
        {"a key of a repeated section is replaced there", "[A]\n[B]\n[A]\nx=1\n", "A", "x", "2",
         "[A]\n[B]\n[A]\nx=2\n"},
        {"junk lines and comments stay", "junk\n[A]\n# note\nnot a key\nx=1\n\x01\xff\n", "A", "x", "5",
         "junk\n[A]\n# note\nnot a key\nx=5\n\x01\xff\n"},
        {"a commented key is not replaced", "[A]\n;x=1\n", "A", "x", "2", "[A]\nx=2\n;x=1\n"},
    };
    for (const auto& row : rows) {
        ScopedWorkDir dir;
        if (!row.before.empty()) dir.write("p.ini", row.before);
        const ProfileFile file(dir.path("p.ini"));
        EXPECT_TRUE(file.writeString(row.section, row.key, row.value)) << row.why;
        EXPECT_EQ(dir.read("p.ini"), row.after) << row.why;
        EXPECT_EQ(file.readString(row.section, row.key), row.value) << row.why;
        EXPECT_EQ(filesIn(dir), 1) << row.why << ": no temporary left";
    }
}

TEST(ProfileFileWrite, ASectionIsWrittenInOrderAndOnlyItsKeysChange) {
    ScopedWorkDir dir;
    dir.write("p.ini", "[Keep]\nb=1\n[S]\nb=old\nother=x\n");
    const ProfileFile file(dir.path("p.ini"));
    ASSERT_TRUE(file.writeSection("S", {{"a", "1"}, {"B", "2"}, {"c", "3"}}));
    EXPECT_EQ(dir.read("p.ini"), "[Keep]\nb=1\n[S]\nb=2\nother=x\na=1\nc=3\n");
}

TEST(ProfileFileWrite, JunkInTheFileSurvivesAWrite) {
    std::string junk("\0\xfe\n\r\r\n[\n=\n", 10);
    junk.append(70'000, 'z');
    ScopedWorkDir dir;
    dir.write("p.ini", junk);
    const ProfileFile file(dir.path("p.ini"));
    ASSERT_TRUE(file.writeString("A", "x", "1"));
    EXPECT_EQ(dir.read("p.ini"), junk + "\n\n[A]\nx=1\n");
    EXPECT_EQ(file.readString("A", "x"), "1");
}

TEST(ProfileFileWrite, CreatesTheFolderForTheUserAlone) {
    ScopedWorkDir dir;
    const ProfileFile file(dir.path("a/b/p.ini"));
    ASSERT_TRUE(file.writeString("A", "x", "1"));
    EXPECT_EQ(dir.read("a/b/p.ini"), "[A]\r\nx=1\r\n");
    struct stat folder {};
    ASSERT_EQ(stat(dir.path("a/b").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

TEST(ProfileFileWrite, WhatCannotBeStoredIsRefused) {
    struct Row {
        const char* why;
        std::string section;
        std::string key;
        std::string value;
    } rows[] = {
        {"a line break in the value", "A", "x", "1\n[B]"},
        {"a CR in the value", "A", "x", "1\r"},
        {"'=' in the key", "A", "x=y", "1"},
        {"a key that would read as a comment", "A", ";x", "1"},
        {"a key that would read as a section", "A", "[x]", "1"},
        {"an empty key", "A", "  ", "1"},
        {"']' in the section", "A]", "x", "1"},
        {"an empty section", "", "x", "1"},
        {"a line break in the section", "A\nB", "x", "1"},
    };
    for (const auto& row : rows) {
        ScopedWorkDir dir;
        dir.write("p.ini", "[A]\nx=0\n");
        EXPECT_FALSE(ProfileFile(dir.path("p.ini")).writeString(row.section, row.key, row.value)) << row.why;
        EXPECT_EQ(dir.read("p.ini"), "[A]\nx=0\n") << row.why;
    }
}

TEST(ProfileFileWrite, AFailedWriteLeavesTheOldFileWhole) {
    ScopedWorkDir dir;
    const std::string old = "[A]\nx=the old value\n";
    dir.write("p.ini", old);
    const std::string path = dir.path("p.ini");
    // In a child whose file size limit makes the write fail part-way, as a full disk would.
    const ChildEnd end = runInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{8, 8};
        setrlimit(RLIMIT_FSIZE, &limit);
        return ProfileFile(path).writeString("A", "x", std::string(1000, 'n')) ? 0 : 1;
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.code, 1) << "the failure is reported";
    EXPECT_EQ(dir.read("p.ini"), old);
    EXPECT_EQ(filesIn(dir), 1) << "no temporary left";
}

TEST(ProfileFileWrite, ASaveKilledPartWayIsTidiedUpByALaterOne) {
    ScopedWorkDir dir;
    dir.write("p.ini", "[A]\nx=0\n");
    const std::string path = dir.path("p.ini");
    // Killed by the file size limit in the middle of writing, as kill -9 would end it.
    const ChildEnd end = runInChild([&] {
        rlimit limit{8, 8};
        setrlimit(RLIMIT_FSIZE, &limit);
        return ProfileFile(path).writeString("A", "x", std::string(1000, 'n')) ? 0 : 1;
    });
    ASSERT_FALSE(end.exited);
    const QStringList left = QDir(qs(dir.path(""))).entryList({"p.ini?*"}, QDir::Files);
    ASSERT_EQ(left.size(), 1) << "the killed save left its temporary";
    const std::string temporary = dir.path(left[0].toStdString());

    ASSERT_TRUE(ProfileFile(path).writeString("A", "x", "1"));
    EXPECT_TRUE(QFile::exists(qs(temporary))) << "young: it might be another copy's save under way";
    const timespec minutesAgo[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
    utimensat(AT_FDCWD, temporary.c_str(), minutesAgo, 0);
    ASSERT_TRUE(ProfileFile(path).writeString("A", "x", "2"));
    EXPECT_FALSE(QFile::exists(qs(temporary)));
    EXPECT_EQ(dir.read("p.ini"), "[A]\nx=2\n");
}

TEST(ProfileFileWrite, AFolderThatCannotBeMadeIsReported) {
    EXPECT_FALSE(ProfileFile("/proc/no/such/p.ini").writeString("A", "x", "1"));
}

} // namespace
