#include "PanelArtwork.h"
#include "cli/ArgumentTrail.h"
#include "panels/ImageCodecs.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Paints the artwork of every panel layout and writes it with the resource file that builds it in:
//   panel-artwork --font FONT.ttf [--preview DIR] OUTDIR
// --preview also writes PNGs of each skin at rest and with every key pressed and every lamp lit.
// Every picture is also painted at twice the size for screens that scale by more than 1: the skin
// as skin_NAME@2x.jpg, the others as bmp/ID@2x.png. Each skin is also written decoded, as
// skin_NAME.bmp, which only the Windows build takes.

namespace {

struct Arguments {
    QString fontFile;
    QString previewDir;
    QString outputDir;
};

// Each option as it comes; only "--font FONT" and "--preview DIR", never with "=".
void declareOptions(CLI::App& app, ArgumentTrail& trail, Arguments& parsed) {
    app.set_help_flag();
    app.allow_extras();
    for (auto [name, field] : {std::pair{"--font", &Arguments::fontFile}, {"--preview", &Arguments::previewDir}}) {
        app.add_option(name,
                       [&trail, &parsed, name, field](const CLI::results_t& read) {
                           const ArgumentTrail::Value value = trail.value(name, read.front());
                           if (value.joined) throw ArgumentRefused(name);
                           parsed.*field = QString::fromStdString(value.text);
                           return true;
                       })
            ->trigger_on_parse();
    }
}

std::optional<Arguments> parseArguments(const QStringList& args) {
    std::vector<std::string> words;
    for (qsizetype i = 1; i < args.size(); ++i)
        words.push_back(args[i].toStdString());
    Arguments parsed;
    ArgumentTrail trail(words);
    CLI::App app;
    declareOptions(app, trail, parsed);
    try {
        trail.parse(app);
    } catch (const ArgumentRefused&) {
        return std::nullopt;
    } catch (const CLI::ParseError&) {
        return std::nullopt;
    }
    // What CLI11 left behind: the one output folder.
    for (const std::string& word : app.remaining()) {
        if (!parsed.outputDir.isEmpty() || word.starts_with("--")) return std::nullopt;
        parsed.outputDir = QString::fromStdString(word);
    }
    if (parsed.fontFile.isEmpty() || parsed.outputDir.isEmpty()) return std::nullopt;
    return parsed;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) return true;
    std::fprintf(stderr, "panel-artwork: cannot write %s\n", qPrintable(path));
    return false;
}

QString skinName(const PanelLayoutTable& table, int scale) {
    if (scale == 1) return QStringLiteral("skin_%1.jpg").arg(table.caption);
    return QStringLiteral("skin_%1@%2x.jpg").arg(table.caption).arg(scale);
}

QString bitmapName(int id, int scale) {
    if (scale == 1) return QStringLiteral("bmp/%1.bmp").arg(id);
    return QStringLiteral("bmp/%1@%2x.png").arg(id).arg(scale);
}

bool writePanel(const QDir& out, const PanelLayoutTable& table, const PanelArtwork& art, int scale,
                QStringList& files) {
    files << skinName(table, scale);
    if (!writeFile(out.filePath(skinName(table, scale)), art.skinJpeg)) return false;
    // The same skin as libjpeg decodes it, for the Windows program: built in uncompressed, it costs
    // that program no decoder at start and shows the very pixels the Linux one shows.
    if (scale == 1 &&
        !writeFile(out.filePath(QStringLiteral("skin_%1.bmp").arg(table.caption)), ImageCodecs::encodeBmp24(art.skin)))
        return false;
    for (int id : bitmapIds(table)) {
        const auto found = art.bitmaps.find(id);
        if (found == art.bitmaps.end()) {
            std::fprintf(stderr, "panel-artwork: %s has no picture %d\n", table.caption, id);
            return false;
        }
        const QString name = bitmapName(id, scale);
        files << name;
        const QByteArray bytes =
            scale == 1 ? ImageCodecs::encodeBmp24(found->second) : ImageCodecs::encodePng(found->second);
        if (!writeFile(out.filePath(name), bytes)) return false;
    }
    return true;
}

QByteArray resourceFile(const QStringList& files) {
    QByteArray qrc = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/panels\">\n";
    for (const QString& file : files)
        qrc += "  <file>" + file.toUtf8() + "</file>\n";
    return qrc + "</qresource>\n</RCC>\n";
}

// The skin with every key pushed in and every lamp lit, each picture where the program shows it.
QImage activePreview(const PanelLayoutTable& table, const PanelArtwork& art, int scale) {
    QImage image = art.skin;
    QPainter painter(&image);
    for (const PanelPart& part : table.parts) {
        const int id = part.kind == PartKind::LampStrip ? lampStripPicture(LampDisplay::ShowSending) : part.pressedId();
        painter.drawImage(part.left * scale, part.top * scale, art.bitmaps.at(id));
    }
    return image;
}

// A lamp strip's five pictures side by side: dark, then busy, work, ok and no line lit.
QImage stripPreview(const PanelPart& strip, const PanelArtwork& art, int scale) {
    QImage image(strip.width * scale * 5, strip.height * scale, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < 5; ++i)
        painter.drawImage(strip.width * scale * i, 0, art.bitmaps.at(i == 0 ? 14 : 9 + i));
    return image;
}

void writePreview(const QDir& dir, const PanelLayoutTable& table, const PanelArtwork& art, int scale) {
    const QString caption = QString::fromLatin1(table.caption) + (scale == 1 ? QString() : QStringLiteral("@2x"));
    art.skin.save(dir.filePath("skin_" + caption + ".png"));
    activePreview(table, art, scale).save(dir.filePath("active_" + caption + ".png"));
    for (const PanelPart& part : table.parts)
        if (part.kind == PartKind::LampStrip)
            stripPreview(part, art, scale).save(dir.filePath("strip_" + caption + ".png"));
}

int run(const Arguments& args) {
    const PrintFont font(args.fontFile);
    if (!font.isValid()) {
        std::fprintf(stderr, "panel-artwork: cannot load font %s\n", qPrintable(args.fontFile));
        return 1;
    }
    QDir out(args.outputDir);
    if (!out.mkpath("bmp") || (!args.previewDir.isEmpty() && !QDir().mkpath(args.previewDir))) {
        std::fprintf(stderr, "panel-artwork: cannot make the output folders\n");
        return 1;
    }
    // One resource per scale: rcc mixes the files of one resource in its data, and the program would
    // otherwise have the 2x pictures paged in beside the 1x ones it reads.
    QStringList files[2];
    for (PanelLayout layout : creationOrder) {
        const PanelLayoutTable& table = panelLayout(layout);
        for (int scale : {1, 2}) {
            const PanelArtwork art = paintPanelArtwork(table, font, scale);
            if (!writePanel(out, table, art, scale, files[scale - 1])) return 1;
            if (!args.previewDir.isEmpty()) writePreview(QDir(args.previewDir), table, art, scale);
        }
    }
    return writeFile(out.filePath("panel_assets.qrc"), resourceFile(files[0])) &&
                   writeFile(out.filePath("panel_assets_2x.qrc"), resourceFile(files[1]))
               ? 0
               : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const auto args = parseArguments(app.arguments());
    if (!args) {
        std::fprintf(stderr, "usage: panel-artwork --font FONT.ttf [--preview DIR] OUTDIR\n");
        return 2;
    }
    return run(*args);
}
