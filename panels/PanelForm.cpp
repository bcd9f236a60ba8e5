#include "panels/PanelForm.h"

#include "base/Messages.h"
#include "panels/ImageCodecs.h"
#include "panels/PanelAssets.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QStringList>
#include <QWindow>

namespace {

QPixmap readPicture(const QString& path, bool jpeg) {
    const auto bytes = PanelAssets::read(path);
    if (!bytes) return {};
    return QPixmap::fromImage(jpeg ? ImageCodecs::decodeJpeg(*bytes) : ImageCodecs::decodeBmp24(*bytes));
}

} // namespace

PanelForm::PanelForm(const PanelLayoutTable& layout, PanelHost& host)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), layout_(layout), host_(host),
      WindowStorage1(*this,
                     layout.keepsWindowState ? TWindowStorage::Options(TWindowStorage::State | TWindowStorage::Position)
                                             : TWindowStorage::Options(TWindowStorage::Position),
                     layout.preventsResize, QString(), QString::fromLatin1(layout.className)) {
    setObjectName(layout.className);
    setWindowTitle(layout.caption);
    createComponents();
    if (!layout.windowSystemPlacesIt) move(layout.designedLeft, layout.designedTop);
    FormCreate();
}

PanelForm::~PanelForm() {
    WindowStorage1.formDestroying();
}

void PanelForm::createComponents() {
    img_ = new PanelImage(nullptr, this);
    img_->setObjectName("img");
    QPixmap skin = readPicture(PanelAssets::skinPath(layout_.layout), true);
    if (skin.isNull()) {
        reportUnreadable({PanelAssets::skinPath(layout_.layout)});
        skin = QPixmap(layout_.width, layout_.height);
        skin.fill(Qt::black);
    }
    img_->setGeometry(0, 0, skin.width(), skin.height());
    img_->showPicture(0, skin);
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

void PanelForm::FormCreate() {
    setFixedSize(img_->size());
    // The skin covers the whole window: no background is ever painted under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void PanelForm::LoadPanelBitmaps() {
    QStringList unreadable;
    for (int id : bitmapIds(layout_)) {
        QPixmap picture = readPicture(PanelAssets::bitmapPath(id), false);
        if (picture.isNull()) unreadable << PanelAssets::bitmapPath(id);
        bitmaps_[id] = picture;
    }
    if (!unreadable.isEmpty()) reportUnreadable(unreadable);
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
    for (PanelImage* image : parts_) {
        const PanelPart& part = *image->part();
        if (part.kind == PartKind::LampStrip) showBitmap(*image, lampStripPicture(display));
    }
    for (const LampStep& step : lampSteps(display)) {
        for (PanelImage* image : parts_) {
            const PanelPart& part = *image->part();
            if (part.kind == PartKind::Lamp && part.lamp == step.lamp)
                showBitmap(*image, step.lit ? part.pressedId() : part.releasedId);
        }
    }
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
    image->setToolTip(showHint_ ? hint : QString());
}

void PanelForm::setShowHint(bool show) {
    showHint_ = show;
    applyHints();
}

void PanelForm::applyHints() {
    for (PanelImage* image : parts_) {
        const auto it = hints_.find(image->part()->name);
        image->setToolTip(showHint_ && it != hints_.end() ? it->second : QString());
    }
}

void PanelForm::buttonPressed(PanelImage& button, QMouseEvent& event) {
    const PanelPart& part = *button.part();
    // Key buttons answer the left button only; window buttons any button.
    if (part.kind == PartKind::Key && !(event.buttons() & Qt::LeftButton)) return;
    showBitmap(button, part.pressedId());
    if (part.kind == PartKind::Key) host_.SendKey(part.key);
}

void PanelForm::buttonReleased(PanelImage& button) {
    const PanelPart& part = *button.part();
    showBitmap(button, part.releasedId);
    switch (part.action) {
    case WindowAction::Preferences:
        host_.optionsRequested();
        break;
    case WindowAction::HideToTray:
        host_.HideToTray();
        break;
    case WindowAction::Exit:
        host_.ExitProgram();
        break;
    case WindowAction::None:
        break;
    }
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
