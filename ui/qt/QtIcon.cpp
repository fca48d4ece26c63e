#include "ui/qt/QtIcon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap ProgramIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // A chip in a socket: the socket's green board, the package, its pins
    // and a notch, and a lightning stroke for the programming voltage.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(46, 125, 50));
    painter.drawRoundedRect(QRectF(0.02 * s, 0.02 * s, 0.96 * s, 0.96 * s), 0.12 * s, 0.12 * s);

    painter.setBrush(QColor(220, 220, 220));
    const int pins = size >= 32 ? 5 : 3;
    for (int i = 0; i < pins; ++i) {
        const qreal y = 0.22 * s + i * (0.56 * s / (pins - 1)) - 0.03 * s;
        painter.drawRect(QRectF(0.16 * s, y, 0.12 * s, 0.06 * s));
        painter.drawRect(QRectF(0.72 * s, y, 0.12 * s, 0.06 * s));
    }
    painter.setBrush(QColor(33, 33, 33));
    painter.drawRoundedRect(QRectF(0.26 * s, 0.14 * s, 0.48 * s, 0.72 * s), 0.04 * s, 0.04 * s);
    painter.setBrush(QColor(80, 80, 80));
    painter.drawEllipse(QPointF(0.5 * s, 0.14 * s), 0.07 * s, 0.07 * s);

    QPainterPath bolt;
    bolt.moveTo(0.56 * s, 0.26 * s);
    bolt.lineTo(0.40 * s, 0.54 * s);
    bolt.lineTo(0.50 * s, 0.54 * s);
    bolt.lineTo(0.44 * s, 0.76 * s);
    bolt.lineTo(0.62 * s, 0.46 * s);
    bolt.lineTo(0.52 * s, 0.46 * s);
    bolt.closeSubpath();
    painter.setBrush(QColor(255, 214, 0));
    painter.drawPath(bolt);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(ProgramIconPixmap(size));
    }
    return icon;
}
