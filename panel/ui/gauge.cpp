#include "gauge.h"

#include <QPainter>
#include <algorithm>

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetProgress(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == progress_)
        return;
    progress_ = percent;
    update();
}

void TGauge::SetForeColor(const QColor& c)
{
    fore_ = c;
    update();
}

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect frame(0, 0, width() - 1, height() - 1);
    p.fillRect(rect(), Qt::white);
    const QRect inner = frame.adjusted(1, 1, 0, 0);
    const QRect bar(inner.left(), inner.top(), inner.width() * progress_ / 100, inner.height());
    p.fillRect(bar, fore_);
    const QString text = QString::number(progress_) + QLatin1Char('%');
    // The text is drawn twice, clipped: dark on white, white on the bar.
    p.setClipRect(inner);
    p.setPen(Qt::black);
    p.drawText(inner, Qt::AlignCenter, text);
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(inner, Qt::AlignCenter, text);
    p.setClipping(false);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(frame);
}
