#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window saved at `saved` opens: there, while a good piece of its
// title bar lies on one of the screens (so it can be grabbed and moved);
// otherwise in the middle of the primary screen. A screen taken away since
// the position was saved must not leave the window out of reach.
QPoint PlaceOnScreens(QPoint saved, QSize size, const QList<QRect>& screens, const QRect& primary);
