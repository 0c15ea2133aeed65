#include "elidedlabel.h"

#include <QPainter>
#include <QStyle>

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent)
{
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
}

void TElidedLabel::SetParts(const QString& head, const QString& elidable, const QString& tail,
                            Qt::TextElideMode mode)
{
    head_ = head;
    elidable_ = elidable;
    tail_ = tail;
    mode_ = mode;
    const QString whole = head + elidable + tail;
    setText(whole);
    setToolTip(whole);
}

QString TElidedLabel::DisplayedText() const
{
    // A text set through QLabel::setText has no parts: all of it may go.
    const QString whole = text();
    const bool parted = head_ + elidable_ + tail_ == whole;
    const QFontMetrics fm = fontMetrics();
    const int room = contentsRect().width() - 2 * margin();
    if (fm.horizontalAdvance(whole) <= room)
        return whole;
    if (parted && !elidable_.isEmpty()) {
        const int rest = room - fm.horizontalAdvance(head_) - fm.horizontalAdvance(tail_);
        const QString shortened = fm.elidedText(elidable_, mode_, rest);
        if (rest > 0 && !shortened.isEmpty())
            return head_ + shortened + tail_;
    }
    return fm.elidedText(whole, Qt::ElideRight, room);
}

QSize TElidedLabel::minimumSizeHint() const
{
    // Any width will do: the text gives way instead of the layout.
    return {0, QLabel::minimumSizeHint().height()};
}

void TElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, room, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                          DisplayedText(), foregroundRole());
}
