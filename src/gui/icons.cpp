#include "gui/icons.h"

#include <QPainter>
#include <QPixmap>

namespace vexal::gui {

DeviceIcon deviceIconFor(uint8_t family) {
    switch (family) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 11: case 12: return DeviceIcon::SupportedTape;
    case 254: return DeviceIcon::UnknownTape;
    default: return DeviceIcon::Other;
    }
}

QIcon deviceIcon(DeviceIcon kind) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (kind == DeviceIcon::Other) {
        // a plain box: a disk or another device
        p.setPen(QColor(60, 60, 60));
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(2, 4, 12, 8);
        p.setBrush(QColor(40, 160, 40));
        p.drawEllipse(QPointF(11.5, 9.5), 1.2, 1.2);
        return QIcon(pixmap);
    }
    // a tape cartridge: body and two reels; blue when supported, grey otherwise
    const QColor body = kind == DeviceIcon::SupportedTape ? QColor(30, 80, 180) : QColor(130, 130, 130);
    p.setPen(body.darker());
    p.setBrush(body);
    p.drawRoundedRect(1, 3, 14, 10, 2, 2);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(5, 8), 2.2, 2.2);
    p.drawEllipse(QPointF(11, 8), 2.2, 2.2);
    return QIcon(pixmap);
}

}  // namespace vexal::gui
