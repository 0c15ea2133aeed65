#include "windowplacement.h"

#include <algorithm>

namespace {

constexpr int TitleHeight = 24;  // about a title bar
constexpr int Grip = 64;         // enough of it to take hold of

}  // namespace

QPoint PlaceOnScreens(QPoint saved, QSize size, const QList<QRect>& screens, const QRect& primary)
{
    const QRect title(saved, QSize(size.width(), TitleHeight));
    for (const QRect& screen : screens) {
        const QRect onScreen = title & screen;
        if (onScreen.width() >= std::min(Grip, size.width()) &&
            onScreen.height() >= TitleHeight / 2)
            return saved;
    }
    const QPoint centred = primary.center() - QPoint(size.width() / 2, size.height() / 2);
    return {std::max(centred.x(), primary.left()), std::max(centred.y(), primary.top())};
}
