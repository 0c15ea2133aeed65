// Compare before write: "Сравнить" reads the drive and leaves the fields
// alone; a write of fields changed since the last read, or loaded from a
// file, shows the differences first and goes on only when told to.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "paramcomparedialog.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;

namespace {

struct Shown {
    QString pageCaption;
    QStringList differences;
    QString summary;
    bool asking = false;
    std::map<QString, std::pair<QString, QString>> rows;  // key: drive, page
    QSet<QString> marked;
};

class ParamCompare : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0001");
        line.with(1, [](sim::ActuatorState& s) { s.frozen = true; });
        writeSettings("[General]\nMaster=1\n[Params]\nAddress=1\n");
        createForm();
        form->ShowComparison = [this](ParamCompareDialog* d) {
            Shown s;
            QTableWidget* t = d->table();
            s.pageCaption = t->horizontalHeaderItem(ParamCompareDialog::ColPage)->text();
            s.differences = d->differences();
            s.summary = d->summary();
            s.asking = d->findChild<QLabel*>(QStringLiteral("lbQuestion")) != nullptr;
            for (int row = 0; row < t->rowCount(); ++row) {
                const QString key = t->item(row, ParamCompareDialog::ColKey)->text();
                s.rows[key] = {t->item(row, ParamCompareDialog::ColDrive)->text(),
                               t->item(row, ParamCompareDialog::ColPage)->text()};
                if (t->item(row, 0)->background() == ParamCompareDialog::DifferenceColour)
                    s.marked << key;
            }
            shown.push_back(s);
            saveScreenshot(d, QStringLiteral("compare"));
            return answer;
        };
        pty->clearRequests();
    }
    TFloatEdit* fe(const char* name) const { return widget<TFloatEdit>(name); }
    void click(const char* name) { widget<QPushButton>(name)->click(); }
    std::vector<int> commands() const { return commandsOf(pty->requests()); }
    bool anyWrite() const
    {
        for (int c : commands())
            if (c == wire::SetS || c == wire::SetA || c == wire::SetW)
                return true;
        return false;
    }

    std::vector<Shown> shown;
    bool answer = false;
};

const std::vector<int> kDriveRead{wire::GetA, wire::GetM, wire::GetP,
                                  wire::GetL, wire::GetW, wire::GetT};

}  // namespace

TEST_F(ParamCompare, CompareReadsTheDriveAndMarksWhatDiffersWithoutTouchingTheFields)
{
    click("bbRead");
    typeInto(fe("feV2"), "350");
    // Changed behind the page's back; the travel is not written while
    // cbTravel is clear.
    line.with(1, [](sim::ActuatorState& s) {
        s.Il = 1900;
        s.Nt = 1800;
    });
    pty->clearRequests();
    click("btCompare");
    saveScreenshot(form.get(), QStringLiteral("params"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(commands(), kDriveRead);
    const Shown& s = shown[0];
    EXPECT_FALSE(s.asking);
    EXPECT_EQ(s.pageCaption, QStringLiteral("Страница"));
    EXPECT_EQ(s.differences, (QStringList{QStringLiteral("V2"), QStringLiteral("Il")}));
    EXPECT_EQ(s.marked, (QSet<QString>{QStringLiteral("V2"), QStringLiteral("Il")}));
    EXPECT_EQ(s.rows.at(QStringLiteral("V2")),
              std::make_pair(QStringLiteral("200"), QStringLiteral("350")));
    EXPECT_EQ(s.rows.at(QStringLiteral("Il")),
              std::make_pair(QStringLiteral("1900"), QStringLiteral("2000")));
    EXPECT_EQ(s.rows.at(QStringLiteral("Nt")),
              std::make_pair(QStringLiteral("1800"), QStringLiteral("2000")));
    EXPECT_TRUE(s.summary.contains(QStringLiteral("не записывается")));
    EXPECT_EQ(fe("feV2")->Value(), 350);
    EXPECT_EQ(fe("feIl")->Value(), 2000);

    // With the box checked the travel is written, so it counts.
    widget<QCheckBox>("cbTravel")->click();
    click("btCompare");
    EXPECT_TRUE(shown.back().differences.contains(QStringLiteral("Nt")));
}

TEST_F(ParamCompare, AWriteOfChangedFieldsAsksFirst)
{
    // Straight after a read nothing is pending: the write goes as it is.
    click("bbRead");
    pty->clearRequests();
    click("bbWrite");
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(commands().front(), wire::SetS);

    typeInto(fe("feVm"), "95");
    pty->clearRequests();
    answer = false;
    click("bbWrite");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].asking);
    EXPECT_EQ(shown[0].differences, QStringList{QStringLiteral("Vmin")});
    EXPECT_EQ(commands(), kDriveRead) << "cancelled: nothing written";
    EXPECT_EQ(line.state(1).Vmin, 80);

    answer = true;
    pty->clearRequests();
    click("bbWrite");
    ASSERT_EQ(shown.size(), 2u);
    std::vector<int> expected = kDriveRead;
    for (int c : {wire::SetS, wire::SetA, wire::SetM, wire::SetP, wire::SetL, wire::SetW})
        expected.push_back(c);
    EXPECT_EQ(commands(), expected);
    EXPECT_EQ(line.state(1).Vmin, 95);

    // The fields still differ from the last read, but the drive holds them
    // now: nothing to weigh, so the next write does not ask.
    click("bbWrite");
    EXPECT_EQ(shown.size(), 2u);
    // Neither when changed fields match what the drive holds.
    typeInto(fe("feVm"), "80");
    line.with(1, [](sim::ActuatorState& s) { s.Vmin = 80; });
    pty->clearRequests();
    click("bbWrite");
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_TRUE(anyWrite());
}

TEST_F(ParamCompare, FieldsReadFromAnotherActuatorAreComparedBeforeTheyAreWritten)
{
    line.addActuator(2, "ТИРС-70 №0002");
    line.with(2, [](sim::ActuatorState& s) {
        s.frozen = true;
        s.A = 300;
    });
    click("bbRead");  // actuator 1
    typeInto(fe("feAddr2"), "2");
    pty->clearRequests();
    click("bbWrite");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].differences, QStringList{QStringLiteral("A")});
    EXPECT_FALSE(anyWrite());
    EXPECT_EQ(line.state(2).A, 300);
}

TEST_F(ParamCompare, AFileIsComparedWithTheDriveAndAskedAboutBeforeItIsWritten)
{
    const QString path = programDir() + QStringLiteral("/compare.par");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Work]\r\nV1=250\r\n[Lock]\r\nNo=900\r\n");
    }
    form->ChooseFile = [&](QFileDialog*) { return path; };
    click("bbFileOpen");
    click("btCompare");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].pageCaption, QStringLiteral("Файл compare.par"));
    EXPECT_EQ(shown[0].differences, (QStringList{QStringLiteral("V1"), QStringLiteral("No")}));

    // Without a read before it, a loaded file is still compared first.
    pty->clearRequests();
    click("bbWrite");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[1].asking);
    EXPECT_FALSE(anyWrite());

    // An edit after the load: the page, no longer the file, is compared.
    typeInto(fe("feV1"), "260");
    click("btCompare");
    EXPECT_EQ(shown.back().pageCaption, QStringLiteral("Страница"));
    QFile::remove(path);
}

TEST_F(ParamCompare, ASilentDriveStopsTheWriteWithTheErrorBox)
{
    click("bbRead");
    typeInto(fe("feV3"), "123");
    line.setFaults(0, silentFaults());
    pty->clearRequests();
    click("bbWrite");
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("GetA")))
        << boxes[0].message.toStdString();
    EXPECT_FALSE(anyWrite());
}
