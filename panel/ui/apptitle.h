#pragma once

#include <QString>

// The application title: the caption of the error and message boxes and the
// start of the window caption. Kept here rather than in Qt's application
// display name, which X11 window titles would get appended as " — name".
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
