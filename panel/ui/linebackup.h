// The line's backup and restore from the menu "Сервис": the line library's
// backupLine and restoreLine behind a folder choice, a progress dialog that
// can be cancelled and a summary. The operation holds the line alone
// meanwhile, so that every exchange on the line belongs to it.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QProgressDialog;
class TMainForm;
class LineOperationSummary;

class LineBackup : public QObject {
    Q_OBJECT

public:
    // addresses: the actuators of the last scan (none: the backup scans).
    LineBackup(TMainForm& form, std::function<std::vector<int>()> addresses);

    // "Резервная копия линии…" and "Восстановить линию…".
    void addMenuItems(QMenu* menu);
    void backup();
    void restore();
    bool running() const;

    // What the restore should also do, as the operator chose.
    struct RestoreChoice {
        int files = 0;        // backup files in the folder
        bool travel = false;  // also write Nt
        bool force = false;   // also where another type of actuator answers
    };

    // Test seams; empty: the dialogs are shown to the operator.
    std::function<QString(const QString& caption)> ChooseFolder;  // "" for a cancel
    std::function<bool(RestoreChoice&)> AskRestore;               // false: do not restore
    std::function<void(QProgressDialog*)> OnProgress;             // after each step
    std::function<void(LineOperationSummary*)> ShowSummary;

private:
    // The menu items follow the line's holder.
    void setActionsEnabled(bool enabled);
    QString chooseFolder(const QString& caption);
    bool askRestore(RestoreChoice& choice);
    void show(LineOperationSummary& summary);
    // Runs op with the line held alone and a progress dialog of `steps` steps.
    void run(const QString& title, int steps, const std::function<void(QProgressDialog&)>& op);
    void step(QProgressDialog& progress, int value, const QString& text);

    TMainForm& form_;
    QAction* backupAction_ = nullptr;
    QAction* restoreAction_ = nullptr;
    std::function<std::vector<int>()> addresses_;
    QString folder_;
};
