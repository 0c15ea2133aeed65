// The exchange monitor against the simulated line: decoded rows, outcomes
// under faults, the per-address counters, the filters, pause, clear and
// export, and a table that follows the bounded ring.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <filesystem>
#include <fstream>

#include "exchangetablemodel.h"
#include "monitorwindow.h"
#include "servicetools.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;
namespace fs = std::filesystem;

namespace {

class Monitor : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0001");
        line.with(1, [](sim::ActuatorState& s) { s.frozen = true; });
        // The position page: the tick sends GetN, GetS, GetT and GetL.
        writeSettings("[General]\nPage=1\nAutoPar=0\nAutoRel=0\nMaster=1\n[Params]\nAddress=1\n");
        createForm();
        widget<QAction>("mnMonitor")->trigger();
        monitor = widget<MonitorWindow>("MonitorWindow");
    }
    // The rows shown, as "command|request|answer|outcome".
    std::vector<std::string> rows() const
    {
        monitor->refresh();
        std::vector<std::string> out;
        const ExchangeTableModel* m = monitor->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            auto cell = [&](int c) { return m->index(r, c).data().toString().toStdString(); };
            out.push_back(
                cell(ExchangeTableModel::Command) + "|" + cell(ExchangeTableModel::Request) + "|" +
                cell(ExchangeTableModel::Answer) + "|" + cell(ExchangeTableModel::Outcome));
        }
        return out;
    }
    QString counter(int row, int column) const
    {
        monitor->refresh();
        auto* t = widget<QTableWidget>("Counters");
        return t->item(row, column) ? t->item(row, column)->text() : QString();
    }
    void faults(const sim::Faults& f) { line.setFaults(1, f); }

    MonitorWindow* monitor = nullptr;
};

}  // namespace

TEST_F(Monitor, OpensFromTheServiceMenuBetweenPortAndHelp)
{
    QStringList titles;
    for (QAction* a : form->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&Порт", "&Сервис", "По&мощь"}));
    auto* menu = widget<QMenu>("mnService");
    ASSERT_GE(menu->actions().size(), 2);  // the trends, the line and the backup follow
    EXPECT_EQ(menu->actions()[0]->text(), "Монитор обмена");
    EXPECT_EQ(menu->actions()[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
    EXPECT_EQ(menu->actions()[1]->text(), "Журнал операций");
    EXPECT_TRUE(monitor->isVisible());
    EXPECT_EQ(monitor->windowTitle(), "Монитор обмена");
    // The three menus share the bar's one row within the fixed width.
    const auto actions = form->menuBar()->actions();
    const QRect help = form->menuBar()->actionGeometry(actions.back());
    EXPECT_EQ(help.top(), form->menuBar()->actionGeometry(actions.front()).top());
    EXPECT_LE(help.right(), form->width());
}

TEST_F(Monitor, RowsDecodeEachExchangeAndNameItsOutcome)
{
    tick();  // GetInfo, GetN, GetS, GetT, GetL
    line.with(1, [](sim::ActuatorState& s) {
        s.N = 1234;
        s.driveFlags = 0x14;
    });
    tick();
    form->bbOpenClick();
    faults(errorFaults(2));
    tick();
    faults(silentFaults());
    tick();
    sim::Faults damaged;
    damaged.badCheckByte = true;
    faults(damaged);
    tick();
    sim::Faults wrong;
    wrong.wrongCommand = true;
    faults(wrong);
    tick();
    form->SelectPort(0);
    tick();

    const std::vector<std::string> expected = {
        "GetInfo||Text=\"ТИРС-70 №0001\"|ответ",
        "GetN||N=0|ответ",
        "GetS||DriveState=0 DriveFlags=8|ответ",
        "GetT||Nt=2000|ответ",
        "GetL||Vl=100 Il=2000 No=1000 Nc=1000|ответ",
        "GetN||N=1234|ответ",
        "GetS||DriveState=0 DriveFlags=20|ответ",
        "GetT||Nt=2000|ответ",
        "GetL||Vl=100 Il=2000 No=1000 Nc=1000|ответ",
        "SetS|MotionCode=5||ответ",
        "GetN|||устройство занято.",
        // The tick identifies the actuator again after a failure.
        "GetInfo|||нет ответа",
        "GetInfo|||повреждённый ответ (возможно, два привода с одним адресом)",
        "GetInfo|||неверный ответ",
        // Without a port the client sends nothing, and the tick stops at its
        // first command.
        "GetInfo|||порт не открыт",
    };
    EXPECT_EQ(rows(), expected);

    // Raw bytes on demand, and a time with milliseconds.
    const ExchangeTableModel* m = monitor->model();
    widget<QCheckBox>("cbBytes")->setChecked(true);
    EXPECT_EQ(m->index(9, ExchangeTableModel::RequestBytes).data().toString(), "05");
    EXPECT_EQ(m->index(9, ExchangeTableModel::AnswerBytes).data().toString(), "00");
    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d{3}$)")
                    .match(m->index(0, ExchangeTableModel::Time).data().toString())
                    .hasMatch());
    EXPECT_EQ(m->index(0, ExchangeTableModel::Port).data().toString(), "COM2");

    // One row of counters for address 1: 15 exchanges, 5 failed.
    EXPECT_EQ(counter(0, 0), "1");
    EXPECT_EQ(counter(0, 1), "15");
    EXPECT_EQ(counter(0, 2), "5");
    EXPECT_EQ(counter(0, 3), "1");
    EXPECT_EQ(counter(0, 4), "1");  // the silent tick
    EXPECT_EQ(counter(0, 5), "1");
    EXPECT_EQ(counter(0, 6), "1");
    EXPECT_EQ(counter(0, 7), "1");        // the damaged frame, apart from silence
    EXPECT_GE(counter(0, 8).toInt(), 1);  // the wrong answer's frame, skipped while waiting on
    EXPECT_GT(counter(0, 9).toDouble(), 0.0);
    EXPECT_GE(counter(0, 10).toDouble(), counter(0, 9).toDouble());
}

TEST_F(Monitor, FiltersPauseClearAndExportWhatIsShown)
{
    line.addActuator(2, "ТИРС-70 №0002");
    tick();
    tick();  // the same answers again: routine
    line.with(1, [](sim::ActuatorState& s) { s.N = 77; });
    tick();  // only GetN changed
    form->SelectAddress(2);
    faults(silentFaults());  // address 1 is silent now, 2 answers
    tick();
    ASSERT_EQ(rows().size(), 5u + 4u + 4u + 4u);

    widget<QCheckBox>("cbHideRoutine")->setChecked(true);
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          "GetInfo||Text=\"ТИРС-70 №0001\"|ответ",
                          "GetN||N=0|ответ",
                          "GetS||DriveState=0 DriveFlags=8|ответ",
                          "GetT||Nt=2000|ответ",
                          "GetL||Vl=100 Il=2000 No=1000 Nc=1000|ответ",
                          "GetN||N=77|ответ",
                          // Another actuator's first answers are news.
                          "GetN||N=0|ответ",
                          "GetS||DriveState=0 DriveFlags=8|ответ",
                          "GetT||Nt=2000|ответ",
                          "GetL||Vl=100 Il=2000 No=1000 Nc=1000|ответ",
                      }));
    widget<QSpinBox>("seAddress")->setValue(2);
    EXPECT_EQ(rows().size(), 4u);
    widget<QCheckBox>("cbHideRoutine")->setChecked(false);
    widget<QSpinBox>("seAddress")->setValue(-1);
    auto* outcome = widget<QComboBox>("cbOutcome");
    outcome->setCurrentIndex(outcome->findText("нет ответа"));
    EXPECT_TRUE(rows().empty());
    form->SelectAddress(1);
    tick();
    EXPECT_EQ(rows(), std::vector<std::string>{"GetN|||нет ответа"});
    outcome->setCurrentIndex(outcome->findText("все"));

    // Paused: nothing new is shown, yet the counters go on.
    const QString before = counter(0, 1);
    widget<QPushButton>("btPause")->click();
    const auto shownBefore = rows();
    tick();
    EXPECT_EQ(rows(), shownBefore);
    EXPECT_EQ(counter(0, 1).toInt(), before.toInt() + 1);
    widget<QPushButton>("btPause")->click();

    // Export: the header and exactly the rows shown.
    outcome->setCurrentIndex(outcome->findText("ответ"));
    const QString csvPath = programDir() + QStringLiteral("/monitor-export.csv");
    monitor->ChooseExportFile = [&] { return csvPath; };
    widget<QPushButton>("btExport")->click();
    std::ifstream in(csvPath.toStdString());
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    fs::remove(csvPath.toStdString());
    ASSERT_EQ(lines.size(), rows().size() + 1);
    EXPECT_EQ(lines[0], "time;port;address;command;request;answer;outcome;round_trip_ms;"
                        "request_bytes;answer_bytes");
    EXPECT_NE(lines[1].find(";COM2;1;GetInfo;;\"Text=\"\"ТИРС-70 №0001\"\"\";ответ;"),
              std::string::npos)
        << lines[1];
    // A folder that cannot hold the file: an error box, nothing else.
    monitor->ChooseExportFile = [] { return QStringLiteral("/nonexistent/x.csv"); };
    widget<QPushButton>("btExport")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains("/nonexistent/x.csv"));

    widget<QPushButton>("btClear")->click();
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(widget<QTableWidget>("Counters")->rowCount(), 0);
}

TEST(MonitorTable, FollowsTheBoundedRing)
{
    service::ExchangeRing log(10);
    ExchangeTableModel model(log);
    ExchangeRecord r;
    r.name = "GetN";
    r.command = 19;
    r.address = 1;
    const auto now = std::chrono::system_clock::now();
    for (int i = 0; i < 25; ++i) {
        r.address = i;
        log.add(r, now);
        if (i % 4 == 0)
            model.sync();
    }
    model.sync();
    ASSERT_EQ(model.rowCount(), 10);
    EXPECT_EQ(model.index(0, ExchangeTableModel::Address).data().toInt(), 15);
    EXPECT_EQ(model.index(9, ExchangeTableModel::Address).data().toInt(), 24);
    service::ExchangeFilter odd;
    odd.address = 23;
    model.setFilter(odd);
    EXPECT_EQ(model.rowCount(), 1);
    for (int i = 0; i < 10; ++i)
        log.add(r, now);  // address 24 from now on: the 23 falls out of the ring
    model.sync();
    EXPECT_EQ(model.rowCount(), 0);
}
