#include "elidedlabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

QSize TElidedLabel::minimumSizeHint() const
{
    const QSize full = QLabel::minimumSizeHint();
    return {std::min(full.width(), fontMetrics().horizontalAdvance(QStringLiteral("COM8: …"))),
            full.height()};
}

void TElidedLabel::paintEvent(QPaintEvent* event)
{
    const QRect area = contentsRect();
    if (fontMetrics().horizontalAdvance(text()) <= area.width()) {
        setToolTip({});
        QLabel::paintEvent(event);
        return;
    }
    setToolTip(text());
    QPainter painter(this);
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(),
                          fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()),
                          foregroundRole());
}
