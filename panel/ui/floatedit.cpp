#include "floatedit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <algorithm>

#include "errorbox.h"

TFloatEdit::TFloatEdit(QWidget* parent) : QLineEdit(parent)
{
    UpdateText();
}

void TFloatEdit::SetFormat(TFloatFormat f)
{
    format_ = f;
    UpdateText();
}

void TFloatEdit::SetFormatIndex(int f)
{
    if (f >= static_cast<int>(TFloatFormat::General) &&
        f <= static_cast<int>(TFloatFormat::Currency))
        SetFormat(static_cast<TFloatFormat>(f));
}

void TFloatEdit::SetDigits(int d)
{
    digits_ = std::clamp(d, 0, 255);
    UpdateText();
}

void TFloatEdit::SetPrec(int p)
{
    precision_ = std::clamp(p, 0, 255);
    UpdateText();
}

void TFloatEdit::SetMinValue(double v)
{
    minValue_ = v;
    CheckValue();
    UpdateText();
}

void TFloatEdit::SetMaxValue(double v)
{
    maxValue_ = v;
    CheckValue();
    UpdateText();
}

void TFloatEdit::SetValue(double x)
{
    if (x == value_)
        return;
    SetValueAnyway(x);
}

void TFloatEdit::SetValueVisible(bool on)
{
    valueVisible_ = on;
    UpdateText();
}

void TFloatEdit::SetValueAnyway(double x)
{
    value_ = x;
    CheckValue();
    if (OnChanged)
        OnChanged(this);
    UpdateText();
    repaint();
    // The selection shows only while the field has the focus (a field that a
    // read fills in the background stays unmarked); focus-in selects all.
    if (hasFocus())
        selectAll();
    else
        deselect();
}

void TFloatEdit::CheckValue()
{
    if (IsValidValue(value_))
        return;
    if (OnOutOfBounds) {
        OnOutOfBounds(this);
        return;
    }
    if (!minMaxCheck_)
        return;
    // NaN compares false with both limits and so lands on MinValue.
    value_ = value_ > maxValue_ ? maxValue_ : minValue_;
    if (OnChanged)
        OnChanged(this);
}

bool TFloatEdit::IsValidValue(double x) const
{
    if (minMaxCheck_)
        return minValue_ <= x && x <= maxValue_;
    bool valid = true;
    if (OnValidateValue)
        OnValidateValue(const_cast<TFloatEdit*>(this), x, valid);
    return valid;
}

void TFloatEdit::SetValueStr(const QString& text)
{
    const QString shown = valueVisible_ ? FormattedValue() : QString();
    double number = value_;
    // Unchanged text keeps the unrounded value: a field showing "13" for 12.7
    // commits 12.7, not 13.
    if (text != shown) {
        if (const auto parsed = numtext::parseFloat(text.toStdString())) {
            number = *parsed;
        } else {
            bool handled = false;
            if (OnError)
                OnError(this, QStringLiteral("'%1' is not a valid floating point value").arg(text),
                        handled);
            if (!handled)
                number = value_;
        }
    }
    SetValueAnyway(number);
}

void TFloatEdit::UpdateText()
{
    setText(valueVisible_ ? FormattedValue() : QString());
    update();
}

QString TFloatEdit::FormattedValue() const
{
    return QString::fromStdString(numtext::formatFloat(value_, format_, precision_, digits_));
}

// Handlers run from Qt's event dispatch, which an exception must not cross:
// one escaping from an application event shows in the error box.
void TFloatEdit::keyPressEvent(QKeyEvent* event)
{
    RunGuarded(this, [this, event] {
        int key = event->key();
        if (OnKeyDown)
            OnKeyDown(this, key, event->modifiers());
        if (key == 0) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            SetValueStr(text());
            if (OnEnterPress)
                OnEnterPress(this);
        }
    });
}

namespace {

// A popup menu or another application taking over leaves the field the
// window's focused control: the entry goes on when the window comes back,
// so neither way counts as leaving or entering the field.
bool movesWithinWindow(const QFocusEvent* event)
{
    return event->reason() != Qt::PopupFocusReason &&
           event->reason() != Qt::ActiveWindowFocusReason;
}

}  // namespace

void TFloatEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (movesWithinWindow(event))
        RunGuarded(this, [this] { MyOnEnter(); });
}

void TFloatEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (movesWithinWindow(event))
        RunGuarded(this, [this] { MyOnExit(); });
}

void TFloatEdit::MyOnEnter()
{
    selectAll();
    if (OnEnter)
        OnEnter(this);
}

void TFloatEdit::MyOnExit()
{
    SetValueStr(text());
    UpdateText();
    if (OnExit)
        OnExit(this);
}
