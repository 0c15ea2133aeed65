// The line's backup and restore from the menu "Сервис", against a simulated
// line of two actuators: the files, the progress that can be cancelled, the
// summary of what was saved, written and verified, and the journal rows.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "inifile.h"
#include "linebackup.h"
#include "lineoperationsummary.h"
#include "lineviews.h"
#include "servicetools.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;

namespace {

struct Summary {
    QString totals;
    std::vector<QStringList> items;
    std::vector<QStringList> journal;
};

std::vector<QStringList> rowsOf(const QTableWidget* t)
{
    std::vector<QStringList> rows;
    for (int r = 0; t && r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c)
            cells << t->item(r, c)->text();
        rows.push_back(cells);
    }
    return rows;
}

class LineBackupTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        for (int a : {1, 2}) {
            line.addActuator(a, "ТИРС-70 №000" + std::to_string(a));
            line.with(a, [a](sim::ActuatorState& s) {
                s.frozen = true;
                s.V1 = 200 + a;
                s.relays[0] = {1, 20 + a, 80, 5};
            });
        }
        writeSettings("[General]\nMaster=1\n[Params]\nAddress=1\n[Names]\nAddr2=Слив\n");
        createForm(false);  // the poll runs: the operation must stop it
        ASSERT_TRUE(dir.isValid());
        QTableWidget* grid = widget<QTableWidget>("TableStrGrid");
        grid->setRowCount(2);
        for (int row = 0; row < 2; ++row) {
            grid->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
            grid->setItem(row, 1, new QTableWidgetItem(QStringLiteral("ТИРС-70")));
        }
        LineBackup& b = *form->Views->backup();
        b.ChooseFolder = [this](const QString&) { return dir.path(); };
        b.AskRestore = [this](LineBackup::RestoreChoice& c) {
            choice = c;
            return true;
        };
        b.ShowSummary = [this](LineOperationSummary* s) {
            summary = {s->totals(), rowsOf(s->items()), rowsOf(s->journal())};
        };
        b.OnProgress = [this](QProgressDialog* p) {
            pollingDuring = pollingDuring || form->Timer1->isActive();
            if (cancelAfter > 0 && p->value() >= cancelAfter)
                p->cancel();
        };
    }
    void trigger(const char* name)
    {
        auto* item = form->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        item->trigger();
    }
    // Only the operation's own requests: none of the poll's GetN.
    int polls() const
    {
        int n = 0;
        for (const auto& r : pty->requests())
            n += r.command == wire::GetN;
        return n;
    }

    QTemporaryDir dir;
    Summary summary;
    LineBackup::RestoreChoice choice;
    bool pollingDuring = false;
    int cancelAfter = 0;
};

}  // namespace

TEST_F(LineBackupTest, BackupSavesEveryActuatorOfTheScanWithThePollAtRest)
{
    pty->clearRequests();
    trigger("mnLineBackup");
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(pollingDuring);
    EXPECT_EQ(polls(), 0);
    EXPECT_TRUE(form->Timer1->isActive()) << "the poll runs again";
    ASSERT_EQ(summary.items.size(), 2u);
    EXPECT_EQ(summary.items[1][0], QStringLiteral("2"));
    EXPECT_EQ(summary.items[1][2], QStringLiteral("сохранено: A2.par"));
    EXPECT_TRUE(summary.totals.startsWith(QStringLiteral("Сохранено приводов: 2, с ошибками: 0")));
    const IniImage a2 = IniImage::load((dir.path() + QStringLiteral("/A2.par")).toStdString());
    EXPECT_EQ(a2.readString("Device", "Name", {}), "Слив");
    EXPECT_EQ(a2.readInt("Work", "V1", 0), 202);
    EXPECT_EQ(a2.readInt("Relays", "RelMin1", 0), 22);
}

TEST_F(LineBackupTest, RestoreWritesVerifiesAndShowsTheJournalRowsOfItsWrites)
{
    trigger("mnLineBackup");
    line.with(2, [](sim::ActuatorState& s) {
        s.V1 = 333;
        s.relays[0].min = 50;
    });
    pty->clearRequests();
    trigger("mnLineRestore");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(choice.files, 2);
    EXPECT_FALSE(pollingDuring);
    EXPECT_EQ(line.state(2).V1, 202);
    EXPECT_EQ(line.state(2).relays[0].min, 22);
    ASSERT_EQ(summary.items.size(), 2u);
    EXPECT_EQ(summary.items[0][3], QStringLiteral("без изменений"));
    EXPECT_EQ(summary.items[1][1], QStringLiteral("2"));
    EXPECT_EQ(summary.items[1][2], QStringLiteral("V1 333→202, RelMin1 50→22"));
    EXPECT_EQ(summary.items[1][3], QStringLiteral("записано и проверено"));
    EXPECT_TRUE(summary.totals.startsWith(
        QStringLiteral("Файлов: 2, записано и проверено: 1, с ошибками: 0")));
    // The journal's rows of the writes to actuator 2, in their order.
    QStringList actions;
    for (const QStringList& row : summary.journal) {
        EXPECT_EQ(row[1], QStringLiteral("2"));
        EXPECT_EQ(row[4], QStringLiteral("ok"));
        actions << row[2];
    }
    EXPECT_EQ(actions, (QStringList{"SetS", "SetA", "SetM", "SetP", "SetL", "SetW", "SetR"}));
    EXPECT_FALSE(form->Service->OnJournalRow) << "the restore no longer collects rows";
}

TEST_F(LineBackupTest, CancelStopsBetweenActuatorsAndTheSummarySaysSo)
{
    cancelAfter = 1;
    trigger("mnLineBackup");
    ASSERT_EQ(summary.items.size(), 1u);
    EXPECT_TRUE(summary.totals.contains(QStringLiteral("Прервано. Не сохранены: 2.")))
        << summary.totals.toStdString();
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/A1.par")));
    EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/A2.par")));

    // A silent actuator is a failed row, the other one is restored.
    cancelAfter = 0;
    QFile::copy(dir.path() + QStringLiteral("/A1.par"), dir.path() + QStringLiteral("/A2.par"));
    {
        IniImage a2 = IniImage::load((dir.path() + QStringLiteral("/A2.par")).toStdString());
        a2.writeInteger("Device", "Address", 2);
        a2.writeString("Device", "Type", "ТИРС-70 №0002");
        a2.save((dir.path() + QStringLiteral("/A2.par")).toStdString());
    }
    line.setFaults(2, silentFaults());
    trigger("mnLineRestore");
    ASSERT_EQ(summary.items.size(), 2u);
    EXPECT_TRUE(summary.items[1][3].startsWith(QStringLiteral("ошибка: ")))
        << summary.items[1][3].toStdString();
    EXPECT_TRUE(summary.totals.contains(QStringLiteral("с ошибками: 1")));
}
