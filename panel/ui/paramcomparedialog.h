// The comparison of the drive's parameters with the page's fields (or a
// parameter file's values), field by field, differences marked. Shown by
// "Сравнить", and by "Записать" as the question before writing.
#pragma once

#include <QDialog>

#include "paramset.h"

class QLabel;
class QTableWidget;

class ParamCompareDialog : public QDialog {
    Q_OBJECT

public:
    enum Column { ColName, ColKey, ColDrive, ColPage, ColUnit, ColCount };

    // asking: the question before a write ("Записать" / "Отмена"), else a
    // view with "Закрыть". travel: Nt would be written.
    ParamCompareDialog(const QString& actuator, const QString& pageCaption,
                       const service::ParamSet& drive, const service::ParamSet& page, bool travel,
                       bool asking, QWidget* parent);

    // The keys that differ and would be written, in table order.
    const QStringList& differences() const { return differences_; }
    QTableWidget* table() const { return table_; }
    QString summary() const;

    static const QColor DifferenceColour;

private:
    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QStringList differences_;
    int notWritten_ = 0;
};
