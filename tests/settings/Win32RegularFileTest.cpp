#include "settings/RegularFile.h"
#include "win32/UniqueHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

// Reading and saving files as the Win32 build does, under wine: the same statuses as on POSIX for
// what both systems have, and Windows' own hazards (device names in every folder, files another
// program holds shut).
namespace {

namespace fs = std::filesystem;
using RegularFile::Status;

constexpr std::size_t Limit = 1000;

fs::path fromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A folder of the test's own in the temporary folder, gone at the end.
class TestFolder {
public:
    TestFolder() : root_(fs::temp_directory_path() / ("lumevanta-" + std::to_string(std::random_device()()))) {
        fs::create_directories(root_);
    }
    ~TestFolder() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string path(const std::string& name) const { return utf8Of(root_ / fromUtf8(name)); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(root_ / fromUtf8(name), std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ostringstream text;
        text << std::ifstream(root_ / fromUtf8(name), std::ios::binary).rdbuf();
        return text.str();
    }
    // A failed ReplaceFileW of wine's leaves a temporary of its own (rf*.tmp); only ours count.
    std::size_t entries() const {
        return static_cast<std::size_t>(std::count_if(fs::directory_iterator(root_), {}, [](const fs::path& p) {
            return p.extension() != ".tmp" || !p.filename().string().starts_with("rf");
        }));
    }
    // Another program's handle that lets nobody else in, for as long as it lives.
    UniqueHandle holdShut(const std::string& name) const {
        return UniqueHandle(CreateFileW((root_ / fromUtf8(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    }

private:
    fs::path root_;
};

using Make = std::function<UniqueHandle(const TestFolder&)>;
const Make nothing = [](const TestFolder&) { return UniqueHandle(); };
Make file(std::string name, std::string text) {
    return [=](const TestFolder& d) {
        d.write(name, text);
        return UniqueHandle();
    };
}

TEST(Win32RegularFileRead, OnlyARegularFileIsRead) {
    const Make folder = [](const TestFolder& d) {
        fs::create_directory(d.path("f"));
        return UniqueHandle();
    };
    const Make heldShut = [](const TestFolder& d) {
        d.write("f", "theirs");
        return d.holdShut("f");
    };
    struct Row {
        const char* why;
        Make make;
        std::string read; // a name in the folder, or a whole path where it begins with a backslash
        Status status;
        std::string text;
        bool whole;
    } rows[] = {
        {"a regular file", file("f", "two\r\nlines"), "f", Status::Read, "two\r\nlines", true},
        {"an empty file", file("f", ""), "f", Status::Read, "", true},
        {"exactly the limit", file("f", std::string(Limit, 'a')), "f", Status::Read, std::string(Limit, 'a'), true},
        {"beyond the limit: the head", file("f", std::string(Limit + 1, 'b')), "f", Status::Read,
         std::string(Limit, 'b'), false},
        {"a name in Cyrillic, given as UTF-8", file("настройки.ini", "да"), "настройки.ini", Status::Read, "да", true},
        {"missing", nothing, "f", Status::Missing, "", false},
        {"in a folder that is missing", nothing, "none\\f", Status::Missing, "", false},
        {"a folder", folder, "f", Status::Unusable, "", false},
        {"held shut by another program", heldShut, "f", Status::Unusable, "", false},
        {"a device's name, which every folder has: never opened", nothing, "NUL", Status::Unusable, "", false},
        {"a device by its own path", nothing, "\\\\.\\NUL", Status::Unusable, "", false},
        {"bytes that are no UTF-8", file("f", "x"), "f\xff", Status::Unusable, "", false},
        {"a NUL inside, which would cut the name short", file("f", "x"), std::string("f\0g", 3), Status::Unusable, "",
         false},
    };
    for (const auto& row : rows) {
        for (const auto& [how, readIt] : {std::pair{"read", &RegularFile::read}, {"readOwn", &RegularFile::readOwn}}) {
            const TestFolder dir;
            const UniqueHandle held = row.make(dir);
            // Put together as bytes, since the folder's path type takes UTF-8 only.
            const auto contents = readIt(row.read.starts_with('\\') ? row.read : dir.path("") + row.read, Limit);
            EXPECT_EQ(contents.status, row.status) << how << ": " << row.why;
            EXPECT_EQ(contents.text, row.text) << how << ": " << row.why;
            EXPECT_EQ(contents.whole, row.whole) << how << ": " << row.why;
        }
    }
}

TEST(Win32RegularFileReplace, TheFileIsReplacedWholeOrNotAtAll) {
    const Make readOnly = [](const TestFolder& d) {
        d.write("options.ini", "kept");
        SetFileAttributesW(fromUtf8(d.path("options.ini")).c_str(), FILE_ATTRIBUTE_READONLY);
        return UniqueHandle();
    };
    const Make heldShut = [](const TestFolder& d) {
        d.write("options.ini", "kept");
        return d.holdShut("options.ini");
    };
    const Make folder = [](const TestFolder& d) {
        fs::create_directory(d.path("options.ini"));
        return UniqueHandle();
    };
    struct Row {
        const char* why;
        Make make;
        std::string name;
        bool saved;
        std::string after; // the file's text afterwards
    } rows[] = {
        {"a new file", nothing, "options.ini", true, "new"},
        {"an old file", file("options.ini", "old"), "options.ini", true, "new"},
        {"a name in Cyrillic", file("настройки.ini", "old"), "настройки.ini", true, "new"},
        {"a read-only file is never replaced", readOnly, "options.ini", false, "kept"},
        {"held shut by another program: the failure is said", heldShut, "options.ini", false, "kept"},
        {"a folder in its place", folder, "options.ini", false, ""},
        {"a device's name", nothing, "NUL", false, ""},
    };
    for (const auto& row : rows) {
        const TestFolder dir;
        UniqueHandle held = row.make(dir);
        const std::size_t before = dir.entries();
        const std::string failure = RegularFile::replace(dir.path(row.name), "new");
        held.reset();
        EXPECT_EQ(failure.empty(), row.saved) << row.why << ": " << failure;
        EXPECT_EQ(dir.read(row.name), row.after) << row.why;
        EXPECT_EQ(dir.entries(), row.saved && before == 0 ? 1u : before) << row.why << ": no temporary left";
    }
}

void age(const std::string& path, int seconds) {
    const UniqueHandle file(CreateFileW(fromUtf8(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER then{{now.dwLowDateTime, now.dwHighDateTime}};
    then.QuadPart -= static_cast<ULONGLONG>(seconds) * 10'000'000;
    const FILETIME written{then.LowPart, then.HighPart};
    SetFileTime(file.get(), nullptr, nullptr, &written);
}

TEST(Win32RegularFileReplace, StaleTemporariesOfOursGoWithTheNextSave) {
    const TestFolder dir;
    struct Row {
        const char* why;
        const char* name;
        int ageSeconds;
        bool removed;
    } rows[] = {
        {"ours, two minutes old", "options.ini.saving-Ab12Cd", 120, true},
        {"ours but ten seconds old: a save may be under way", "options.ini.saving-Xy34Zw", 10, false},
        {"not our pattern: seven letters", "options.ini.saving-Ab12Cd7", 120, false},
        {"another file's temporary", "other.ini.saving-Ab12Cd", 120, false},
    };
    for (const auto& row : rows) {
        dir.write(row.name, "left over");
        age(dir.path(row.name), row.ageSeconds);
    }
    fs::create_directory(dir.path("options.ini.saving-Dd11Dd"));
    age(dir.path("options.ini.saving-Dd11Dd"), 120);

    ASSERT_EQ(RegularFile::replace(dir.path("options.ini"), "new"), "");
    for (const auto& row : rows)
        EXPECT_EQ(!fs::exists(dir.path(row.name)), row.removed) << row.why;
    EXPECT_TRUE(fs::is_directory(dir.path("options.ini.saving-Dd11Dd"))) << "a folder is not ours";
    EXPECT_EQ(dir.read("options.ini"), "new");
}

// win32-regular-file-test.sh gives a file of another user's where it can (as root, by chown).
TEST(Win32RegularFileOwner, AnotherUsersFileIsNeitherReadAsOursNorReplaced) {
    const char* foreign = std::getenv("LUMEVANTA_FOREIGN_FILE");
    if (!foreign) GTEST_SKIP() << "no file of another user's was made for the test";
    EXPECT_EQ(RegularFile::read(foreign, Limit).status, Status::Read);
    EXPECT_EQ(RegularFile::readOwn(foreign, Limit).status, Status::Foreign);
    const std::string failure = RegularFile::replace(foreign, "ours");
    EXPECT_NE(failure.find("belongs to the user"), std::string::npos) << failure;
    EXPECT_EQ(RegularFile::read(foreign, Limit).text, "theirs");
}

} // namespace
