#include "panels/PanelImage.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

PanelImage::PanelImage(const PanelPart* part, QWidget* form) : QWidget(form), part_(part) {
    // Every pixel is the picture's: nothing below needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (part_) {
        setObjectName(part_->name);
        setGeometry(part_->left, part_->top, part_->width, part_->height);
    }
}

void PanelImage::showPicture(int id, const QPixmap& picture) {
    pictureId_ = id;
    picture_ = picture;
    update();
}

void PanelImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_.isNull())
        painter.fillRect(rect(), Qt::black);
    else {
        // Only a picture of another scale than the screen's is resampled: at 1x nothing changes.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(0, 0, picture_);
    }
    if (onPaint) onPaint();
}

void PanelImage::mousePressEvent(QMouseEvent* event) {
    // A click anywhere on the panel gives it the keyboard, with or without a window manager to do so.
    if (!isActiveWindow()) activateWindow();
    if (onPress) onPress(*this, *event);
}

void PanelImage::mouseReleaseEvent(QMouseEvent* event) {
    if (onRelease) onRelease(*this, *event);
}

void PanelImage::mouseMoveEvent(QMouseEvent* event) {
    if (onMove) onMove(*this, *event);
}

void PanelImage::contextMenuEvent(QContextMenuEvent* event) {
    // A right click on a window button is that button's click; elsewhere it opens the panel's menu.
    if (part_ && part_->kind == PartKind::WindowButton)
        event->accept();
    else
        event->ignore();
}
