// The operation journal from the window: the rows of parameter and relay
// writes, an address assignment, the motion buttons, the shutdown and the
// parameter files; its rotation at 10 MB, a journal that cannot be written,
// the journal window, and a stroke timed to the limit switch.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "journal.h"
#include "journaltablemodel.h"
#include "journalwindow.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;
namespace fs = std::filesystem;

namespace {

std::string readText(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

service::journal::Row row(int address, const std::string& action, const std::string& values)
{
    return {"2024-05-17T14:03:27.418+03:00", "COM2", address, "ТИРС-70", action, values, "ok"};
}

void writeJournal(const QString& path, const std::vector<service::journal::Row>& rows)
{
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << service::journal::Header << '\n';
    for (const auto& r : rows)
        out << service::journal::formatRow(r) << '\n';
}

class Journal : public WindowTest {
protected:
    void start(int page = 0, bool frozen = true)
    {
        line.addActuator(1, "ТИРС-70 №0001");
        line.with(1, [frozen](sim::ActuatorState& s) { s.frozen = frozen; });
        writeSettings("[General]\nMaster=1\nAutoPar=0\nAutoRel=0\nPage=" + std::to_string(page) +
                      "\n[Params]\nAddress=1\n");
        createForm();
    }
    std::vector<service::journal::Row> rows() const
    {
        return service::journal::readFile(journalPath().toStdString());
    }
    std::vector<std::string> actions() const
    {
        std::vector<std::string> out;
        for (const auto& r : rows())
            out.push_back(r.action + " " + std::to_string(r.address) + " " + r.values);
        return out;
    }
    QLabel* warning() const { return widget<QLabel>("JournalWarningPanel"); }
};

}  // namespace

TEST_F(Journal, EveryChangeOfAnActuatorAndEveryParameterFileIsAppended)
{
    start();
    tick();  // identifies the actuator: its type text goes into the rows
    form->bbReadClick();
    form->bbWriteClick();
    form->bbWriteRelClick();
    form->bbCloseClick();
    form->bbStopClick();
    form->bbStopOffClick();
    form->bbOpenClick();
    const QString par = programDir() + QStringLiteral("/journal-test.par");
    form->ChooseFile = [&](QFileDialog*) { return par; };
    form->bbFileSaveClick();
    form->bbFileOpenClick();
    fs::remove(par.toStdString());
    form->SelectAddress(7);
    form->btSetAddrClick();
    closeForm();  // stop and switch off, to address 7 now
    EXPECT_TRUE(boxes.empty());

    const std::string text = readText(journalPath());
    EXPECT_EQ(text.substr(0, text.find('\n')), "time;port;address;type;action;values;result");
    const std::string p = par.toStdString();
    EXPECT_EQ(actions(),
              (std::vector<std::string>{
                  "SetS 1 MotionCode=0",  // a parameter write stops the drive first
                  "SetA 1 A=200 Ia=1500",
                  "SetM 1 Vmin=80 Extra=220",  // the drive's extra byte: the current's low byte
                  "SetP 1 Vp=300 Ip=800 Np=200", "SetL 1 Vl=100 Il=2000 No=1000 Nc=1000",
                  "SetW 1 V1=200 I1=1000 V2=200 I2=1000 V3=200 I3=1000 V4=200 I4=1000",
                  "SetR 1 RelEn1=0 RelMin1=0 RelMax1=0 RelHyst1=0 RelEn2=0 RelMin2=0 RelMax2=0 "
                  "RelHyst2=0 RelEn3=0 RelMin3=0 RelMax3=0 RelHyst3=0",
                  "SetS 1 MotionCode=6", "SetS 1 MotionCode=4", "SetS 1 MotionCode=0",
                  "SetS 1 MotionCode=5", "FileSave 1 " + p, "FileLoad 1 " + p,
                  "SetAddr 0 Key=0xA35C Addr=7",  // sent without an address
                  "SetS 7 MotionCode=0",          // the shutdown
              }));
    const auto r = rows();
    for (const auto& each : r) {
        EXPECT_EQ(each.port, "COM2");
        EXPECT_EQ(each.result, "ok");
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)")
                        .match(QString::fromStdString(each.time))
                        .hasMatch())
            << each.time;
    }
    EXPECT_EQ(r.front().type, "ТИРС-70 №0001");
    EXPECT_EQ(r[12].type, "ТИРС-70 №0001");
}

TEST_F(Journal, FailuresAreJournalledWithTheirText)
{
    start();
    line.setFaults(1, errorFaults(4));
    EXPECT_THROW(form->bbOpenClick(), EHardwareException);  // for the window's error box
    line.setFaults(1, silentFaults());
    form->bbWriteRelClick();  // the relay page swallows its failure, the journal does not
    form->ChooseFile = [](QFileDialog*) { return QStringLiteral("/nonexistent/folder/p.par"); };
    form->bbFileSaveClick();
    EXPECT_EQ(boxes.size(), 1u);  // the save's own error box
    const auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].result, "неправильные параметры.");
    EXPECT_EQ(r[1].action, "SetR");
    EXPECT_EQ(r[1].result, "нет ответа");
    EXPECT_EQ(r[2].action, "FileSave");
    EXPECT_NE(r[2].result, "ok");
    EXPECT_NE(r[2].result.find("/nonexistent/folder/p.par"), std::string::npos) << r[2].result;
}

TEST_F(Journal, PastTenMegabytesTheFileBecomesTheOneOldFile)
{
    start();
    writeJournal(oldJournalPath(), {row(9, "SetS", "MotionCode=0")});  // replaced
    {
        std::ofstream out(journalPath().toStdString(), std::ios::binary | std::ios::trunc);
        out << service::journal::Header << '\n';
        const std::string filler =
            service::journal::formatRow(row(2, "SetS", "MotionCode=4")) + '\n';
        for (std::uintmax_t n = std::strlen(service::journal::Header) + 1;
             n < service::journal::RotateBytes; n += filler.size())
            out << filler;
    }
    ASSERT_GE(fs::file_size(journalPath().toStdString()), service::journal::RotateBytes);
    form->bbOpenClick();  // the row that takes it past 10 MB, then the rename
    EXPECT_FALSE(fs::exists(journalPath().toStdString()));
    const auto old = service::journal::readFile(oldJournalPath().toStdString());
    ASSERT_GT(old.size(), 1000u);
    EXPECT_EQ(old.front().address, 2);
    EXPECT_EQ(old.back().values, "MotionCode=5");
    form->bbStopClick();
    EXPECT_EQ(actions(), std::vector<std::string>{"SetS 1 MotionCode=4"});
    EXPECT_FALSE(warning()->isVisibleTo(form.get()));
}

TEST_F(Journal, AJournalThatCannotBeWrittenWarnsOnceAndTheProgramGoesOn)
{
    start();
    // A folder in the journal's place: the program's folder as good as
    // read-only (root writes into a read-only folder, but not into this).
    fs::create_directories(journalPath().toStdString());
    form->bbOpenClick();
    form->bbStopClick();
    EXPECT_EQ(commandsOf(pty->requests()), (std::vector<int>{wire::SetS, wire::SetS}));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(warning()->isVisibleTo(form.get()));
    EXPECT_EQ(warning()->text(), "Журнал не записывается");
    EXPECT_TRUE(warning()->toolTip().contains(journalPath())) << warning()->toolTip().toStdString();
    tick();
    EXPECT_EQ(form->StatusText(), "ТИРС-70 №0001");  // the tick's own panel is untouched
    EXPECT_TRUE(warning()->isVisibleTo(form.get()));

    fs::remove_all(journalPath().toStdString());
    form->bbStopOffClick();
    EXPECT_FALSE(warning()->isVisibleTo(form.get()));
    EXPECT_EQ(actions(), std::vector<std::string>{"SetS 1 MotionCode=0"});
}

TEST_F(Journal, TheWindowShowsBothFilesFilteredByAddressAndNewRowsAtOnce)
{
    start();
    writeJournal(oldJournalPath(),
                 {row(1, "SetA", "A=200 Ia=1500"), row(2, "SetS", "MotionCode=5")});
    writeJournal(journalPath(), {row(2, "SetT", "Nt=2000"), row(1, "SetS", "MotionCode=6")});
    widget<QAction>("mnJournal")->trigger();
    auto* window = widget<JournalWindow>("JournalWindow");
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Журнал операций");
    JournalTableModel* model = window->model();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->row(0)->action, "SetA");
    EXPECT_EQ(model->row(3)->values, "MotionCode=6");
    EXPECT_EQ(model->data(model->index(3, JournalTableModel::Values), Qt::DisplayRole),
              "MotionCode=6 (Закрыть)");
    EXPECT_EQ(model->headerData(JournalTableModel::Values, Qt::Horizontal, Qt::DisplayRole),
              "Значения");

    widget<QSpinBox>("seAddress")->setValue(2);
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->row(1)->action, "SetT");
    form->bbOpenClick();  // address 1: journalled, hidden by the filter
    EXPECT_EQ(model->rowCount(), 2);
    widget<QSpinBox>("seAddress")->setValue(-1);
    ASSERT_EQ(model->rowCount(), 5);
    EXPECT_EQ(model->row(4)->values, "MotionCode=5");
    EXPECT_EQ(model->row(4)->type, "");  // not identified yet
    window->resize(900, 260);
    saveScreenshot(window, QStringLiteral("journal-window"));
}

TEST_F(Journal, AStrokeIsTimedAfterASwitchToTheRelaysPage)
{
    start(1, false);
    line.setTimeScale(150);
    tick();
    form->bbOpenClick();
    widget<QTabWidget>("PageControl")->setCurrentIndex(2);
    form->Timer1->stop();
    // The relay page's tick adds GetS while the stroke is pending.
    using namespace wire;
    const std::vector<int> relayTick{GetN, GetT, GetI, GetRS},
        timedTick{GetN, GetT, GetI, GetRS, GetS};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<int> last;
    while (rows().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(50);
        pty->clearRequests();
        tick();
        last = commandsOf(pty->requests());
        if (rows().size() < 2)
            ASSERT_EQ(last, timedTick);
    }
    const auto r = rows();
    ASSERT_EQ(r.size(), 2u) << "no stroke within a minute";
    EXPECT_EQ(r[1].action, "StrokeOpen");
    EXPECT_EQ(last, timedTick);  // the tick that ended it
    pty->clearRequests();
    tick();
    EXPECT_EQ(commandsOf(pty->requests()), relayTick);
}

TEST_F(Journal, AStrokeToTheLimitSwitchIsTimedAndShownBesideTheBar)
{
    start(1, false);
    line.setTimeScale(150);  // a full stroke in well under two seconds
    tick();
    ASSERT_TRUE(line.state(1).driveFlags & 0x08);  // at LIMC
    const auto started = std::chrono::steady_clock::now();
    form->bbOpenClick();
    auto* label = widget<QLabel>("lbStroke");
    const auto deadline = started + std::chrono::seconds(60);
    while (label->text().isEmpty() && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(50);
        tick();
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_FALSE(label->text().isEmpty()) << "no stroke within a minute";
    EXPECT_TRUE(line.state(1).driveFlags & 0x04);  // at LIMO
    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].action, "StrokeOpen");
    EXPECT_EQ(r[1].type, "ТИРС-70 №0001");
    const QRegularExpressionMatch m =
        QRegularExpression(R"(^seconds=(\d+\.\d)$)").match(QString::fromStdString(r[1].values));
    ASSERT_TRUE(m.hasMatch()) << r[1].values;
    const double seconds = m.captured(1).toDouble();
    EXPECT_GT(seconds, 0.0);
    EXPECT_LE(seconds, elapsed + 0.05);
    EXPECT_EQ(label->text(), QStringLiteral("Открытие: ") + m.captured(1) + QStringLiteral(" с"));
    // The label stands in the gap between the two zone captions.
    const QRect gap = label->geometry();
    EXPECT_GE(gap.left(), widget<QLabel>("lbZoneClose")->geometry().right());
    EXPECT_LE(gap.right(), widget<QLabel>("lbZoneOpen")->geometry().left());
}
