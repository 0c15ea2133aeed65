// What a line backup or restore did: one row per actuator (saved, written,
// verified, or why not), the totals, and for a restore the journal rows of
// its writes.
#pragma once

#include <QDialog>

#include <vector>

#include "backup.h"
#include "journal.h"

class QLabel;
class QTableWidget;

class LineOperationSummary : public QDialog {
    Q_OBJECT

public:
    // notDone: after a cancel, what was left undone (addresses, files), as tirsctl names it.
    LineOperationSummary(const QString& folder, const std::vector<service::BackupItem>& items,
                         bool cancelled, const QStringList& notDone, QWidget* parent);
    LineOperationSummary(const QString& folder, const std::vector<service::RestoreItem>& items,
                         const std::vector<service::journal::Row>& journal, bool cancelled,
                         const QStringList& notDone, QWidget* parent);

    QString totals() const;
    QTableWidget* items() const { return items_; }
    QTableWidget* journal() const { return journal_; }  // nullptr after a backup

    // The text of a restore's outcome for one file.
    static QString resultText(const service::RestoreItem& item);

private:
    void build(const QString& title, const QStringList& headings, const QString& totals);

    QTableWidget* items_ = nullptr;
    QTableWidget* journal_ = nullptr;
    QLabel* totals_ = nullptr;
};
