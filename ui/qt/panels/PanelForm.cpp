#include "panels/PanelForm.h"

#include "base/Messages.h"
#include "panels/PanelParts.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QStringList>
#include <QWindow>

#include <utility>

namespace {

// Pictures with twice the pixels where any screen scales by more than 1: drawn at their logical size,
// they stay sharp at 2x and are scaled down smoothly at 1.5x.
int pictureScale() {
    return qGuiApp && qGuiApp->devicePixelRatio() > 1 ? 2 : 1;
}

// The decoded image is in the pixmap's own format: it becomes the pixmap, with no copy kept beside it.
QPixmap pixmapOf(QImage& image, int scale) {
    QPixmap picture = QPixmap::fromImage(std::move(image));
    picture.setDevicePixelRatio(scale);
    return picture;
}

// Shift is left out: '+' needs it on most keyboards, and the keypad's own keys count as the others.
constexpr Qt::KeyboardModifiers boundModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// The main Enter key and the keypad's are one key to the panel.
int sameKey(int key) {
    return key == Qt::Key_Return ? Qt::Key_Enter : key;
}

} // namespace

PanelForm::PanelForm(const PanelLayoutTable& layout, PanelHost& host)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), layout_(layout), host_(host),
      pictureScale_(pictureScale()), heldKeys_([this](std::size_t part) { pressButton(*parts_[part]); },
                                               [this](std::size_t part) { buttonReleased(*parts_[part]); }),
      WindowStorage1(*this,
                     layout.keepsWindowState ? TWindowStorage::Options(TWindowStorage::State | TWindowStorage::Position)
                                             : TWindowStorage::Options(TWindowStorage::Position),
                     layout.preventsResize, QString(), QString::fromLatin1(layout.className)) {
    setObjectName(layout.className);
    setWindowTitle(layout.caption);
    createComponents();
    createKeyMap();
    releaseWait_.setSingleShot(true);
    releaseWait_.setInterval(HeldKeys::ReleaseWaitMs);
    connect(&releaseWait_, &QTimer::timeout, this, [this] { heldKeys_.completeReleases(); });
    if (!layout.windowSystemPlacesIt) move(layout.designedLeft, layout.designedTop);
    FormCreate();
}

PanelForm::~PanelForm() {
    WindowStorage1.formDestroying();
}

void PanelForm::createComponents() {
    img_ = new PanelImage(nullptr, this);
    img_->setObjectName("img");
    // The skin's size, until the skin itself is read.
    img_->setGeometry(0, 0, layout_.width, layout_.height);
    img_->onPaint = [this] {
        if (firstDrawn_ && loaded_) std::exchange(firstDrawn_, {})();
    };
    img_->onPress = [this](PanelImage&, QMouseEvent& e) { imgMouseDown(e); };
    img_->onMove = [this](PanelImage&, QMouseEvent& e) { imgMouseMove(e); };
    img_->onRelease = [this](PanelImage&, QMouseEvent&) { dragOffset_.reset(); };

    // Created in stacking order, so later components lie on top where they overlap.
    for (const PanelPart& part : layout_.parts) {
        auto* image = new PanelImage(&part, this);
        if (part.isButton()) {
            image->onPress = [this](PanelImage& b, QMouseEvent& e) { buttonPressed(b, e); };
            image->onRelease = [this](PanelImage& b, QMouseEvent&) { buttonReleased(b); };
        }
        if (part.hint) hints_[part.name] = QString::fromUtf8(part.hint);
        parts_.push_back(image);
    }
}

void PanelForm::createKeyMap() {
    for (std::size_t i = 0; i < layout_.parts.size(); ++i) {
        for (const char* text : layout_.parts[i].pcKeys) {
            if (!text) continue;
            const QKeyCombination key = QKeySequence(QString::fromLatin1(text), QKeySequence::PortableText)[0];
            keyMap_.push_back({sameKey(key.key()), key.keyboardModifiers() & boundModifiers, i});
        }
    }
}

void PanelForm::FormCreate() {
    setFixedSize(img_->size());
    // The skin covers the whole window: no background is ever painted under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    // Hints are for finding one's way around the panel before using it, so before it is activated too.
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

void PanelForm::loadSkin(PanelPictures& pictures) {
    QPixmap skin = pixmapOf(pictures.skin, pictures.scale);
    if (skin.isNull()) {
        reportUnreadable({pictures.unreadableSkin});
        skin = QPixmap(layout_.width, layout_.height);
        skin.fill(Qt::black);
    }
    img_->setGeometry(QRect(QPoint(0, 0), skin.deviceIndependentSize().toSize()));
    setFixedSize(img_->size());
    img_->showPicture(0, skin);
}

void PanelForm::LoadPanelBitmaps(std::optional<PanelPictures> decoded) {
    if (loaded_) return;
    loaded_ = true;
    const bool ours = decoded && decoded->layout == layout_.layout && decoded->scale == pictureScale_;
    PanelPictures pictures = ours ? std::move(*decoded) : PanelPictures::decode(layout_.layout, pictureScale_);
    loadSkin(pictures);
    for (auto& [id, picture] : pictures.bitmaps)
        bitmaps_[id] = pixmapOf(picture, pictures.scale);
    if (!pictures.unreadableBitmaps.isEmpty()) reportUnreadable(pictures.unreadableBitmaps);
    for (PanelImage* image : parts_)
        showBitmap(*image, image->part()->releasedId);
}

void PanelForm::reportUnreadable(const QStringList& paths) const {
    Messages::show(host_.text(TextId::PanelImagesMissing) + '\n' + paths.join('\n'),
                   host_.text(TextId::WriteErrorCaption));
}

const QPixmap& PanelForm::bitmap(int id) const {
    static const QPixmap none;
    const auto it = bitmaps_.find(id);
    return it == bitmaps_.end() ? none : it->second;
}

void PanelForm::showLampDisplay(LampDisplay display) {
    // The components were made in the table's order, so a part's index is its component's.
    for (const PanelParts::PartPicture& picture : PanelParts::lampPictures(layout_, display))
        showBitmap(*parts_[picture.part], picture.id);
}

PanelImage* PanelForm::component(std::string_view name) const {
    if (name == "img") return img_;
    for (PanelImage* image : parts_)
        if (image->part()->name == name) return image;
    return nullptr;
}

void PanelForm::setHint(std::string_view name, const QString& hint) {
    PanelImage* image = component(name);
    if (!image || image == img_) return;
    hints_[std::string(name)] = hint;
    image->setToolTip(showHint_ ? shownHint(*image) : QString());
}

void PanelForm::setShowHint(bool show) {
    showHint_ = show;
    applyHints();
}

void PanelForm::applyHints() {
    for (PanelImage* image : parts_)
        image->setToolTip(showHint_ ? shownHint(*image) : QString());
}

QString PanelForm::shownHint(const PanelImage& image) const {
    const auto it = hints_.find(image.part()->name);
    const QString hint = it != hints_.end() ? it->second : QString();
    return QString::fromStdString(PanelParts::shownHint(*image.part(), hint.toStdString()));
}

void PanelForm::buttonPressed(PanelImage& button, QMouseEvent& event) {
    if (!PanelParts::answersPress(*button.part(), event.buttons() & Qt::LeftButton)) return;
    pressButton(button);
}

void PanelForm::pressButton(PanelImage& button) {
    const PanelPart& part = *button.part();
    showBitmap(button, part.pressedId());
    if (part.kind == PartKind::Key) host_.SendKey(part.key);
}

void PanelForm::buttonReleased(PanelImage& button) {
    const PanelPart& part = *button.part();
    showBitmap(button, part.releasedId);
    PanelParts::actOnRelease(part, host_);
}

void PanelForm::imgMouseDown(QMouseEvent& event) {
    if (!(event.buttons() & Qt::LeftButton)) return;
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    // No window manager to ask (a bare X server): the window follows the mouse itself.
    dragOffset_ = event.globalPosition().toPoint() - pos();
}

void PanelForm::imgMouseMove(QMouseEvent& event) {
    if (dragOffset_ && (event.buttons() & Qt::LeftButton)) move(event.globalPosition().toPoint() - *dragOffset_);
}

void PanelForm::closeEvent(QCloseEvent* event) {
    event->accept();
    host_.ExitProgram();
}

void PanelForm::contextMenuEvent(QContextMenuEvent* event) {
    host_.showMenu(event->globalPos());
}

std::optional<std::size_t> PanelForm::partForKey(const QKeyEvent& event) const {
    const int key = sameKey(event.key());
    const Qt::KeyboardModifiers modifiers = event.modifiers() & boundModifiers;
    for (const KeyBinding& binding : keyMap_)
        if (binding.key == key && binding.modifiers == modifiers) return binding.part;
    return std::nullopt;
}

void PanelForm::keyPressEvent(QKeyEvent* event) {
    if (!heldKeys_.press(sameKey(event->key()), event->timestamp(), event->isAutoRepeat(), partForKey(*event)))
        QWidget::keyPressEvent(event);
}

void PanelForm::keyReleaseEvent(QKeyEvent* event) {
    // The release goes to the button its press went to, even when Ctrl was let go of first.
    if (!heldKeys_.release(sameKey(event->key()), event->timestamp(), event->isAutoRepeat()))
        QWidget::keyReleaseEvent(event);
    else if (!event->isAutoRepeat())
        releaseWait_.start();
}

void PanelForm::changeEvent(QEvent* event) {
    // The releases of keys held now will not come here: the buttons come up without acting.
    if (event->type() == QEvent::WindowDeactivate || (event->type() == QEvent::EnabledChange && !isEnabled())) {
        releaseWait_.stop();
        heldKeys_.letGo([this](std::size_t part) { showBitmap(*parts_[part], layout_.parts[part].releasedId); });
    }
    QWidget::changeEvent(event);
}
