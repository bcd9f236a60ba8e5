#include "settings/LanguagePack.h"
#include "settings/ProgramTexts.h"
#include "tests/support/ScopedWorkDir.h"

#include <gtest/gtest.h>

#include <QDir>

#include <iconv.h>

namespace {

TEST(LanguagePackText, DecodingRules) {
    struct Row {
        const char* why;
        std::string line;
        std::string text;
    } rows[] = {
        {"a comment is cut off", "Preferences;the dialog's caption", "Preferences"},
        {"# is a line break", "two#words", "two\r\nwords"},
        {"blanks are kept on both sides", "  word  ;x", "  word  "},
        {"a blank before the comment stays", "OK ;comment", "OK "},
        {"an empty line is empty", "", ""},
        {"a line that begins with a comment is empty", ";not used", ""},
        {"only the first ; counts", "a;b;c", "a"},
        {"Windows-1251 letters", "\xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe8", "Настройки"},
        {"Yo and its capital", "\xa8\xb8", "Ёё"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LanguagePack::DecodePackText(row.line), row.text) << row.why;
}

// The C library's converter is an independent witness for the whole code page.
std::string iconvWindows1251(unsigned char byte) {
    iconv_t converter = iconv_open("UTF-8", "CP1251");
    if (converter == reinterpret_cast<iconv_t>(-1)) return {};
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t done = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<std::size_t>(-1)) return "\uFFFD";
    return std::string(out, sizeof out - outLeft);
}

TEST(LanguagePackText, EveryByteDecodesToOneCharacterAsTheCodePageSays) {
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const std::string decoded = LanguagePack::decodeWindows1251(std::string_view(&c, 1));
        ASSERT_EQ(QString::fromStdString(decoded).size(), 1) << byte;
        if (byte == 0) continue;
        EXPECT_EQ(decoded, iconvWindows1251(static_cast<unsigned char>(byte))) << "byte " << byte;
    }
}

TEST(LanguagePackFile, ReadsAtMostTheLinesItUses) {
    ScopedWorkDir dir;
    std::string text;
    for (int n = 1; n <= LanguagePack::LastLine + 8; ++n)
        text += "line " + std::to_string(n) + (n % 2 ? "\r\n" : "\n");
    dir.write("pack.txt", text);
    const auto lines = LanguagePack::read(dir.path("pack.txt"));
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), std::size_t(LanguagePack::LastLine));
    EXPECT_EQ(lines->front(), "line 1");
    EXPECT_EQ((*lines)[1], "line 2") << "LF alone ends a line too";
    EXPECT_EQ(lines->back(), "line " + std::to_string(LanguagePack::LastLine));
    EXPECT_FALSE(LanguagePack::read(dir.path("missing.txt")));
}

TEST(LanguagePackFile, ALongLineIsReadWholeAndTheLinesAfterItToo) {
    ScopedWorkDir dir;
    const std::string longHint(100 * 1024, 'h');
    dir.write("pack.txt", "Preferences\r\n" + longHint + ";comment\r\nLanguage\r\n");
    const auto lines = LanguagePack::read(dir.path("pack.txt"));
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 3u);
    EXPECT_EQ((*lines)[1], longHint);
    EXPECT_EQ((*lines)[2], "Language");
}

TEST(LanguagePackFile, OnlyTwoLanguagesHavePacks) {
    EXPECT_EQ(LanguagePack::fileName(0), "langpack_rus.txt");
    EXPECT_EQ(LanguagePack::fileName(1), "langpack_eng.txt");
    EXPECT_FALSE(LanguagePack::fileName(2));
    EXPECT_FALSE(LanguagePack::fileName(255));
}

TEST(LanguagePackFile, TheShippedPacksAreComplete) {
    const int usedLines[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 18, 19, 20, 21, 22, 23, 24,
                             25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 50, 51, 52};
    for (const char* pack : {"langpack_rus.txt", "langpack_eng.txt"}) {
        const auto lines = LanguagePack::read(LanguagePack::ProgramFolder() + pack);
        ASSERT_TRUE(lines) << pack << " is installed beside the program";
        ASSERT_GE(lines->size(), std::size_t(ProgramTexts::lastPackLine())) << pack;
        for (int line : usedLines)
            EXPECT_FALSE(QString::fromStdString((*lines)[line - 1]).trimmed().isEmpty()) << pack << " line " << line;
        for (std::size_t id = 0; id < ProgramTexts::Count; ++id) {
            const int line = ProgramTexts::packLine(static_cast<TextId>(id));
            EXPECT_FALSE(QString::fromStdString((*lines)[line - 1]).trimmed().isEmpty()) << pack << " line " << line;
        }
    }
    const auto russian = LanguagePack::read(LanguagePack::ProgramFolder() + "langpack_rus.txt");
    EXPECT_EQ(russian->at(0), "Настройки");
    EXPECT_EQ(russian->at(8), "Введите десятичное\r\n\r\nзначение от 0 до 255");
    for (std::size_t id = 0; id < ProgramTexts::Count; ++id) {
        const auto text = static_cast<TextId>(id);
        EXPECT_EQ(russian->at(ProgramTexts::packLine(text) - 1), ProgramTexts::defaultText(text))
            << "the Russian pack says what the program says without a pack, line " << ProgramTexts::packLine(text);
    }
}

TEST(ProgramTexts, APackLineReplacesTheDefaultOnlyWhereItHasText) {
    ProgramTexts texts;
    EXPECT_EQ(texts.text(TextId::AlreadyRunning), "Программа уже запущена");

    std::vector<std::string> lines(std::size_t(ProgramTexts::packLine(TextId::AlreadyRunning)));
    lines.back() = "Already running";
    texts.applyPack(lines);
    EXPECT_EQ(texts.text(TextId::AlreadyRunning), "Already running");
    EXPECT_EQ(texts.text(TextId::WriteErrorCaption), "Ошибка") << "an empty line keeps the default";
    EXPECT_EQ(texts.text(TextId::RangeCheck), "Range check error") << "a line past the pack's end keeps the default";

    texts.applyPack({});
    EXPECT_EQ(texts.text(TextId::AlreadyRunning), "Программа уже запущена")
        << "a later pack without the line brings the default back";
}

TEST(LanguagePackFolder, BesideTheProgramElseTheInstalledShareFolder) {
    struct Row {
        const char* why;
        std::vector<std::string> packs; // paths under the prefix
        std::string expected;           // folder under the prefix
    } rows[] = {
        {"a portable folder or the build tree", {"bin/langpack_rus.txt", "bin/langpack_eng.txt"}, "bin/"},
        {"an installed prefix",
         {"share/lumevanta/langpack_rus.txt", "share/lumevanta/langpack_eng.txt"},
         "share/lumevanta/"},
        {"packs beside the program win", {"bin/langpack_eng.txt", "share/lumevanta/langpack_eng.txt"}, "bin/"},
        {"one installed pack is enough", {"share/lumevanta/langpack_eng.txt"}, "share/lumevanta/"},
        {"nowhere: beside the program, as before", {}, "bin/"},
    };
    for (const auto& row : rows) {
        const ScopedWorkDir prefix;
        QDir().mkpath(QString::fromStdString(prefix.path("bin")));
        QDir().mkpath(QString::fromStdString(prefix.path("share/lumevanta")));
        for (const std::string& pack : row.packs)
            prefix.write(pack, "text\r\n");
        EXPECT_EQ(LanguagePack::packFolder(prefix.path("bin/")), prefix.path(row.expected)) << row.why;
    }
}

} // namespace
