// "Журнал операций": the journal file (and the old one before it) as a
// table, filtered by address; rows appended while it is open show at once.
#pragma once

#include <QWidget>

#include <string>

#include "journal.h"

class JournalTableModel;
class QLabel;
class QSpinBox;
class QTableView;

class JournalWindow : public QWidget {
    Q_OBJECT

public:
    JournalWindow(std::string path, std::string oldPath, QWidget* parent = nullptr);

    void reload();  // reads both files again
    void appendRow(const service::journal::Row& row);
    JournalTableModel* model() const { return model_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string path_;
    std::string oldPath_;
    JournalTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QSpinBox* address_ = nullptr;
    QLabel* file_ = nullptr;
};
