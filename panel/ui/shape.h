#pragma once

#include <QColor>
#include <QWidget>

// A filled rectangle with a one-pixel outline (the position bar's zones, the
// stem marker, the relay squares).
class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)
    Q_PROPERTY(QColor PenColor READ PenColor WRITE SetPenColor)

public:
    explicit TShape(QWidget* parent = nullptr);

    QColor BrushColor() const { return brush_; }
    void SetBrushColor(const QColor& c);
    QColor PenColor() const { return pen_; }
    void SetPenColor(const QColor& c);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_ = Qt::white;
    QColor pen_ = Qt::black;
};
