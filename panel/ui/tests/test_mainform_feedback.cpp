// After every action that changes something in a drive or a file, the status
// bar says for a few seconds what was done, where and when; then the type
// text (or "No Device" and the port's reason) is back.
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>

#include "elidedlabel.h"
#include "statusbarline.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;

namespace {

const QString kTime = QStringLiteral(", \\d\\d:\\d\\d:\\d\\d$");

class Feedback : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(5, "ТИРС-70 №0005");
        writeSettings("[General]\nMaster=1\n[Params]\nAddress=5\n");
        createForm();
        tick();  // identifies the drive: its type text is in the status bar
        form->show();
    }
    TElidedLabel* panel() const { return widget<TElidedLabel>("StatusPanel"); }
    // The report shown now, without its time.
    QString report() const
    {
        const QString text = panel()->text();
        EXPECT_TRUE(text.contains(QRegularExpression(kTime))) << text.toStdString();
        return text.left(text.size() - 10);
    }
};

TEST_F(Feedback, EveryChangingActionIsReported)
{
    const QString file = programDir() + QStringLiteral("/feedback.par");
    std::filesystem::remove(file.toStdString());
    form->ChooseFile = [&](QFileDialog*) { return file; };
    const std::pair<const char*, QString> actions[] = {
        {"bbWrite", QStringLiteral("Параметры записаны в привод 5")},
        {"bbWriteRel", QStringLiteral("Настройки реле записаны в привод 5")},
        {"bbFileSave", QStringLiteral("Файл сохранён: ") + file},
        {"bbFileOpen", QStringLiteral("Файл загружен: ") + file},
        {"btResN", QStringLiteral("Положение привода 5 сброшено в 0")},
        {"btSetAddr", QStringLiteral("Приводу присвоен адрес 5")},
        {"bbOpen", QStringLiteral("Команда «Открыть» отправлена в привод 5")},
        {"bbStopOff", QStringLiteral("Команда «Стоп/откл.» отправлена в привод 5")},
    };
    for (const auto& [button, expected] : actions) {
        SCOPED_TRACE(button);
        form->StatusLine->SetText(QStringLiteral("—"));  // no report: the panel shows this
        widget<QPushButton>(button)->click();
        EXPECT_TRUE(form->StatusLine->Reporting());
        EXPECT_EQ(report(), expected);
        // The report covers the type text, which stays the status text.
        EXPECT_EQ(form->StatusText(), QStringLiteral("—"));
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Feedback, AReportEndsAfterAFewSecondsAndAFailureReportsNothing)
{
    form->StatusLine->ReportMs = 300;
    // The type text and a port's reason are covered for the report's time only.
    form->StatusLine->SetPortProblem(QStringLiteral("COM7"),
                                     QStringLiteral("устройство не найдено"),
                                     QStringLiteral("/x/ports/COM7"));
    auto* problem = widget<QLabel>("PortProblemPanel");
    widget<QPushButton>("bbWrite")->click();
    EXPECT_FALSE(problem->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->StatusLine->Reporting(); }, 5000));
    EXPECT_EQ(panel()->text(), QStringLiteral("ТИРС-70 №0005"));
    EXPECT_TRUE(problem->isVisible());

    // The drive does not answer: the error box, and no report.
    line.setFaults(0, silentFaults());
    widget<QPushButton>("bbWrite")->click();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(form->StatusLine->Reporting());
    widget<QPushButton>("bbWriteRel")->click();  // relays: no box and no report
    EXPECT_FALSE(form->StatusLine->Reporting());
    EXPECT_EQ(panel()->text(), QStringLiteral("ТИРС-70 №0005"));
}

}  // namespace
