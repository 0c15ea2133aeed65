#include "linebackup.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "backup.h"
#include "lineoperationsummary.h"
#include "mainform.h"
#include "servicetools.h"
#include "codes.h"

namespace {

std::string path(const QString& folder)
{
    return QFile::encodeName(folder).toStdString();
}

}  // namespace

LineBackup::LineBackup(TMainForm& form, std::function<std::vector<int>()> addresses)
    : QObject(&form), form_(form), addresses_(std::move(addresses))
{
    // The menu's line backup and restore wait while a scan or another
    // backup holds the line.
    form.Owner.follow([this](service::LineUse) { setActionsEnabled(!form_.Owner.exclusive()); });
}

void LineBackup::addMenuItems(QMenu* menu)
{
    QAction* backup = backupAction_ = menu->addAction(QStringLiteral("Резервная копия линии…"));
    backup->setObjectName(QStringLiteral("mnLineBackup"));
    QAction* restore = restoreAction_ = menu->addAction(QStringLiteral("Восстановить линию…"));
    restore->setObjectName(QStringLiteral("mnLineRestore"));
    connect(backup, &QAction::triggered, this,
            [this] { RunGuarded(&form_, [this] { this->backup(); }); });
    connect(restore, &QAction::triggered, this,
            [this] { RunGuarded(&form_, [this] { this->restore(); }); });
}

bool LineBackup::running() const
{
    return form_.Owner.holder() == service::LineUse::Backup;
}

void LineBackup::setActionsEnabled(bool enabled)
{
    for (QAction* action : {backupAction_, restoreAction_})
        if (action)
            action->setEnabled(enabled);
}

QString LineBackup::chooseFolder(const QString& caption)
{
    if (ChooseFolder)
        return ChooseFolder(caption);
    const QString start = folder_.isEmpty() ? form_.Dir : folder_;
    return QFileDialog::getExistingDirectory(&form_, caption, start);
}

void LineBackup::step(QProgressDialog& progress, int value, const QString& text)
{
    progress.setLabelText(text);
    progress.setValue(value);
    // The dialog paints and its "Отмена" is seen between two actuators.
    QCoreApplication::processEvents();
    if (OnProgress)
        OnProgress(&progress);
}

void LineBackup::run(const QString& title, int steps,
                     const std::function<void(QProgressDialog&)>& op)
{
    // The poll, the window's scan and every control that sends wait.
    const service::LineOwner::Hold hold(form_.Owner, service::LineUse::Backup);
    if (!hold)
        return;
    QProgressDialog progress(title, QStringLiteral("Отмена"), 0, std::max(steps, 1), &form_);
    progress.setObjectName(QStringLiteral("LineProgress"));
    progress.setWindowTitle(title + QStringLiteral("…"));  // the summary bears the title itself
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    op(progress);
}

void LineBackup::show(LineOperationSummary& summary)
{
    if (ShowSummary)
        ShowSummary(&summary);
    else
        summary.exec();
}

void LineBackup::backup()
{
    if (form_.Owner.holder() != service::LineUse::Free)
        return;  // a scan holds the line: the backup does not start a second one
    const QString folder = chooseFolder(QStringLiteral("Папка для резервной копии линии"));
    if (folder.isEmpty() || !form_.WakePort)
        return;
    folder_ = folder;
    service::BackupOptions options;
    options.addresses = addresses_();
    options.name = [this](int a) { return service::nameOf(form_.Names, a); };
    // Without a scan to go by, the library scans first: 127 steps more.
    const int count = static_cast<int>(options.addresses.size());
    const int scanSteps = count == 0 ? wake::MaxAddress : 0;
    std::vector<service::BackupItem> items;
    std::vector<int> scanFound;
    int scanned = 0;
    bool cancelled = false;
    run(QStringLiteral("Резервная копия линии"), scanSteps + std::max(count, 1),
        [&](QProgressDialog& progress) {
            int found = count, saved = 0;
            options.scan.cancelled = [&] { return cancelled = progress.wasCanceled(); };
            options.scan.progress = [&](int address, const service::FoundActuator* actuator) {
                scanned = std::max(scanned, address);
                if (actuator) {
                    scanFound.push_back(address);
                    progress.setMaximum(scanSteps + ++found);
                }
                step(progress, address,
                     QStringLiteral("Поиск приводов: адрес ") + QString::number(address));
            };
            options.done = [&](const service::BackupItem& item) {
                step(progress, scanSteps + ++saved,
                     QStringLiteral("Сохранён привод ") + QString::number(item.address));
            };
            step(progress, 0, QStringLiteral("Резервная копия в ") + folder);
            items = service::backupLine(*form_.WakePort, path(folder), options);
        });
    QStringList notDone;
    if (cancelled) {
        for (int a : service::addressesNotBackedUp(count ? options.addresses : scanFound, items))
            notDone << QString::number(a);
        if (!count && scanned < options.scan.last)
            notDone << QStringLiteral("адреса %1…%2 не просмотрены")
                           .arg(scanned + 1)
                           .arg(options.scan.last);
    }
    LineOperationSummary summary(folder, items, cancelled, notDone, &form_);
    show(summary);
}

bool LineBackup::askRestore(RestoreChoice& choice)
{
    if (AskRestore)
        return AskRestore(choice);
    QDialog dialog(&form_);
    dialog.setWindowTitle(QStringLiteral("Восстановить линию"));
    auto* text = new QLabel(
        QStringLiteral("Файлов резервной копии в папке: %1.\nКаждый привод, для которого есть "
                       "файл, будет остановлен и отключён («Стоп/откл.»), его параметры и реле "
                       "записаны и прочитаны для проверки.")
            .arg(choice.files),
        &dialog);
    text->setWordWrap(true);
    auto* travel = new QCheckBox(QStringLiteral("Записывать ход между LIMO и LIMC"), &dialog);
    auto* force = new QCheckBox(
        QStringLiteral("Записывать и туда, где отвечает привод другого типа"), &dialog);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("Восстановить"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(travel);
    layout->addWidget(force);
    layout->addWidget(buttons);
    dialog.resize(440, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice.travel = travel->isChecked();
    choice.force = force->isChecked();
    return true;
}

void LineBackup::restore()
{
    if (form_.Owner.holder() != service::LineUse::Free)
        return;
    const QString folder = chooseFolder(QStringLiteral("Папка резервной копии линии"));
    if (folder.isEmpty() || !form_.WakePort)
        return;
    folder_ = folder;
    // For the progress only: the library picks the files by their names.
    RestoreChoice choice;
    choice.files =
        static_cast<int>(QDir(folder).entryList({QStringLiteral("A*.par")}, QDir::Files).size());
    if (!askRestore(choice))
        return;
    std::vector<service::RestoreItem> items;
    std::vector<service::journal::Row> rows;
    bool cancelled = false;
    // The journal's rows of the writes, as they are appended.
    form_.Service->OnJournalRow = [&rows](const service::journal::Row& row) {
        rows.push_back(row);
    };
    struct Unwatch {
        ServiceTools* service;
        ~Unwatch() { service->OnJournalRow = nullptr; }
    } unwatch{form_.Service};
    run(QStringLiteral("Восстановление линии"), choice.files, [&](QProgressDialog& progress) {
        service::RestoreOptions options;
        options.travel = choice.travel;
        options.force = choice.force;
        int done = 0;
        options.cancelled = [&] { return cancelled = progress.wasCanceled(); };
        options.done = [&](const service::RestoreItem& item) {
            step(progress, ++done,
                 QStringLiteral("Восстановлен привод ") + QString::number(item.device.address));
        };
        step(progress, 0, QStringLiteral("Восстановление из ") + folder);
        items = service::restoreLine(*form_.WakePort, path(folder), options);
    });
    QStringList notDone;
    if (cancelled)
        for (const std::string& file : service::filesNotRestored(path(folder), items))
            notDone << QFileInfo(QString::fromStdString(file)).fileName();
    LineOperationSummary summary(folder, items, rows, cancelled, notDone, &form_);
    show(summary);
}
