// What the parameter page derives from the drive's answers: the travel in
// millimetres and the highlight colours of the working speed and the locking
// zones.
#pragma once

#include <QColor>
#include <array>

class QLineEdit;

// Optical steps to millimetres: nt x mmPerStep x motSteps / optoBlades, in
// this order; 0 when optoBlades is 0 (nothing guards it in the settings).
double TravelMillimetres(int nt, double mmPerStep, int motSteps, int optoBlades);

struct ParamHighlight {
    std::array<bool, 4> speedInactive{};  // the pairs feV1/feI1 .. feV4/feI4
    bool upperZoneInactive = false;       // feNo
    bool lowerZoneInactive = false;       // feNc
};

// Bits 0-1: the working speed in effect (its pair keeps the normal colour);
// bits 4-5: 1 marks the upper zone inactive, 2 the lower one, 0 and 3 neither.
ParamHighlight HighlightFromWorkStatus(int workStatus);

// The grey of inactive window borders.
QColor InactiveFieldColour();

// Gives the field's background the inactive grey, or back the normal window
// background of an edit. The field stays editable either way.
void PaintFieldBase(QLineEdit* field, bool inactive);
