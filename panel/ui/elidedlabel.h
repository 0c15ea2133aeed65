#pragma once

#include <QLabel>

// A one-line label that never wraps and never cuts a text off unseen: what
// does not fit is elided, and the whole text is the tooltip. The text may
// name the part to elide, so that a long path gives way in its middle while
// the words before and after it stay readable.
class TElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit TElidedLabel(QWidget* parent = nullptr);

    // Shows head + elidable + tail; when that does not fit, elidable is
    // elided by mode (and only when even head and tail do not fit, the
    // whole text from the right).
    void SetParts(const QString& head, const QString& elidable = {}, const QString& tail = {},
                  Qt::TextElideMode mode = Qt::ElideRight);
    // The text as drawn at the present width.
    QString DisplayedText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString head_, elidable_, tail_;
    Qt::TextElideMode mode_ = Qt::ElideRight;
};
