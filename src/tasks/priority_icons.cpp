#include "tasks/priority_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap paintIcon(int priority)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    QColor fill;
    switch (priority) {
    case 0: // an arrow up in red
        path.moveTo(8, 1.5);
        path.lineTo(14.5, 9);
        path.lineTo(10.5, 9);
        path.lineTo(10.5, 14.5);
        path.lineTo(5.5, 14.5);
        path.lineTo(5.5, 9);
        path.lineTo(1.5, 9);
        path.closeSubpath();
        fill = QColor(0xD0, 0x30, 0x30);
        break;
    case 1: // a round dot in blue
        path.addEllipse(QRectF(3.5, 3.5, 9, 9));
        fill = QColor(0x30, 0x70, 0xC0);
        break;
    default: // an arrow down in grey-green
        path.moveTo(8, 14.5);
        path.lineTo(14.5, 7);
        path.lineTo(10.5, 7);
        path.lineTo(10.5, 1.5);
        path.lineTo(5.5, 1.5);
        path.lineTo(5.5, 7);
        path.lineTo(1.5, 7);
        path.closeSubpath();
        fill = QColor(0x50, 0x90, 0x60);
        break;
    }
    p.setPen(QPen(fill.darker(140), 1));
    p.setBrush(fill);
    p.drawPath(path);
    return pixmap;
}

} // namespace

QIcon PriorityIcon(int priority)
{
    return QIcon(paintIcon(priority));
}
