// The colours of the parameter page's greyed-out fields.
#pragma once

#include <QColor>

class QLineEdit;

// The grey of inactive window borders.
QColor InactiveFieldColour();

// Gives the field's background the inactive grey, or back the normal window
// background of an edit. The field stays editable either way.
void PaintFieldBase(QLineEdit* field, bool inactive);
