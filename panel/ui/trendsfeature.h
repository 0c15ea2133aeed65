// The trends are drawn with Qt Charts, which not every Qt has (the one built
// for Windows has none). The window reaches the trends window only through
// these, so a build without Qt Charts leaves it out whole.
#pragma once

class QString;
class QWidget;
namespace service {
class TrendRecord;
}
class TrendsWindow;

bool TrendsInThisBuild();
// A new trends window over record; nullptr in a build without them.
TrendsWindow* NewTrendsWindow(const service::TrendRecord& record, QWidget* parent);
void SetTrendsActuator(TrendsWindow* window, int address, const QString& caption);
