#pragma once

#include <QColor>
#include <QWidget>

// A horizontal percentage gauge 0..100: a coloured bar on white with the
// percentage written on it. Values outside 0..100 are shown as the bound.
class TGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Progress READ Progress WRITE SetProgress)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE SetForeColor)

public:
    explicit TGauge(QWidget* parent = nullptr);

    int Progress() const { return progress_; }
    void SetProgress(int percent);
    QColor ForeColor() const { return fore_; }
    void SetForeColor(const QColor& c);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int progress_ = 0;
    QColor fore_ = QColor(0, 0, 128);
};
