// The relay page: its controls, the relay read and write, and a silent drive.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QApplication>

#include "floatedit.h"
#include "gauge.h"
#include "shape.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;

namespace {

class RelaysPage : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0042");
        writeSettings("[Params]\nAddress=1\n");  // operator mode: the page is usable
        createForm();
        pty->clearRequests();
    }
    TFloatEdit* fe(const char* base, int k) const
    {
        return widget<TFloatEdit>((std::string(base) + std::to_string(k)).c_str());
    }
    QComboBox* mode(int k) const
    {
        return widget<QComboBox>(("cbRelEn" + std::to_string(k)).c_str());
    }
    void setRelays(const sim::RelayConfig (&r)[3])
    {
        ASSERT_TRUE(line.with(1, [&](sim::ActuatorState& s) {
            for (int k = 0; k < 3; ++k)
                s.relays[k] = r[k];
        }));
    }
    // (mode, min, max, hyst) of relay k as the drive holds it.
    std::vector<int> driveRelay(int k) const
    {
        const auto r = line.state(1).relays[k - 1];
        return {r.mode, r.min, r.max, r.hyst};
    }
    std::vector<int> shown(int k) const
    {
        return {mode(k)->currentIndex(), int(fe("feRelMin", k)->Value()),
                int(fe("feRelMax", k)->Value()), int(fe("feRelHyst", k)->Value())};
    }
    void click(const char* name) const { widget<QPushButton>(name)->click(); }
};

TEST_F(RelaysPage, HoldsThreeRelayRowsAndTheTwoGauges)
{
    const QStringList items{QStringLiteral("Выключено"), QStringLiteral("Токовый вход"),
                            QStringLiteral("Токовый выход")};
    for (int k = 1; k <= 3; ++k) {
        auto* group = widget<QGroupBox>(("GroupBox" + std::to_string(k)).c_str());
        EXPECT_EQ(group->title(), QStringLiteral(" Реле %1 ").arg(k));
        QComboBox* list = mode(k);
        EXPECT_FALSE(list->isEditable());
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        EXPECT_EQ(texts, items);
        EXPECT_EQ(list->currentIndex(), 0);
        for (const char* base : {"feRelMin", "feRelMax", "feRelHyst"}) {
            TFloatEdit* f = fe(base, k);
            EXPECT_EQ(f->parentWidget(), group) << base << k;
            EXPECT_EQ(f->MinValue(), -0.1);
            EXPECT_EQ(f->MaxValue(), 100);
            EXPECT_EQ(f->Digits(), 0);
            EXPECT_EQ(f->Precision(), 4);
            EXPECT_EQ(f->Value(), 0);
        }
        auto* square = widget<TShape>(("spRel" + std::to_string(k)).c_str());
        EXPECT_EQ(square->size(), QSize(19, 19));
        EXPECT_EQ(square->BrushColor(), QColor(Qt::white));
        EXPECT_EQ(square->PenColor(), QColor(128, 128, 128));
        QStringList labels;
        for (auto* l : group->findChildren<QLabel*>())
            labels << l->text();
        for (const char* text : {"Вкл. от", "до", "Гист.:", "%"})
            EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
        EXPECT_EQ(labels.count(QStringLiteral("%")), 3);
    }
    auto* input = widget<TGauge>("CGauge1");
    auto* output = widget<TGauge>("CGauge2");
    EXPECT_EQ(input->ForeColor(), QColor(0, 0, 128));
    EXPECT_EQ(output->ForeColor(), QColor(128, 0, 0));
    EXPECT_EQ(qobject_cast<QGroupBox*>(input->parentWidget())->title(),
              QStringLiteral(" Токовый вход "));
    EXPECT_EQ(qobject_cast<QGroupBox*>(output->parentWidget())->title(),
              QStringLiteral(" Токовый выход "));
    EXPECT_EQ(widget<QPushButton>("bbReadRel")->text(), QStringLiteral("Прочитать"));
    EXPECT_EQ(widget<QPushButton>("bbWriteRel")->text(), QStringLiteral("Записать"));
    EXPECT_FALSE(widget<QPushButton>("bbReadRel")->icon().isNull());
    EXPECT_FALSE(widget<QPushButton>("bbWriteRel")->icon().isNull());
}

TEST_F(RelaysPage, ReadSelectsTheModesAndShowsThePercentages)
{
    setRelays({{2, 10, 90, 3}, {1, 20, 80, 5}, {0, 0, 100, 0}});
    click("bbReadRel");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(commandsOf(pty->requests()), std::vector<int>{wire::GetR});
    EXPECT_EQ(mode(2)->currentText(), QStringLiteral("Токовый вход"));
    EXPECT_EQ(shown(1), (std::vector<int>{2, 10, 90, 3}));
    EXPECT_EQ(shown(2), (std::vector<int>{1, 20, 80, 5}));
    EXPECT_EQ(shown(3), (std::vector<int>{0, 0, 100, 0}));
    EXPECT_EQ(fe("feRelMax", 2)->text(), QStringLiteral("80"));
}

TEST_F(RelaysPage, ReadHoldsPercentagesAboveTheLimit)
{
    setRelays({{0, 250, 101, 100}, {}, {}});
    click("bbReadRel");
    EXPECT_EQ(shown(1), (std::vector<int>{0, 100, 100, 100}));
}

TEST_F(RelaysPage, WriteSendsTheEntriesTruncatedAndHeldAt100)
{
    typeInto(fe("feRelMin", 1), "33.9");
    EXPECT_EQ(fe("feRelMin", 1)->text(), QStringLiteral("34"));
    typeInto(fe("feRelMax", 1), "150");
    EXPECT_EQ(fe("feRelMax", 1)->Value(), 100);
    typeInto(fe("feRelHyst", 1), "-3");  // held at -0.1, sent as 0
    mode(1)->setCurrentIndex(2);
    typeInto(fe("feRelMin", 3), "70");  // above the on-to: written as entered
    typeInto(fe("feRelMax", 3), "60");
    mode(3)->setCurrentIndex(1);
    click("bbWriteRel");
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(commandsOf(pty->requests()), std::vector<int>{wire::SetR});
    EXPECT_EQ(pty->requests()[0].data,
              (std::vector<std::uint8_t>{2, 33, 100, 0, 0, 0, 0, 0, 1, 70, 60, 0}));
    EXPECT_EQ(driveRelay(1), (std::vector<int>{2, 33, 100, 0}));
    EXPECT_EQ(driveRelay(3), (std::vector<int>{1, 70, 60, 0}));
}

TEST_F(RelaysPage, SilentDriveShowsNothingAndChangesNothing)
{
    setRelays({{1, 20, 80, 5}, {2, 30, 70, 4}, {1, 1, 2, 3}});
    click("bbReadRel");
    typeInto(fe("feRelHyst", 2), "9");
    const QString status = form->StatusText();
    line.setFaults(0, silentFaults());
    pty->clearRequests();

    click("bbReadRel");
    click("bbWriteRel");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(commandsOf(pty->requests()), (std::vector<int>{wire::GetR, wire::SetR}));
    EXPECT_EQ(shown(1), (std::vector<int>{1, 20, 80, 5}));
    EXPECT_EQ(shown(2), (std::vector<int>{2, 30, 70, 9}));
    EXPECT_EQ(shown(3), (std::vector<int>{1, 1, 2, 3}));
    EXPECT_EQ(form->StatusText(), status);
    // The poll and the page change call the read directly: it never throws.
    EXPECT_NO_THROW(form->bbReadRelClick());
    EXPECT_NO_THROW(form->bbWriteRelClick());
}

TEST_F(RelaysPage, UnknownModeSelectsNoItemAndIsWrittenBackAsReported)
{
    setRelays({{1, 20, 80, 5}, {0, 0, 0, 0}, {7, 40, 60, 2}});
    click("bbReadRel");
    EXPECT_EQ(mode(3)->currentIndex(), -1);
    EXPECT_EQ(shown(3), (std::vector<int>{-1, 40, 60, 2}));
    click("bbWriteRel");
    EXPECT_EQ(driveRelay(3), (std::vector<int>{7, 40, 60, 2}));
    EXPECT_EQ(driveRelay(1), (std::vector<int>{1, 20, 80, 5}));

    // Once the operator picks an item, that is what goes out.
    mode(3)->setCurrentIndex(2);
    click("bbWriteRel");
    EXPECT_EQ(driveRelay(3), (std::vector<int>{2, 40, 60, 2}));

    // A later read of a known mode selects it again.
    setRelays({{1, 20, 80, 5}, {0, 0, 0, 0}, {1, 40, 60, 2}});
    click("bbReadRel");
    EXPECT_EQ(mode(3)->currentIndex(), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RelaysPage, FailedAutomaticReadLeavesThePollAlone)
{
    form.reset();
    writeSettings("[General]\nMaster=1\nPage=2\nAutoPar=0\nAutoRel=1\n[Params]\nAddress=1\n");
    createForm();
    setRelays({{1, 20, 80, 5}, {}, {}});
    for (int i = 0; i < 5; ++i)  // requests enough that the fault below strikes once
        form->bbReadRelClick();
    setRelays({{2, 30, 70, 4}, {}, {}});
    // The drive leaves exactly the GetR of the tick's automatic read unanswered.
    const int seen = static_cast<int>(pty->requests().size());
    ASSERT_EQ(seen, 5);
    sim::Faults faults;
    faults.silentEvery = seen + 2;  // GetInfo is the next request, GetR the one after
    line.setFaults(1, faults);
    pty->clearRequests();
    tick();
    EXPECT_EQ(commandsOf(pty->requests()), (std::vector<int>{wire::GetInfo, wire::GetR, wire::GetN,
                                                             wire::GetT, wire::GetI, wire::GetRS}));
    EXPECT_TRUE(form->DeviceFound);
    EXPECT_EQ(form->StatusText(), QStringLiteral("ТИРС-70 №0042"));
    EXPECT_EQ(shown(1), (std::vector<int>{1, 20, 80, 5}));
    EXPECT_TRUE(boxes.empty());
}

}  // namespace

TEST_F(RelaysPage, CtrlTabTurnsThePagesFromAComboBox)
{
    auto* pages = widget<QTabWidget>("PageControl");
    pages->setCurrentWidget(widget<QWidget>("tsRelays"));
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    mode(1)->setFocus();
    QTest::keyClick(mode(1), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentWidget(), widget<QWidget>("tsParams"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                    Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pages->currentWidget(), widget<QWidget>("tsRelays"));
}
