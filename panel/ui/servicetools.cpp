#include "servicetools.h"

#include <QAction>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "commands.h"
#include "journalwindow.h"
#include "monitorwindow.h"
#include "isotime.h"
#include "wakeport.h"

ServiceTools::ServiceTools(QWidget* window, const QString& journalFolder)
    : QObject(window), window_(window), recorder_(QFile::encodeName(journalFolder).toStdString())
{
    fanOut_.add([this](const ExchangeRecord& r) {
        ring_.add(r, service::wallClockAt(r.start));
        stats_.add(r);
    });
    fanOut_.add([this](const ExchangeRecord& r) { journalExchange(r); });
    recorder_.onRow = [this](const service::journal::Row& row) { afterJournalRow(row); };
}

ServiceTools::~ServiceTools() = default;

void ServiceTools::addMenu(QMenuBar* bar, QAction* before)
{
    auto* menu = new QMenu(QStringLiteral("&Сервис"), bar);
    menu->setObjectName(QStringLiteral("mnService"));
    QAction* monitor = menu->addAction(QStringLiteral("Монитор обмена"));
    monitor->setObjectName(QStringLiteral("mnMonitor"));
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    QAction* journal = menu->addAction(QStringLiteral("Журнал операций"));
    journal->setObjectName(QStringLiteral("mnJournal"));
    connect(monitor, &QAction::triggered, this, [this] { showMonitor(); });
    connect(journal, &QAction::triggered, this, [this] { showJournal(); });
    menu_ = menu;
    if (before)
        bar->insertMenu(before, menu);
    else
        bar->addMenu(menu);
}

void ServiceTools::attach(TWakePort& port)
{
    port.SetObserver(fanOut_.observer());
}

void ServiceTools::setStrokeLabel(QLabel* label)
{
    strokeLabel_ = label;
}

void ServiceTools::setStatusBar(QStatusBar* bar)
{
    journalWarning_ = new QLabel(bar);
    journalWarning_->setObjectName(QStringLiteral("JournalWarningPanel"));
    journalWarning_->setText(QStringLiteral("Журнал не записывается"));
    journalWarning_->setStyleSheet(QStringLiteral("color: #a00000;"));
    bar->addPermanentWidget(journalWarning_);
    journalWarning_->hide();
}

void ServiceTools::fileOperation(const char* action, const std::string& port, int address,
                                 const QString& path, const QString& error)
{
    recorder_.fileOperation(action, port, address, path.toStdString(), error.toStdString());
}

MonitorWindow* ServiceTools::showMonitor()
{
    if (!monitor_)
        monitor_ = new MonitorWindow(ring_, stats_, window_);
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
    return monitor_;
}

JournalWindow* ServiceTools::showJournal()
{
    if (!journal_)
        journal_ =
            new JournalWindow(recorder_.journal().path(), recorder_.journal().oldPath(), window_);
    journal_->show();  // reads the files afresh
    journal_->raise();
    journal_->activateWindow();
    return journal_;
}

QString ServiceTools::strokeText(const service::Stroke& stroke)
{
    return (stroke.open ? QStringLiteral("Открытие: ") : QStringLiteral("Закрытие: ")) +
           QString::number(stroke.seconds, 'f', 1) + QStringLiteral(" с");
}

void ServiceTools::journalExchange(const ExchangeRecord& r)
{
    recorder_.observe(r);
    // The position page reads the flags of the actuator it shows: the label
    // follows that actuator's last stroke.
    if (strokeLabel_ && r.command == int(wake::Command::GetS)) {
        const auto stroke = recorder_.lastStroke(r.address);
        const QString text = stroke ? strokeText(*stroke) : QString();
        if (strokeLabel_->text() != text)
            strokeLabel_->setText(text);
    }
}

void ServiceTools::afterJournalRow(const service::journal::Row& row)
{
    if (OnJournalRow)
        OnJournalRow(row);
    service::OperationJournal& j = recorder_.journal();
    if (journalWarning_) {
        if (const auto warning = j.takeWarning()) {
            journalWarning_->setToolTip(QString::fromStdString(*warning));
            journalWarning_->show();
        } else if (!j.failing()) {
            journalWarning_->hide();
        }
    }
    if (!j.failing() && journal_ && journal_->isVisible())
        journal_->appendRow(row);
}
