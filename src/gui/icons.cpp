#include "gui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace vexal::gui {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A tape cartridge in a 32 by 32 picture: body, label and two reels.
void drawCartridge(QPainter& p, const QColor& body) {
    p.setPen(QPen(body.darker(160), 1.2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 7, 26, 19), 3, 3);
    p.setBrush(QColor(245, 245, 235));
    p.drawRect(QRectF(7, 9, 18, 5));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(10.5, 19.5), 3.2, 3.2);
    p.drawEllipse(QPointF(21.5, 19.5), 3.2, 3.2);
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    QPainterPath head;
    head.moveTo(to + QPointF(std::cos(angle) * 3, std::sin(angle) * 3));
    head.lineTo(to + QPointF(std::cos(angle + 2.4) * 7, std::sin(angle + 2.4) * 7));
    head.lineTo(to + QPointF(std::cos(angle - 2.4) * 7, std::sin(angle - 2.4) * 7));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

void drawLetter(QPainter& p, const QRectF& box, const QString& text, const QColor& fill, const QColor& ink) {
    p.setPen(QPen(fill.darker(150), 1.2));
    p.setBrush(fill);
    p.drawEllipse(box);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(int(box.height() * 0.7));
    p.setFont(font);
    p.setPen(ink);
    p.drawText(box, Qt::AlignCenter, text);
}

QPixmap drawTool(ToolImage image) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(30, 80, 180), green(30, 150, 60), red(200, 40, 40), grey(120, 120, 120);
    switch (image) {
    case ToolImage::Save:  // a sheet with lines and a downward arrow into a tray
        p.setPen(QPen(grey.darker(), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 3, 17, 22));
        p.setPen(QPen(grey, 1));
        for (int y = 8; y <= 16; y += 4) p.drawLine(9, y, 20, y);
        drawArrow(p, QPointF(22, 12), QPointF(22, 25), blue);
        p.setPen(QPen(blue.darker(), 2));
        p.drawLine(12, 29, 30, 29);
        break;
    case ToolImage::Scan:  // three devices on a bus line and a magnifier
        p.setPen(QPen(grey.darker(), 2));
        p.drawLine(4, 26, 28, 26);
        p.setBrush(QColor(200, 200, 200));
        p.setPen(QPen(grey.darker(), 1));
        for (int x : {4, 13, 22}) {
            p.drawRect(QRectF(x, 19, 7, 5));
            p.drawLine(x + 3, 24, x + 3, 26);
        }
        p.setPen(QPen(blue, 2.5));
        p.setBrush(QColor(220, 235, 255, 200));
        p.drawEllipse(QPointF(14, 10), 6.5, 6.5);
        p.drawLine(QPointF(19, 15), QPointF(25, 20));
        break;
    case ToolImage::Inquiry:
        drawCartridge(p, blue);
        drawLetter(p, QRectF(16, 1, 15, 15), "?", QColor(255, 220, 90), Qt::black);
        break;
    case ToolImage::Ready: {
        drawCartridge(p, blue);
        QPainterPath tick;
        tick.moveTo(14, 16);
        tick.lineTo(20, 24);
        tick.lineTo(30, 6);
        p.setPen(QPen(green, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case ToolImage::Clear:  // a page and an eraser
        p.setPen(QPen(grey.darker(), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 3, 18, 24));
        p.save();
        p.translate(20, 20);
        p.rotate(-40);
        p.setBrush(QColor(240, 120, 150));
        p.drawRoundedRect(QRectF(-9, -4, 18, 8), 2, 2);
        p.setBrush(QColor(90, 120, 200));
        p.drawRect(QRectF(-9, -4, 7, 8));
        p.restore();
        break;
    case ToolImage::Abort: {  // a red octagon with a bar
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const double a = kPi / 8 + i * kPi / 4;
            octagon << QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a));
        }
        p.setPen(QPen(red.darker(), 1.2));
        p.setBrush(red);
        p.drawPolygon(octagon);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8, 13.5, 16, 5));
        break;
    }
    case ToolImage::Run: {  // a green play triangle
        QPolygonF play;
        play << QPointF(8, 4) << QPointF(27, 16) << QPointF(8, 28);
        p.setPen(QPen(green.darker(), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(green);
        p.drawPolygon(play);
        break;
    }
    case ToolImage::Firmware:  // a chip with an arrow up
        p.setPen(QPen(grey.darker(), 1));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(7 + i * 5, 12, 7 + i * 5, 8);
            p.drawLine(7 + i * 5, 28, 7 + i * 5, 31);
        }
        p.setBrush(QColor(50, 50, 60));
        p.drawRect(QRectF(4, 12, 22, 16));
        drawArrow(p, QPointF(24, 22), QPointF(24, 4), QColor(240, 160, 30));
        break;
    case ToolImage::FupTape:
        drawCartridge(p, QColor(150, 150, 160));
        drawArrow(p, QPointF(26, 14), QPointF(26, 1), QColor(240, 160, 30));
        break;
    case ToolImage::FaDump:  // a cartridge pouring into a document
        drawCartridge(p, blue);
        p.setPen(QPen(grey.darker(), 1));
        p.setBrush(QColor(255, 250, 210));
        p.drawRect(QRectF(18, 17, 12, 14));
        p.setPen(QPen(grey, 1));
        for (int y = 21; y <= 28; y += 3) p.drawLine(20, y, 28, y);
        drawArrow(p, QPointF(13, 1), QPointF(13, 10), red);
        break;
    case ToolImage::Wizard: {  // a wand with a star
        p.setPen(QPen(QColor(60, 40, 20), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 28), QPointF(19, 14));
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double a = -kPi / 2 + i * kPi / 5;
            const double r = i % 2 ? 3.5 : 8.5;
            star << QPointF(22 + r * std::cos(a), 10 + r * std::sin(a));
        }
        p.setPen(QPen(QColor(200, 150, 0), 1));
        p.setBrush(QColor(255, 215, 40));
        p.drawPolygon(star);
        break;
    }
    case ToolImage::About:
        drawLetter(p, QRectF(3, 3, 26, 26), "i", blue, Qt::white);
        break;
    }
    return pixmap;
}

}  // namespace

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

QIcon toolIcon(ToolImage image) { return QIcon(drawTool(image)); }

QIcon applicationIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawCartridge(p, QColor(30, 80, 180));
    p.setPen(QPen(QColor(230, 60, 40), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(4, 3), QPointF(10, 3), QPointF(13, 0.5), QPointF(17, 5.5), QPointF(20, 3),
                              QPointF(28, 3)}));
    return QIcon(pixmap);
}

QPixmap busyFrame(int frame, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double c = size / 2.0, r = size / 2.0 - 1;
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 70, 80));
    p.drawEllipse(QPointF(c, c), r, r);
    p.setBrush(QColor(150, 110, 60));  // the wound tape
    p.drawEllipse(QPointF(c, c), r * 0.72, r * 0.72);
    p.setBrush(QColor(230, 230, 230));
    p.drawEllipse(QPointF(c, c), r * 0.3, r * 0.3);
    // three spokes, turned one step per frame
    p.setPen(QPen(QColor(230, 230, 230), std::max(1.0, size / 12.0), Qt::SolidLine, Qt::RoundCap));
    const double turn = 2 * kPi * (frame % kBusyFrames) / kBusyFrames / 3;
    for (int i = 0; i < 3; ++i) {
        const double a = turn + i * 2 * kPi / 3;
        p.drawLine(QPointF(c + r * 0.32 * std::cos(a), c + r * 0.32 * std::sin(a)),
                   QPointF(c + r * 0.7 * std::cos(a), c + r * 0.7 * std::sin(a)));
    }
    return pixmap;
}

}  // namespace vexal::gui
