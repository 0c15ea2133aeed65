#include "paramview.h"

#include <QLineEdit>
#include <QPalette>

QColor InactiveFieldColour()
{
    return QColor(0xD4, 0xD0, 0xC8);
}

void PaintFieldBase(QLineEdit* field, bool inactive)
{
    // The normal colour comes from the style, per colour group, so that a
    // disabled page still looks disabled.
    const QPalette standard = field->window()->palette();
    QPalette pal = field->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base,
                     inactive ? InactiveFieldColour() : standard.color(group, QPalette::Base));
        pal.setColor(group, QPalette::Text, standard.color(group, QPalette::Text));
    }
    field->setPalette(pal);
}
