#include "shape.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(const QColor& c)
{
    if (c == brush_)
        return;
    brush_ = c;
    update();
}

void TShape::SetPenColor(const QColor& c)
{
    if (c == pen_)
        return;
    pen_ = c;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(pen_);
    p.setBrush(brush_);
    p.drawRect(0, 0, width() - 1, height() - 1);
}
