#include "app/app_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

using DrawFunction = std::function<void(QPainter&)>;

// Paints a drawing made on a 24 by 24 grid at whatever size is asked for, so menus (16) and the
// toolbar (24) get sharp pictures from one drawing.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(DrawFunction draw) : FDraw(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 24.0, rect.height() / 24.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        FDraw(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap result(size);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return result;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(FDraw); }

private:
    DrawFunction FDraw;
};

const QColor outline(70, 70, 70);

void drawPage(QPainter& p, const QRectF& r = QRectF(4.5, 2.5, 15, 19))
{
    QPainterPath path;
    const qreal fold = 4.5;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(outline, 1.0));
    p.setBrush(Qt::white);
    p.drawPath(path);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(220, 220, 220));
    p.drawPath(corner);
}

void drawFolder(QPainter& p, bool open)
{
    p.setPen(QPen(QColor(150, 110, 20), 1.0));
    p.setBrush(QColor(240, 190, 60));
    QPainterPath back;
    back.moveTo(2.5, 6.5);
    back.lineTo(9, 6.5);
    back.lineTo(11, 8.5);
    back.lineTo(20.5, 8.5);
    back.lineTo(20.5, 19.5);
    back.lineTo(2.5, 19.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(252, 215, 100));
    if (open) {
        QPainterPath front;
        front.moveTo(5.5, 11.5);
        front.lineTo(22.5, 11.5);
        front.lineTo(19.5, 19.5);
        front.lineTo(2.5, 19.5);
        front.closeSubpath();
        p.drawPath(front);
    } else {
        p.drawRect(QRectF(2.5, 10.5, 18, 9));
    }
}

void drawStar(QPainter& p, QPointF centre, qreal radius, const QColor& colour)
{
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? radius : radius * 0.45;
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF point(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        if (i == 0)
            star.moveTo(point);
        else
            star.lineTo(point);
    }
    star.closeSubpath();
    p.setPen(QPen(colour.darker(150), 0.8));
    p.setBrush(colour);
    p.drawPath(star);
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF head1 = line;
    head1.setLength(4.5);
    head1.setAngle(line.angle() + 40);
    QLineF head2 = line;
    head2.setLength(4.5);
    head2.setAngle(line.angle() - 40);
    p.drawLine(head1);
    p.drawLine(head2);
}

void drawExitDoor(QPainter& p)
{
    p.setPen(QPen(outline, 1.0));
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(3.5, 2.5, 11, 19));
    QPolygonF door({QPointF(3.5, 2.5), QPointF(10.5, 4.5), QPointF(10.5, 23), QPointF(3.5, 21.5)});
    p.setBrush(QColor(170, 105, 50));
    p.drawPolygon(door);
    p.setBrush(QColor(250, 220, 90));
    p.drawEllipse(QPointF(9, 13), 0.9, 0.9);
    drawArrow(p, QPointF(13, 12), QPointF(22, 12), QColor(30, 150, 50));
}

void drawListPage(QPainter& p)
{
    drawPage(p);
    for (int i = 0; i < 4; ++i) {
        const qreal y = 8.5 + i * 3.5;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 90, 190));
        p.drawEllipse(QPointF(7.8, y), 1.0, 1.0);
        p.setPen(QPen(QColor(40, 90, 190), 1.2));
        p.drawLine(QPointF(10, y), QPointF(17, y));
    }
}

void drawClipboard(QPainter& p)
{
    p.setPen(QPen(QColor(110, 70, 30), 1.0));
    p.setBrush(QColor(190, 130, 70));
    p.drawRoundedRect(QRectF(3.5, 3.5, 17, 19), 1.5, 1.5);
    p.setPen(QPen(outline, 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 6.5, 12, 14));
    p.setBrush(QColor(190, 190, 200));
    p.drawRoundedRect(QRectF(8, 1.5, 8, 4), 1, 1);
    p.setPen(QPen(QColor(120, 120, 120), 1.0));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(8, 10.5 + i * 3), QPointF(16, 10.5 + i * 3));
}

void drawLetters(QPainter& p)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(30, 60, 150));
    p.drawText(QRectF(0, 4, 24, 16), Qt::AlignCenter, QStringLiteral("abc"));
    p.setPen(QPen(QColor(200, 60, 40), 1.2));
    p.drawLine(QPointF(3, 19.5), QPointF(21, 19.5));
}

void drawQuestionMark(QPainter& p)
{
    p.setPen(QPen(QColor(20, 70, 160), 1.0));
    QRadialGradient fill(QPointF(9, 8), 14);
    fill.setColorAt(0, QColor(110, 170, 250));
    fill.setColorAt(1, QColor(30, 90, 200));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2.5, 2.5, 19, 19), Qt::AlignCenter, QStringLiteral("?"));
}

void drawEnvelope(QPainter& p)
{
    p.setPen(QPen(outline, 1.0));
    p.setBrush(QColor(250, 248, 235));
    p.drawRect(QRectF(1.5, 6.5, 17, 12));
    p.drawPolyline(QPolygonF({QPointF(1.5, 6.5), QPointF(10, 13), QPointF(18.5, 6.5)}));
    drawArrow(p, QPointF(13, 20), QPointF(22.5, 20), QColor(30, 150, 50));
}

void drawGlobe(QPainter& p)
{
    const QRectF ball(2.5, 2.5, 19, 19);
    QRadialGradient sea(QPointF(9, 8), 15);
    sea.setColorAt(0, QColor(120, 190, 250));
    sea.setColorAt(1, QColor(30, 100, 200));
    p.setPen(QPen(QColor(20, 70, 150), 1.0));
    p.setBrush(sea);
    p.drawEllipse(ball);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 160, 70));
    p.drawEllipse(QRectF(6, 6, 6, 5));
    p.drawEllipse(QRectF(12, 12, 6, 6));
    p.drawEllipse(QRectF(7, 14, 3, 3));
    p.setPen(QPen(QColor(230, 240, 255, 170), 0.7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(8, 2.5, 8, 19));
    p.drawLine(QPointF(2.5, 12), QPointF(21.5, 12));
}

void drawCrossedPage(QPainter& p)
{
    drawPage(p, QRectF(3.5, 2.5, 14, 18));
    p.setPen(QPen(QColor(240, 130, 20), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(21, 21));
    p.drawLine(QPointF(21, 12), QPointF(12, 21));
}

void drawPrinter(QPainter& p)
{
    p.setPen(QPen(outline, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 7));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(2.5, 8.5, 19, 9), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 14.5, 11, 7));
    p.setPen(QPen(QColor(120, 120, 120), 0.8));
    p.drawLine(QPointF(8.5, 17), QPointF(15.5, 17));
    p.drawLine(QPointF(8.5, 19), QPointF(15.5, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 80));
    p.drawEllipse(QPointF(18.5, 11), 0.9, 0.9);
}

void drawMagnifier(QPainter& p)
{
    p.setPen(QPen(QColor(90, 60, 30), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
    QRadialGradient glass(QPointF(8, 7.5), 8);
    glass.setColorAt(0, QColor(235, 245, 255));
    glass.setColorAt(1, QColor(160, 200, 240));
    p.setPen(QPen(outline, 1.6));
    p.setBrush(glass);
    p.drawEllipse(QRectF(2.5, 2.5, 13, 13));
}

void drawCheckBox(QPainter& p, bool ticked)
{
    // Drawn on the 24 grid, shown at 16 pixels.
    p.setPen(QPen(QColor(90, 90, 100), 1.4));
    QLinearGradient fill(0, 4, 0, 20);
    fill.setColorAt(0, QColor(250, 250, 252));
    fill.setColorAt(1, QColor(222, 225, 232));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 2, 2);
    if (ticked) {
        p.setPen(QPen(QColor(20, 140, 40), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(7, 12.5), QPointF(10.5, 16.5), QPointF(17.5, 7.5)}));
    }
}

DrawFunction drawingOf(TAppIcon icon)
{
    switch (icon) {
    case TAppIcon::Exit:
        return drawExitDoor;
    case TAppIcon::NewTask:
        return [](QPainter& p) { drawPage(p); };
    case TAppIcon::NewList:
        return [](QPainter& p) {
            drawFolder(p, false);
            drawStar(p, QPointF(17.5, 7), 6, QColor(225, 35, 35));
        };
    case TAppIcon::OpenList:
        return [](QPainter& p) {
            drawFolder(p, true);
            drawArrow(p, QPointF(14, 9), QPointF(19, 2.5), QColor(30, 150, 50));
        };
    case TAppIcon::DisplayOrder:
        return drawListPage;
    case TAppIcon::Copy:
        return drawClipboard;
    case TAppIcon::Font:
        return drawLetters;
    case TAppIcon::Help:
        return drawQuestionMark;
    case TAppIcon::EmailSupport:
        return drawEnvelope;
    case TAppIcon::Website:
        return drawGlobe;
    case TAppIcon::DeleteCompleted:
        return drawCrossedPage;
    case TAppIcon::Print:
        return drawPrinter;
    case TAppIcon::Find:
        return drawMagnifier;
    }
    return [](QPainter&) {};
}

const char* themeNameOf(TAppIcon icon)
{
    switch (icon) {
    case TAppIcon::Exit:
        return "application-exit";
    case TAppIcon::NewTask:
        return "document-new";
    case TAppIcon::NewList:
        return "folder-new";
    case TAppIcon::OpenList:
        return "document-open";
    case TAppIcon::DisplayOrder:
        return "view-list-text";
    case TAppIcon::Copy:
        return "edit-copy";
    case TAppIcon::Font:
        return "preferences-desktop-font";
    case TAppIcon::Help:
        return "help-contents";
    case TAppIcon::EmailSupport:
        return "mail-send";
    case TAppIcon::Website:
        return "internet-web-browser";
    case TAppIcon::DeleteCompleted:
        return "edit-delete";
    case TAppIcon::Print:
        return "document-print";
    case TAppIcon::Find:
        return "edit-find";
    }
    return "";
}

} // namespace

QIcon DrawnAppIcon(TAppIcon icon)
{
    return QIcon(new DrawnIconEngine(drawingOf(icon)));
}

QIcon AppIcon(TAppIcon icon)
{
    return QIcon::fromTheme(QString::fromLatin1(themeNameOf(icon)), DrawnAppIcon(icon));
}

QIcon TabIcon(bool ticked)
{
    return QIcon(new DrawnIconEngine([ticked](QPainter& p) { drawCheckBox(p, ticked); }));
}

QIcon ProgramIcon()
{
    // The same pictures the desktop shows in its menu, built into the program so that the
    // window has them wherever it runs from.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}
