// The trends, the line overview and the line's backup and restore, in the
// menu "Сервис" after the exchange monitor and the journal.
#include <QMenu>

#include "lineviews.h"
#include "mainform.h"
#include "servicetools.h"

void TMainForm::setupLineViews()
{
    Views = new LineViews(*this);
    Service->menu()->addSeparator();
    Views->addMenuItems(Service->menu());
}
