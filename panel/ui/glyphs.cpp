#include "glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

constexpr int Size = 16;

QIcon draw(const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pixmap);
}

void arrow(QPainter& p, bool pointsLeft, const QColor& colour)
{
    QPainterPath path;
    if (pointsLeft) {
        path.moveTo(1, 8);
        path.lineTo(8, 1.5);
        path.lineTo(8, 5);
        path.lineTo(15, 5);
        path.lineTo(15, 11);
        path.lineTo(8, 11);
        path.lineTo(8, 14.5);
    } else {
        path.moveTo(15, 8);
        path.lineTo(8, 1.5);
        path.lineTo(8, 5);
        path.lineTo(1, 5);
        path.lineTo(1, 11);
        path.lineTo(8, 11);
        path.lineTo(8, 14.5);
    }
    path.closeSubpath();
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    p.drawPath(path);
}

}  // namespace

QIcon GlyphClose()
{
    return draw([](QPainter& p) { arrow(p, true, QColor(0, 128, 0)); });
}

QIcon GlyphOpen()
{
    return draw([](QPainter& p) { arrow(p, false, QColor(0, 128, 0)); });
}

QIcon GlyphStop()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(128, 0, 0), 1));
        p.setBrush(QColor(220, 0, 0));
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
    });
}

QIcon GlyphStopOff()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(128, 0, 0), 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 3.5, 11, 11), 120 * 16, 300 * 16);
        p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
    });
}

namespace {

// A blue magnifier, its glass of the given diameter from the top left corner.
void magnifier(QPainter& p, double glass)
{
    const double pen = glass / 4.5;
    p.setPen(QPen(QColor(0, 0, 128), pen));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(pen / 2 + 0.5, pen / 2 + 0.5, glass, glass));
    p.setPen(QPen(QColor(0, 0, 128), pen * 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(glass + 1, glass + 1),
               QPointF(glass + 1 + glass * 0.45, glass + 1 + glass * 0.45));
}

}  // namespace

QIcon GlyphScan()
{
    return draw([](QPainter& p) { magnifier(p, 9); });
}

// Nothing like the drive's red square: the scan's own blue magnifier with a
// red cross over it.
QIcon GlyphScanStop()
{
    return draw([](QPainter& p) {
        magnifier(p, 7);
        p.setPen(QPen(QColor(200, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 9), QPointF(15, 15));
        p.drawLine(QPointF(15, 9), QPointF(9, 15));
    });
}

QIcon GlyphSelect()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0, 128, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(2, 8), QPointF(6, 12.5), QPointF(14, 3)}));
    });
}

QIcon GlyphExit()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(96, 64, 0), 1));
        p.setBrush(QColor(200, 150, 80));
        p.drawRect(QRectF(1.5, 1.5, 8, 13));
        arrow(p, false, QColor(0, 0, 160));
    });
}

QIcon GlyphAbout()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0, 0, 128), 1));
        p.setBrush(QColor(0, 64, 200));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(6.75, 3, 2.5, 2.5));
        p.drawRect(QRectF(6.75, 6.5, 2.5, 6.5));
    });
}

namespace {

void tray(QPainter& p)
{
    p.setPen(QPen(QColor(64, 64, 64), 1.5));
    p.drawPolyline(
        QPolygonF({QPointF(1.5, 10), QPointF(1.5, 14.5), QPointF(14.5, 14.5), QPointF(14.5, 10)}));
}

void verticalArrow(QPainter& p, bool down, const QColor& colour)
{
    QPainterPath path;
    const double tip = down ? 12 : 1;
    const double base = 6.5;
    const double tail = down ? 1 : 12;
    path.moveTo(8, tip);
    path.lineTo(3, base);
    path.lineTo(6, base);
    path.lineTo(6, tail);
    path.lineTo(10, tail);
    path.lineTo(10, base);
    path.lineTo(13, base);
    path.closeSubpath();
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    p.drawPath(path);
}

}  // namespace

QIcon GlyphRead()
{
    return draw([](QPainter& p) {
        tray(p);
        verticalArrow(p, true, QColor(0, 96, 200));
    });
}

QIcon GlyphWrite()
{
    return draw([](QPainter& p) {
        tray(p);
        verticalArrow(p, false, QColor(200, 96, 0));
    });
}

QIcon GlyphFileOpen()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(128, 96, 0), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5.5),
                                 QPointF(14.5, 5.5), QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
    });
}

QIcon GlyphFileSave()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0, 0, 96), 1));
        p.setBrush(QColor(60, 90, 180));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
    });
}
