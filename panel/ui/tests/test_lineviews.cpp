// The menu "Сервис": the trends (what they record, what they add to the
// line while open and only then, pause, export) and the line overview (its
// round between the selected actuator's ticks, silent rows, selection).
#include <QAction>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <set>

#include "codes.h"
#include "drivestate.h"
#include "lineoverviewwindow.h"
#include "lineviews.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"
#include "trendswindow.h"

using namespace uitest;

namespace {

enum Page { Net = 0, Control = 1, Relays = 2, Params = 3 };

class LineViewsTest : public WindowTest {
protected:
    TMainForm& start(int page, const std::vector<int>& addresses = {1})
    {
        for (int a : addresses) {
            line.addActuator(a, "ТИРС-70 №000" + std::to_string(a));
            line.with(a, [a](sim::ActuatorState& s) {
                s.frozen = true;
                s.N = 500 * a;
                s.Nt = 2000;
            });
        }
        writeSettings(
            "[General]\nPage=" + std::to_string(page) +
            "\nMaster=1\nAutoPar=0\nAutoRel=0\n[Params]\nAddress=1\n[Names]\nAddr2=Слив\n");
        TMainForm& f = createForm();
        tick();  // identification
        return f;
    }
    // The device table as a scan of these addresses leaves it.
    void listDevices(const std::vector<int>& addresses)
    {
        QTableWidget* grid = widget<QTableWidget>("TableStrGrid");
        grid->setRowCount(static_cast<int>(addresses.size()));
        for (int row = 0; row < static_cast<int>(addresses.size()); ++row) {
            grid->setItem(row, 0, new QTableWidgetItem(QString::number(addresses[row])));
            grid->setItem(row, 1, new QTableWidgetItem(QStringLiteral("ТИРС-70")));
            grid->setItem(row, 2, new QTableWidgetItem(QString()));
        }
    }
    QAction* menuItem(const char* name) const
    {
        auto* item = form->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }
    std::vector<int> tickCommands()
    {
        pty->clearRequests();
        tick();
        return commandsOf(pty->requests());
    }
    void showPage(int page)
    {
        widget<QTabWidget>("PageControl")->setCurrentIndex(page);
        form->Timer1->stop();
    }
    LineViews& views() const { return *form->Views; }
};

}  // namespace

TEST_F(LineViewsTest, TrendsAddWhatThePageLacksToTheTickOnlyWhileOpen)
{
    using namespace wire;
    start(Net);
    QMenu* service = form->findChild<QMenu*>(QStringLiteral("mnService"));
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->title(), QStringLiteral("&Сервис"));
    QStringList items;
    for (QAction* a : service->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"Монитор обмена", "Журнал операций", "-", "Графики", "Линия", "-",
                                  "Резервная копия линии…", "Восстановить линию…"}));
    EXPECT_EQ(menuItem("mnTrends")->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));

    // Closed: the line carries the tick's own requests only.
    EXPECT_EQ(tickCommands(), std::vector<int>{GetN});
    showPage(Control);
    EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetS, GetT, GetL}));
    showPage(Relays);
    EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetT, GetI, GetRS}));

    menuItem("mnTrends")->trigger();
    ASSERT_TRUE(views().trendsOpen());
    EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetT, GetI, GetRS, GetS}));
    showPage(Control);
    EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetS, GetT, GetL, GetI, GetRS}));
    for (int page : {Net, Params}) {
        showPage(page);
        EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetS, GetI, GetRS})) << page;
    }

    views().trendsWindow()->close();
    EXPECT_EQ(tickCommands(), std::vector<int>{GetN});
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LineViewsTest, TrendsRecordPositionStateCurrentAndRelaysFromAnyPage)
{
    using namespace wire;
    start(Params);
    line.with(1, [](sim::ActuatorState& s) {
        s.driveState = 1;
        s.inputCurrent = 12000;
        s.relayStates = 0b100;
    });
    TrendsWindow* w = views().showTrends();
    // No travel read yet at this address: the first tick reads it once.
    EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetS, GetT, GetI, GetRS}));
    EXPECT_EQ(tickCommands(), (std::vector<int>{GetN, GetS, GetI, GetRS}));
    const service::TrendSample& s = views().record().samples().back();
    EXPECT_DOUBLE_EQ(*s.percent, 25.0);
    EXPECT_EQ(s.driveState, 1);
    EXPECT_EQ(s.inputCurrent, 12000);
    EXPECT_EQ(s.relayStates, 0b100);

    // The state chart names the states it draws.
    w->Now = [&] { return s.time + 1000; };
    w->refresh();
    auto* axis =
        static_cast<QCategoryAxis*>(w->chart(TrendsWindow::StateChart)->axes(Qt::Vertical)[0]);
    EXPECT_EQ(axis->categoriesLabels(), QStringList{QString::fromUtf8(drivestate::text(1))});
    EXPECT_FALSE(w->lineSeries(service::TrendQuantity::Relay3)[0]->points().isEmpty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LineViewsTest, TrendsNameEveryStateOfAWideSpanEachOnARowOfItsOwn)
{
    start(Params);
    TrendsWindow* w = views().showTrends();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    views().record().clear();
    // Every state but 3, two seconds each, within the last minute.
    const std::int64_t t0 = 1'800'000'000'000;
    QStringList names;
    for (int code = 0; code < drivestate::Count; ++code) {
        if (code == 3)
            continue;
        service::TrendSample s;
        s.time = t0 + 2000 * static_cast<std::int64_t>(names.size());
        s.address = 1;
        s.breakBefore = names.isEmpty();
        s.driveState = code;
        views().record().add(s);
        names << QString::fromUtf8(drivestate::text(code));
    }
    w->Now = [&] { return t0 + 30'000; };
    w->refresh();
    QTest::qWait(100);  // the charts take their heights and lay out

    auto* axis =
        static_cast<QCategoryAxis*>(w->chart(TrendsWindow::StateChart)->axes(Qt::Vertical)[0]);
    EXPECT_EQ(axis->categoriesLabels(), names);
    // The missing code takes no row: the twelve states are drawn on rows 0 to 11.
    std::set<double> rows;
    for (const QPointF& p : w->lineSeries(service::TrendQuantity::DriveState)[0]->points())
        rows.insert(p.y());
    EXPECT_EQ(rows.size(), 12u);
    EXPECT_EQ(*rows.begin(), 0.0);
    EXPECT_EQ(*rows.rbegin(), 11.0);
    // Qt Charts drops a label that would overlap another: none is dropped.
    QStringList shown;
    for (QGraphicsItem* item : w->chart(TrendsWindow::StateChart)->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
            shown << text->toPlainText();
    for (const QString& name : names)
        EXPECT_TRUE(shown.contains(name)) << name.toStdString();
    saveScreenshot(w, QStringLiteral("trends-all-states"));
}

TEST_F(LineViewsTest, TrendsRecordTheTicksAndTheMotionCommands)
{
    start(Control);
    line.with(1, [](sim::ActuatorState& s) {
        s.N = 1000;
        s.driveState = 1;
        s.inputCurrent = 12000;
        s.relayStates = 0b100;
    });
    TrendsWindow* w = views().showTrends();
    views().record().clear();
    tick();  // position page: state, travel
    QTest::mouseClick(widget<QPushButton>("bbOpen"), Qt::LeftButton);
    showPage(Relays);  // its tick: current, relays, and the trends' state
    showPage(Net);
    line.with(1, [](sim::ActuatorState& s) { s.inputCurrent = 20000; });
    tick();  // the trends' state and current; the travel read before

    const auto& s = views().record().samples();
    ASSERT_GE(s.size(), 3u);
    const service::TrendSample& onControl = s[0];
    EXPECT_EQ(onControl.address, 1);
    EXPECT_DOUBLE_EQ(*onControl.percent, 50.0);
    EXPECT_NEAR(*onControl.millimetres, 20.75, 1e-9);
    EXPECT_EQ(onControl.driveState, 1);
    EXPECT_EQ(onControl.inputCurrent, 12000);
    const service::TrendSample& last = s.back();
    EXPECT_EQ(last.inputCurrent, 20000);
    EXPECT_DOUBLE_EQ(*last.percent, 50.0);
    EXPECT_EQ(last.relayStates, 0b100);
    ASSERT_EQ(views().record().markers().size(), 1u);
    EXPECT_EQ(views().record().markers()[0].motionCode, wake::CmdOpen);

    // Drawn over the last five minutes, the marker on the position line.
    w->Now = [&] { return s.back().time + 1000; };
    w->refresh();
    const auto percent = w->lineSeries(service::TrendQuantity::Percent);
    ASSERT_FALSE(percent.empty());
    ASSERT_GE(percent[0]->count(), 3);
    EXPECT_DOUBLE_EQ(percent[0]->at(0).y(), 50.0);
    QScatterSeries* open = w->markerSeries(wake::CmdOpen);
    ASSERT_EQ(open->count(), 1);
    EXPECT_DOUBLE_EQ(open->at(0).y(), 50.0);
    const auto* axis =
        static_cast<QDateTimeAxis*>(w->chart(TrendsWindow::PositionChart)->axes(Qt::Horizontal)[0]);
    EXPECT_EQ(axis->max().toMSecsSinceEpoch() - axis->min().toMSecsSinceEpoch(), 5 * 60 * 1000);
    EXPECT_TRUE(w->chart(TrendsWindow::InputChart)->title().endsWith(QStringLiteral("20.00 мА")));
    EXPECT_EQ(w->chart(TrendsWindow::StateChart)->title(),
              QStringLiteral("Состояние привода: ") +
                  QString::fromUtf8(drivestate::text(line.state(1).driveState)));

    // Paused, the picture stands while the record goes on.
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btPause")), Qt::LeftButton);
    ASSERT_TRUE(w->paused());
    const int drawn = percent[0]->count();
    const std::size_t recorded = s.size();
    tick();
    w->Now = [&] { return s.back().time + 1000; };
    w->refresh();
    EXPECT_EQ(percent[0]->count(), drawn);
    EXPECT_EQ(s.size(), recorded + 1);
    QTest::qWait(50);  // the charts lay out on the event loop
    saveScreenshot(w, QStringLiteral("trends"));
}

TEST_F(LineViewsTest, TrendsExportTheRecordAsCsvAndThePictureAsPng)
{
    start(Control);
    TrendsWindow* w = views().showTrends();
    tick();
    tick();
    QStringList offered;
    const QString dir = programDir();
    w->ChooseSaveFile = [&](const QString& filter, const QString& suggested) {
        offered << filter;
        return suggested.endsWith(QStringLiteral(".csv")) ? dir + QStringLiteral("/trends.csv")
                                                          : dir + QStringLiteral("/trends.png");
    };
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btSaveCsv")), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btSavePng")), Qt::LeftButton);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Таблицы CSV (*.csv)"),
                                    QStringLiteral("Рисунки PNG (*.png)")}));
    QFile csv(dir + QStringLiteral("/trends.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList rows =
        QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + static_cast<int>(views().record().samples().size()));
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("time;address;position;percent")));
    EXPECT_TRUE(rows[1].contains(QStringLiteral(";1;500;25.0;10.38;0;Привод остановлен;")))
        << rows[1].toStdString();
    EXPECT_FALSE(QImage(dir + QStringLiteral("/trends.png")).isNull());
    QFile::remove(dir + QStringLiteral("/trends.csv"));
    QFile::remove(dir + QStringLiteral("/trends.png"));

    // A file that cannot be written is reported.
    w->ChooseSaveFile = [&](const QString&, const QString&) {
        return dir + QStringLiteral("/no-such-folder/trends.csv");
    };
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btSaveCsv")), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.startsWith(QStringLiteral("Cannot create file ")));
}

TEST_F(LineViewsTest, LineOverviewReadsOneOtherActuatorBetweenTicksWithoutDelayingThem)
{
    start(Control, {1, 2, 3});
    listDevices({1, 2, 3});
    line.with(3, [](sim::ActuatorState& s) {
        s.driveState = 7;
        s.driveFlags = wake::flag::Limo;
    });
    // The selected actuator's tick period, from its GetN requests.
    const auto period = [&](int ticks) {
        pty->clearRequests();
        form->Timer1->start();
        const auto selectedPolls = [](const std::vector<sim::LoggedRequest>& log) {
            std::vector<std::chrono::steady_clock::time_point> t;
            for (const auto& r : log)
                if (r.address == 1 && r.command == wire::GetN)
                    t.push_back(r.time);
            return t;
        };
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return selectedPolls(pty->requests()).size() > std::size_t(ticks); }, 30000));
        form->Timer1->stop();
        const auto t = selectedPolls(pty->requests());
        return std::chrono::duration<double, std::milli>(t.back() - t.front()).count() /
               static_cast<double>(t.size() - 1);
    };
    const double closed = period(12);
    for (const auto& r : pty->requests())
        EXPECT_EQ(r.address, 1) << "closed, the overview reads nothing";

    views().showLine();
    const double open = period(12);
    EXPECT_NEAR(open, closed, closed * 0.10);
    // Between two ticks of the selected actuator, one other request at most.
    int others = 0, most = 0;
    for (const auto& r : pty->requests()) {
        if (r.address == 1 && r.command == wire::GetN)
            others = 0;
        else if (r.address != 1)
            most = std::max(most, ++others);
    }
    EXPECT_EQ(most, 1);

    QTableWidget* table = views().lineWindow()->table();
    ASSERT_EQ(table->rowCount(), 3);
    const auto cell = [&](int row, int col) { return table->item(row, col)->text(); };
    EXPECT_EQ(cell(0, LineOverviewWindow::ColPercent), QStringLiteral("25"));
    EXPECT_EQ(cell(0, LineOverviewWindow::ColState), QStringLiteral("Привод остановлен"));
    EXPECT_TRUE(table->item(0, 0)->font().bold()) << "the selected actuator";
    EXPECT_EQ(cell(1, LineOverviewWindow::ColName), QStringLiteral("Слив"));
    EXPECT_EQ(cell(1, LineOverviewWindow::ColPercent), QStringLiteral("50"));
    EXPECT_EQ(cell(2, LineOverviewWindow::ColPercent), QStringLiteral("75"));
    EXPECT_EQ(cell(2, LineOverviewWindow::ColState),
              QStringLiteral("Блокировка открытия закончена"));
    EXPECT_EQ(cell(2, LineOverviewWindow::ColFlags), QStringLiteral("LIMO"));
    EXPECT_TRUE(cell(2, LineOverviewWindow::ColAge).endsWith(QStringLiteral(" с")));
    saveScreenshot(views().lineWindow(), QStringLiteral("line"));
}

TEST_F(LineViewsTest, SilentRowsStandOutAndADoubleClickSelects)
{
    start(Net, {1, 2});
    listDevices({1, 2});
    LineOverviewWindow* w = views().showLine();
    line.setFaults(2, silentFaults());
    pty->clearRequests();
    for (int i = 0; i < 3 && !views().overview().find(2)->silent; ++i) {
        tick();
        QTest::qWait(1);  // the overview's reading after the tick
    }
    QTableWidget* table = w->table();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_TRUE(views().overview().find(2)->silent);
    EXPECT_EQ(table->item(1, LineOverviewWindow::ColAge)->text(), QStringLiteral("нет"));
    EXPECT_NE(table->item(1, 0)->background(), table->item(0, 0)->background());
    EXPECT_EQ(form->WakePort->DevAddr, 1);

    line.clearFaults();
    const QRect r = table->visualItemRect(table->item(1, 0));
    // A double click is a press, a release, and a second press.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(form->Address, 2);
    EXPECT_EQ(form->WakePort->DevAddr, 2);
    EXPECT_EQ(form->StatusText(), QStringLiteral("ТИРС-70 №0002"));
    EXPECT_EQ(commandsOf(pty->requests()).back(), wire::GetInfo);
    EXPECT_TRUE(table->item(1, 0)->font().bold());
}
