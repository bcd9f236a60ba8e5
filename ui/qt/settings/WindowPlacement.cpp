#include "settings/WindowPlacement.h"

#include "base/CoreText.h"
#include "base/WindowSystem.h"
#include "settings/ConfigFolder.h"
#include "settings/ProfileFile.h"
#include "settings/StoredPlacement.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace {

StoredPlacement::Desktop primaryDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->geometry().width(), screen->geometry().height(), qRound(screen->logicalDotsPerInch())};
}

StoredPlacement::Rect rectOf(const QRect& area) {
    return {area.x(), area.y(), qint64{area.x()} + area.width(), qint64{area.y()} + area.height()};
}

// Neither a bad file nor a full disk may stop a window from showing, closing or going away.
template <typename Work> void guarded(Work work) noexcept {
    try {
        work();
    } catch (...) {
    }
}

StoredPlacement::Lookup lookup(const ProfileFile& file, const QString& section) {
    return [file, section = coreText(section)](const std::string& key) { return file.readString(section, key); };
}

} // namespace

QString defaultPlacementFile() {
    const std::string name = StoredPlacement::fileName(coreText(QCoreApplication::applicationFilePath()));
    return qtText(ConfigFolder::path()) + QLatin1Char('/') + qtText(name);
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
    if (preventResize_) form_->setFixedSize(form_->size());
    if (options_.testFlag(Position)) restorePosition();
    if (options_.testFlag(State)) restoreState();
    storedPlace_ = form_->pos();
    restored_ = true;
}

void TWindowStorage::restorePosition() {
    std::vector<StoredPlacement::Rect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(rectOf(screen->geometry()));
    const auto corner = StoredPlacement::storedCorner(lookup(placementFile(), section_), primaryDesktop(),
                                                      rectOf(QRect(form_->pos(), form_->size())), screens);
    if (corner) form_->move(static_cast<int>(corner->x), static_cast<int>(corner->y));
}

void TWindowStorage::restoreState() {
    Qt::WindowStates state = form_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (StoredPlacement::storedState(lookup(placementFile(), section_), preventResize_)) {
    case StoredPlacement::ShowState::Minimized:
        state |= Qt::WindowMinimized;
        break;
    case StoredPlacement::ShowState::Maximized:
        state |= Qt::WindowMaximized;
        break;
    case StoredPlacement::ShowState::Normal:
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
    const Qt::WindowStates state = form_->windowState();
    StoredPlacement::Saved saved;
    saved.state = state.testFlag(Qt::WindowMinimized)   ? StoredPlacement::ShowState::Minimized
                  : state.testFlag(Qt::WindowMaximized) ? StoredPlacement::ShowState::Maximized
                                                        : StoredPlacement::ShowState::Normal;
    saved.visible = visible;
    // A Wayland compositor never says where a window is: the positions an X11 run stored stay.
    if (!WindowSystem::isWaylandItself()) {
        // A maximized window's own geometry is the screen's; the one to come back to is the normal one.
        QRect normal(form_->pos(), form_->size());
        if ((state.testFlag(Qt::WindowMaximized) || state.testFlag(Qt::WindowFullScreen)) &&
            form_->normalGeometry().isValid())
            normal = form_->normalGeometry();
        // Where the window would go minimized or maximized is the desktop's to say: none is kept.
        saved.minMax = {-1, -1, -1, -1};
        saved.normal = rectOf(normal);
    }
    // A failed write only loses this one placement; the window goes on as usual.
    (void)placementFile().writeSection(coreText(section_), StoredPlacement::savedValues(saved, primaryDesktop()));
}

ProfileFile TWindowStorage::placementFile() const {
    return ProfileFile(coreText(filePath_));
}
