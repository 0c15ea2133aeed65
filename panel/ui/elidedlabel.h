#pragma once

#include <QLabel>

// A one-line label that gives up width when the status bar runs short: its
// text is then shown shortened in the middle, and whole in its tooltip.
class TElidedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
