#include "settings/WindowPlacement.h"

#include "base/CoreText.h"
#include "base/WindowSystem.h"
#include "settings/ConfigFolder.h"
#include "settings/ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <array>

namespace {

constexpr int FormVersion = 0;
constexpr int DefaultPixelsPerInch = 96;

// The show commands a stored "ShowCmd" may hold.
constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr int ShowMaximized = 3;
constexpr int Minimize = 6;
constexpr int ShowMinNoActive = 7;

// Positions are kept per desktop size and resolution, as the primary screen gives them.
struct Desktop {
    QSize size;
    int pixelsPerInch = DefaultPixelsPerInch;
};

Desktop primaryDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->geometry().size(), qRound(screen->logicalDotsPerInch())};
}

std::string sizedKey(const char* key, const Desktop& desktop) {
    return std::string(key) + "(" + std::to_string(desktop.size.width()) + "x" + std::to_string(desktop.size.height()) +
           ")";
}

int toInt(const std::string& text, int fallback) {
    bool ok = false;
    const int value = qtText(text).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

// The part of a window that must lie on a screen for the user to take hold of it and drag it.
constexpr qint64 GrabSize = 48;
// Coordinates this far out are off every screen; holding them there keeps the sums below in range.
constexpr qint64 FarOff = qint64{1} << 40;

// "a,b,c,d"; a missing or malformed number takes its fallback.
std::array<qint64, 4> fourNumbers(const std::string& text, const std::array<qint64, 4>& fallback) {
    const QStringList parts = qtText(text).split(QLatin1Char(','));
    std::array<qint64, 4> numbers = fallback;
    for (std::size_t i = 0; i < numbers.size() && i < static_cast<std::size_t>(parts.size()); ++i) {
        bool ok = false;
        const qint64 value = parts[static_cast<qsizetype>(i)].trimmed().toLongLong(&ok);
        if (ok) numbers[i] = std::clamp(value, -FarOff, FarOff);
    }
    return numbers;
}

// The value under the key for this desktop size, else the one saved for any size.
std::string readForDesktop(const ProfileFile& file, const std::string& section, const char* key,
                           const Desktop& desktop) {
    const std::string value = file.readString(section, sizedKey(key, desktop));
    return value.empty() ? file.readString(section, key) : value;
}

qint64 overlap(qint64 start, qint64 length, qint64 screenStart, qint64 screenLength) {
    return std::min(start + length, screenStart + screenLength) - std::max(start, screenStart);
}

// At least a grab-sized piece of the window (all of it, if it is smaller) is on one screen.
bool reachable(qint64 left, qint64 top, QSize size) {
    const qint64 wantedWidth = std::min<qint64>(GrabSize, size.width());
    const qint64 wantedHeight = std::min<qint64>(GrabSize, size.height());
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        const QRect area = screen->geometry();
        if (overlap(left, size.width(), area.x(), area.width()) >= wantedWidth &&
            overlap(top, size.height(), area.y(), area.height()) >= wantedHeight)
            return true;
    }
    return false;
}

// Neither a bad file nor a full disk may stop a window from showing, closing or going away.
template <typename Work> void guarded(Work work) noexcept {
    try {
        work();
    } catch (...) {
    }
}

} // namespace

QString defaultPlacementFile() {
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty()) name = QStringLiteral("lumevanta");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) name.truncate(dot);
    return qtText(ConfigFolder::path()) + QLatin1Char('/') + name + QStringLiteral(".INI");
}

TWindowStorage::TWindowStorage(QWidget& form, Options options, bool preventResize, QString filePath, QString section)
    : form_(&form), options_(options), preventResize_(preventResize),
      filePath_(filePath.isEmpty() ? defaultPlacementFile() : std::move(filePath)), section_(std::move(section)) {
    restTimer_.setSingleShot(true);
    restTimer_.setInterval(RestDelayMs);
    connect(&restTimer_, &QTimer::timeout, this, [this] { guarded([this] { cameToRest(); }); });
    form.installEventFilter(this);
}

TWindowStorage::~TWindowStorage() {
    if (form_) form_->removeEventFilter(this);
}

void TWindowStorage::formDestroying() {
    if (!saved_) guarded([this] { save(true); });
}

bool TWindowStorage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_) {
        // The stored placement is where a window first appears; shown again later (a restore from the
        // tray, a change of its flags), it stays where the user last put it.
        if (event->type() == QEvent::Show && !event->spontaneous())
            guarded([this] { restored_ ? void(saved_ = false) : restore(); });
        else if (event->type() == QEvent::Close)
            guarded([this] { save(false); });
        else if (event->type() == QEvent::Move)
            moved();
    }
    return false;
}

void TWindowStorage::moved() {
    if (restored_ && form_ && form_->pos() != storedPlace_) restTimer_.start();
}

// Not a save in the sense of the form's end: the end still writes "Visible" as it would have.
void TWindowStorage::cameToRest() {
    if (restored_ && form_ && form_->pos() != storedPlace_) writePlacement(false);
}

void TWindowStorage::restore() {
    saved_ = false;
    if (!form_) return;
    // The stored version is read for completeness; this is the first one, so every file is taken.
    (void)toInt(placementFile().readString(coreText(section_), "FormVersion"), FormVersion);
    if (preventResize_) form_->setFixedSize(form_->size());
    if (options_.testFlag(Position)) restorePosition();
    if (options_.testFlag(State)) restoreState();
    storedPlace_ = form_->pos();
    restored_ = true;
}

void TWindowStorage::restorePosition() {
    const ProfileFile file = placementFile();
    const std::string section = coreText(section_);
    const Desktop desktop = primaryDesktop();
    (void)file.readString(section, "Flags");
    // Where the window would go minimized or maximized: the desktop decides that, so it is not used.
    (void)readForDesktop(file, section, "MinMaxPos", desktop);

    const std::string normal = readForDesktop(file, section, "NormPos", desktop);
    if (normal.empty()) return;
    // Positions saved at another resolution would put the window somewhere else than the user left it.
    const int pixelsPerInch = toInt(file.readString(section, "PixelsPerInch"), desktop.pixelsPerInch);
    if (pixelsPerInch != desktop.pixelsPerInch) return;

    const QPoint pos = form_->pos();
    const QSize size = form_->size();
    const auto rect =
        fourNumbers(normal, {pos.x(), pos.y(), qint64{pos.x()} + size.width(), qint64{pos.y()} + size.height()});
    if (rect[0] >= rect[2]) return;
    // Only the corner is taken: the forms' sizes are theirs, whatever the file says. A monitor that
    // is gone, or an edited file, must not leave the window out of reach.
    if (!reachable(rect[0], rect[1], size)) return;
    form_->move(static_cast<int>(rect[0]), static_cast<int>(rect[1]));
}

void TWindowStorage::restoreState() {
    const int showCmd = toInt(placementFile().readString(coreText(section_), "ShowCmd"), 0);
    Qt::WindowStates state = form_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (showCmd) {
    case ShowMinimized:
    case Minimize:
    case ShowMinNoActive:
        state |= Qt::WindowMinimized;
        break;
    case ShowMaximized:
        if (!preventResize_) state |= Qt::WindowMaximized;
        break;
    default: // ShowNormal, "show" (5) and "restore" (9) are normal, and so is anything unknown
        break;
    }
    if (state != form_->windowState()) form_->setWindowState(state);
}

void TWindowStorage::save(bool visible) {
    if (!restored_ || !form_) return;
    writePlacement(visible);
    saved_ = true;
}

void TWindowStorage::writePlacement(bool visible) {
    restTimer_.stop();
    storedPlace_ = form_->pos();
    const Desktop desktop = primaryDesktop();
    const Qt::WindowStates state = form_->windowState();
    const int showCmd = state.testFlag(Qt::WindowMinimized)   ? ShowMinimized
                        : state.testFlag(Qt::WindowMaximized) ? ShowMaximized
                                                              : ShowNormal;
    // A maximized window's own geometry is the screen's; the one to come back to is the normal one.
    QRect normal(form_->pos(), form_->size());
    if ((state.testFlag(Qt::WindowMaximized) || state.testFlag(Qt::WindowFullScreen)) &&
        form_->normalGeometry().isValid())
        normal = form_->normalGeometry();

    const std::string minMax = "-1,-1,-1,-1";
    const std::string norm = std::to_string(normal.left()) + ',' + std::to_string(normal.top()) + ',' +
                             std::to_string(normal.left() + normal.width()) + ',' +
                             std::to_string(normal.top() + normal.height());
    ProfileFile::KeyValues values = {
        {"FormVersion", std::to_string(FormVersion)},
        {"Flags", "0"},
        {"ShowCmd", std::to_string(showCmd)},
        {"PixelsPerInch", std::to_string(desktop.pixelsPerInch)},
        {"Visible", visible ? "1" : "0"},
    };
    // A Wayland compositor never says where a window is: the positions an X11 run stored stay.
    if (!WindowSystem::isWaylandItself())
        values.insert(values.begin() + 4, {{sizedKey("MinMaxPos", desktop), minMax},
                                           {"MinMaxPos", minMax},
                                           {sizedKey("NormPos", desktop), norm},
                                           {"NormPos", norm}});
    // A failed write only loses this one placement; the window goes on as usual.
    (void)placementFile().writeSection(coreText(section_), values);
}

ProfileFile TWindowStorage::placementFile() const {
    return ProfileFile(coreText(filePath_));
}
