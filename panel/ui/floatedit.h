#pragma once

#include <QLineEdit>
#include <functional>

#include "numbertext.h"

// The edit field for one floating-point number: it owns Value (unrounded)
// and shows it rounded; typed text is taken over only on Enter or when the
// field loses the focus, then checked against the limits and clamped.
// Events are plain callables; an empty one is "not assigned".
class TFloatEdit : public QLineEdit {
    Q_OBJECT
    // TFloatFormat as its number 0..4, so that a Designer form can set it.
    Q_PROPERTY(int Format READ FormatIndex WRITE SetFormatIndex)
    Q_PROPERTY(int Digits READ Digits WRITE SetDigits)
    Q_PROPERTY(int Precision READ Precision WRITE SetPrec)
    Q_PROPERTY(bool MinMaxCheck READ MinMaxCheck WRITE SetMinMaxCheck)
    Q_PROPERTY(double MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    Q_PROPERTY(bool ValueVisible READ ValueVisible WRITE SetValueVisible)

public:
    explicit TFloatEdit(QWidget* parent = nullptr);

    TFloatFormat Format() const { return format_; }
    void SetFormat(TFloatFormat f);
    int FormatIndex() const { return static_cast<int>(format_); }
    void SetFormatIndex(int f);  // outside 0..4 is ignored
    int Digits() const { return digits_; }
    void SetDigits(int d);  // 0..255
    int Precision() const { return precision_; }
    void SetPrec(int p);  // 0..255
    bool MinMaxCheck() const { return minMaxCheck_; }
    void SetMinMaxCheck(bool on) { minMaxCheck_ = on; }
    double MinValue() const { return minValue_; }
    void SetMinValue(double v);
    double MaxValue() const { return maxValue_; }
    void SetMaxValue(double v);
    double Value() const { return value_; }
    void SetValue(double x);
    bool ValueVisible() const { return valueVisible_; }
    void SetValueVisible(bool on);

    void SetValueAnyway(double x);
    void CheckValue();
    bool IsValidValue(double x) const;
    void SetValueStr(const QString& text);
    void UpdateText();
    // The text Value would be shown with.
    QString FormattedValue() const;

    std::function<void(TFloatEdit*)> OnChanged;
    std::function<void(TFloatEdit*, double value, bool& valid)> OnValidateValue;
    std::function<void(TFloatEdit*)> OnOutOfBounds;
    std::function<void(TFloatEdit*, const QString& message, bool& handled)> OnError;
    std::function<void(TFloatEdit*)> OnEnterPress;
    std::function<void(TFloatEdit*)> OnExit;
    std::function<void(TFloatEdit*)> OnEnter;
    // The application's own key-down handler, run before the Enter commit;
    // setting the key to 0 prevents the commit.
    std::function<void(TFloatEdit*, int& key, Qt::KeyboardModifiers)> OnKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void MyOnEnter();
    void MyOnExit();

    TFloatFormat format_ = TFloatFormat::Fixed;
    int digits_ = 5;
    int precision_ = 5;
    bool minMaxCheck_ = true;
    double minValue_ = -10;
    double maxValue_ = 10;
    double value_ = 0;
    bool valueVisible_ = true;
};
