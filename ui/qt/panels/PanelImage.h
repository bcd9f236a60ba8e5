#pragma once

#include "panels/PanelLayouts.h"

#include <QPixmap>
#include <QWidget>

#include <functional>

// One image component of a panel: a picture drawn at its natural size from the top left corner.
// It passes its presses and releases to the form, which decides what they mean.
class PanelImage : public QWidget {
public:
    using MouseHandler = std::function<void(PanelImage& image, QMouseEvent& event)>;

    PanelImage(const PanelPart* part, QWidget* form);

    // The part of the layout table this shows; none for the skin picture.
    const PanelPart* part() const { return part_; }
    void showPicture(int id, const QPixmap& picture);
    int pictureId() const { return pictureId_; }

    MouseHandler onPress, onRelease, onMove;
    // After each paint of this image.
    std::function<void()> onPaint;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const PanelPart* part_;
    QPixmap picture_;
    int pictureId_ = 0;
};
