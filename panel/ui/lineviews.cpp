#include "lineviews.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QTableWidget>
#include <QTimer>

#include "errorbox.h"
#include "linebackup.h"
#include "lineoverviewwindow.h"
#include "mainform.h"
#include "servicetools.h"
#include "trendsfeature.h"
#include "trendswindow.h"
#include "ui_mainform.h"
#include "ui_netpage.h"

LineViews::LineViews(TMainForm& form) : QObject(&form), form_(form)
{
    backup_ = new LineBackup(form, [this] {
        std::vector<int> addresses;
        for (const service::LineDevice& d : tableDevices())
            addresses.push_back(d.address);
        return addresses;
    });
    // Every motion command that goes out, whoever sends it.
    form.Service->fanOut().add([this](const ExchangeRecord& r) {
        if (const auto marker = service::motionMarker(r))
            record_.addMarker(*marker);
    });
}

void LineViews::addMenuItems(QMenu* menu)
{
    QAction* trends = menu->addAction(QStringLiteral("Графики"));
    trends->setObjectName(QStringLiteral("mnTrends"));
    trends->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    if (!TrendsInThisBuild()) {
        trends->setText(QStringLiteral("Графики (нет в этой сборке)"));
        trends->setEnabled(false);
    }
    QAction* line = menu->addAction(QStringLiteral("Линия"));
    line->setObjectName(QStringLiteral("mnLine"));
    line->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(trends, &QAction::triggered, this, [this] { showTrends(); });
    connect(line, &QAction::triggered, this, [this] { showLine(); });
    menu->addSeparator();
    backup_->addMenuItems(menu);
}

bool LineViews::trendsOpen() const
{
    return trends_ && trends_->isVisible();
}

bool LineViews::lineOpen() const
{
    return line_ && line_->isVisible();
}

TrendsWindow* LineViews::showTrends()
{
    if (!trends_)
        trends_ = NewTrendsWindow(record_, &form_);
    if (!trends_)
        return nullptr;
    SetTrendsActuator(trends_, form_.Address, caption(form_.Address));
    trends_->show();
    trends_->raise();
    trends_->activateWindow();
    return trends_;
}

LineOverviewWindow* LineViews::showLine()
{
    if (!line_) {
        line_ = new LineOverviewWindow(overview_, &form_);
        line_->NameOf = [this](int a) { return form_.NameOf(a); };
        line_->Select = [this](int a) { RunGuarded(&form_, [this, a] { selectFromLine(a); }); };
        line_->FromKeptScan = [this] { return form_.ScanKept; };
    }
    takeDevices();
    overview_.setSelected(form_.Address);
    line_->show();
    line_->raise();
    line_->activateWindow();
    return line_;
}

QString LineViews::caption(int address) const
{
    QString text = QStringLiteral("Привод ") + QString::number(address);
    const QString name = form_.NameOf(address);
    if (!name.isEmpty())
        text += QStringLiteral(" «") + name + QStringLiteral("»");
    return text;
}

std::vector<service::LineDevice> LineViews::tableDevices() const
{
    const QTableWidget* grid = form_.uiNet->TableStrGrid;
    std::vector<service::LineDevice> devices;
    for (int row = 0; row < grid->rowCount(); ++row) {
        const QTableWidgetItem* address = grid->item(row, 0);
        bool ok = false;
        const int a = address ? address->text().toInt(&ok) : 0;
        if (!ok || a < 1)
            continue;
        const QTableWidgetItem* type = grid->item(row, 1);
        devices.push_back({a, type ? type->text().toStdString() : std::string()});
    }
    return devices;
}

void LineViews::takeDevices()
{
    overview_.setDevices(tableDevices());
}

void LineViews::pollRead(const service::PollSnapshot& snapshot)
{
    // Never while a scan or a backup holds the line.
    if (form_.Owner.exclusive() || !form_.WakePort)
        return;
    const int address = form_.Address;
    if (!snapshot.failed())
        record_.addPoll(snapshot, QDateTime::currentMSecsSinceEpoch(), address,
                        service::PositionScale{form_.MMPerStep, form_.MotSteps, form_.OptoBlades});
    if (trends_)
        SetTrendsActuator(trends_, address, caption(address));
    if (!lineOpen())
        return;
    takeDevices();
    overview_.setSelected(address);
    overview_.pollRead(address, snapshot, service::LineOverview::Clock::now());
    line_->refresh();
    // Once the tick is over and its timer runs again, so that the selected
    // actuator's next tick comes on time.
    if (!linePending_) {
        linePending_ = true;
        QTimer::singleShot(0, this, [this] {
            linePending_ = false;
            refreshLine();
        });
    }
}

service::PollNeeds LineViews::pollNeeds(int address) const
{
    service::PollNeeds needs;
    needs.trends = trendsOpen();
    needs.travelKnown = record_.knowsTravel(address);
    needs.line = lineOpen();
    const service::LineEntry* row = overview_.find(address);
    needs.lineTravelKnown = row && row->travel;
    return needs;
}

void LineViews::refreshLine()
{
    if (!lineOpen() || !form_.WakePort || form_.WakePort->Port == 0)
        return;
    // The overview waits while anything else holds the line.
    const service::LineOwner::Hold hold(form_.Owner, service::LineUse::Read);
    if (!hold || form_.Owner.holder() != service::LineUse::Read)
        return;
    takeDevices();
    overview_.setSelected(form_.Address);
    if (service::refreshNext(*form_.WakePort, overview_, service::LineOverview::Clock::now()))
        line_->refresh();
}

void LineViews::selectFromLine(int address)
{
    QTableWidget* grid = form_.uiNet->TableStrGrid;
    for (int row = 0; row < grid->rowCount(); ++row) {
        const QTableWidgetItem* item = grid->item(row, 0);
        if (item && item->text().toInt() == address) {
            // The row becomes the current one, and "Выбрать" takes it.
            grid->setCurrentCell(row, std::max(grid->currentColumn(), 0));
            form_.bbSelectClick();
            break;
        }
    }
    overview_.setSelected(form_.Address);
    if (line_)
        line_->refresh();
}
