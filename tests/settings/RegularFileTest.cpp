#include "settings/RegularFile.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/UserProcess.h"

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using RegularFile::Status;

constexpr std::size_t Limit = 1000;

TEST(RegularFileRead, OnlyARegularFileIsRead) {
    using Dir = const ScopedWorkDir&;
    struct Row {
        const char* why;
        std::function<void(Dir)> make; // puts something at "f"
        Status status;
        std::string text;
        bool whole;
        const char* read = "f";
    } rows[] = {
        {"a regular file", [](Dir d) { d.write("f", "two\nlines"); }, Status::Read, "two\nlines", true},
        {"an empty file", [](Dir d) { d.write("f", ""); }, Status::Read, "", true},
        {"exactly the limit", [](Dir d) { d.write("f", std::string(Limit, 'a')); }, Status::Read,
         std::string(Limit, 'a'), true},
        {"beyond the limit: the head", [](Dir d) { d.write("f", std::string(Limit + 1, 'b')); }, Status::Read,
         std::string(Limit, 'b'), false},
        {"a link to a regular file",
         [](Dir d) {
             d.write("target", "linked");
             symlink("target", d.path("f").c_str());
         },
         Status::Read, "linked", true},
        {"missing", [](Dir) {}, Status::Missing, "", false},
        {"a dangling link", [](Dir d) { symlink("nowhere", d.path("f").c_str()); }, Status::Missing, "", false},
        {"a FIFO, which would block an open for good", [](Dir d) { mkfifo(d.path("f").c_str(), 0600); },
         Status::Unusable, "", false},
        {"a folder", [](Dir d) { mkdir(d.path("f").c_str(), 0700); }, Status::Unusable, "", false},
        {"a device that never ends", [](Dir d) { symlink("/dev/zero", d.path("f").c_str()); }, Status::Unusable, "",
         false},
        {"an empty device", [](Dir d) { symlink("/dev/null", d.path("f").c_str()); }, Status::Unusable, "", false},
        {"links in a loop",
         [](Dir d) {
             symlink("g", d.path("f").c_str());
             symlink("f", d.path("g").c_str());
         },
         Status::Unusable, "", false},
        {"a path through a file", [](Dir d) { d.write("f", "x"); }, Status::Unusable, "", false, "f/inside"},
    };
    for (const auto& row : rows) {
        const ScopedWorkDir dir;
        row.make(dir);
        const auto contents = RegularFile::read(dir.path(row.read), Limit);
        EXPECT_EQ(contents.status, row.status) << row.why;
        EXPECT_EQ(contents.text, row.text) << row.why;
        EXPECT_EQ(contents.whole, row.whole) << row.why;
    }
}

TEST(RegularFileRead, AFileTheUserMayNotReadIsUnusable) {
    ScopedWorkDir dir;
    chmod(dir.path("").c_str(), 0755);
    dir.write("private", "secret");
    chmod(dir.path("private").c_str(), 0);
    auto readIt = [&] {
        return std::to_string(static_cast<int>(RegularFile::read(dir.path("private"), Limit).status));
    };
    // Root reads anything, so the try is made as another user where the test can switch.
    const std::string status =
        UserProcess::canSwitchUsers() ? UserProcess(UserProcess::Nobody, readIt).answer() : readIt();
    EXPECT_EQ(status, std::to_string(static_cast<int>(Status::Unusable)));
}

TEST(RegularFileLines, LineEndsAsTheReadersTakeThem) {
    using Lines = std::vector<std::string_view>;
    struct Row {
        const char* why;
        std::string_view text;
        Lines lines;
    } rows[] = {
        {"nothing", "", {}},
        {"CR LF and LF alone", "a\r\nb\nc", {"a", "b", "c"}},
        {"a last line break adds no line", "a\n", {"a"}},
        {"empty lines count", "\n\r\n\nx", {"", "", "", "x"}},
        {"a CR alone stays in its line", "a\rb\n", {"a\rb"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RegularFile::splitLines(row.text), row.lines) << row.why;
}

} // namespace
