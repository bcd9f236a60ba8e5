#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

QImage paintProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    QLinearGradient face(0, 0, 0, size);
    face.setColorAt(0, QColor(0x4a, 0x4d, 0x52));
    face.setColorAt(1, QColor(0x1c, 0x1d, 0x20));
    p.setPen(QPen(QColor(0x0c, 0x0c, 0x0d), unit * 0.6));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(unit * 0.5, unit * 3, size - unit, size - unit * 6), unit * 2, unit * 2);
    const QColor lamps[] = {QColor(0xe8, 0x30, 0x2a), QColor(0xf4, 0xf4, 0xf0), QColor(0x3c, 0xe0, 0x5a),
                            QColor(0xf2, 0xc8, 0x2a)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(lamps[i]);
        p.drawEllipse(QPointF(unit * (3.2 + i * 3.2), size / 2.0), unit * 1.2, unit * 1.2);
    }
    return image;
}

QIcon programIcon() {
    // Painted once: the windows and the tray show the same icon, and its eight sizes take a while.
    static const QIcon icon = [] {
        QIcon painted;
        for (int size : ProgramIconSizes)
            painted.addPixmap(QPixmap::fromImage(paintProgramIcon(size)));
        return painted;
    }();
    return icon;
}
