// The drive parameters page: read, write, address assignment, counter reset,
// highlight colours and operator mode.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QFileDialog>

#include <cstdio>
#include <fstream>
#include <QPushButton>
#include <QTabWidget>

#include "floatedit.h"
#include "paramcomparedialog.h"
#include "paramview.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;

namespace {

class ParamsPage : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0042");
        writeSettings(settings());
        createForm();
        pty->clearRequests();
    }
    virtual std::string settings() const { return "[General]\nMaster=1\n[Params]\nAddress=1\n"; }

    TFloatEdit* fe(const char* name) const { return widget<TFloatEdit>(name); }
    QPushButton* button(const char* name) const { return widget<QPushButton>(name); }
    std::vector<int> commands() const { return commandsOf(pty->requests()); }
    sim::ActuatorState drive(int address = 1) const { return line.state(address); }
    void setDrive(const std::function<void(sim::ActuatorState&)>& f)
    {
        ASSERT_TRUE(line.with(1, [&](sim::ActuatorState& s) {
            s.frozen = true;  // keep workStatus as the test sets it
            f(s);
        }));
    }
};

TEST_F(ParamsPage, ReadShowsEveryParameterHeldByTheFieldLimits)
{
    setDrive([](sim::ActuatorState& s) {
        s.Vmin = 0;  // below feVm's lower limit 1
        s.extraM = 77;
        s.A = 5000;  // above edA's 4000
        s.Ia = 1500;
        s.V1 = 101, s.I1 = 1001, s.V2 = 102, s.I2 = 1002;
        s.V3 = 103, s.I3 = 1003, s.V4 = 104, s.I4 = 1004;
        s.Vp = 310, s.Ip = 820, s.Np = 210;
        s.Vl = 110, s.Il = 2500, s.No = 1100, s.Nc = 1200;
        s.Nt = 2000;
        s.workStatus = 0;
    });
    ASSERT_FALSE(fe("feNt")->isEnabled());
    button("bbRead")->click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(commands(), (std::vector<int>{wire::GetInfo, wire::GetA, wire::GetM, wire::GetP,
                                            wire::GetL, wire::GetW, wire::GetT}));
    EXPECT_EQ(widget<QLineEdit>("edType2")->text(), QStringLiteral("ТИРС-70 №0042"));
    const std::pair<const char*, double> expected[] = {
        {"feVm", 1},    {"edA", 4000},  {"feIa", 1500}, {"feV1", 101},  {"feI1", 1001},
        {"feV2", 102},  {"feI2", 1002}, {"feV3", 103},  {"feI3", 1003}, {"feV4", 104},
        {"feI4", 1004}, {"feVp", 310},  {"feIp", 820},  {"feNp", 210},  {"feVl", 110},
        {"feIl", 2000}, {"feNo", 1100}, {"feNc", 1200}, {"feNt", 2000}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(fe(name)->Value(), value) << name;
    // 2000 optical steps x 0.00083 x 200 / 8
    EXPECT_NEAR(fe("feLt")->Value(), 41.5, 1e-9);
    EXPECT_EQ(fe("feLt")->text(), QStringLiteral("41.5"));

    // A following write sends the clamped values.
    pty->clearRequests();
    button("bbWrite")->click();
    EXPECT_TRUE(boxes.empty());
    const auto s = drive();
    EXPECT_EQ(s.Vmin, 1);
    EXPECT_EQ(s.A, 4000);
    EXPECT_EQ(s.Il, 2000);
    EXPECT_EQ(s.extraM, 1500 & 0xFF);  // the Ia just sent, low byte
    EXPECT_EQ(s.V4, 104);
    EXPECT_EQ(s.Nc, 1200);
}

TEST_F(ParamsPage, MillimetresFollowTheConversionConstants)
{
    closeForm();
    form.reset();
    writeSettings("[General]\nMaster=1\n[Params]\nAddress=1\nMMPerStep=0.5\nMotSteps=4\n"
                  "OptoBlades=0\n");
    createForm();
    setDrive([](sim::ActuatorState& s) { s.Nt = 100; });
    form->bbReadClick();
    EXPECT_EQ(fe("feLt")->Value(), 0);  // no divisor: nothing to show
    form->OptoBlades = 8;
    form->bbReadClick();
    EXPECT_DOUBLE_EQ(fe("feLt")->Value(), 25.0);  // 100 x 0.5 x 4 / 8
}

TEST_F(ParamsPage, TypedFractionShowsRoundedAndIsWrittenTruncated)
{
    typeInto(fe("feV1"), "12.7");
    EXPECT_EQ(fe("feV1")->text(), QStringLiteral("13"));
    EXPECT_DOUBLE_EQ(fe("feV1")->Value(), 12.7);
    typeInto(fe("feI2"), "-5");  // held at -0.1, sent as 0
    EXPECT_DOUBLE_EQ(fe("feI2")->Value(), -0.1);
    typeInto(fe("feIa"), "999.99");
    button("bbWrite")->click();
    EXPECT_TRUE(boxes.empty());
    const auto s = drive();
    EXPECT_EQ(s.V1, 12);
    EXPECT_EQ(s.I2, 0);
    EXPECT_EQ(s.Ia, 999);
    EXPECT_EQ(s.extraM, 999 & 0xFF);
}

TEST_F(ParamsPage, WriteSendsSixCommandsWithoutTravelAndSevenWithIt)
{
    setDrive([](sim::ActuatorState& s) { s.Nt = 2000; });
    typeInto(fe("feVm"), "90");
    button("bbWrite")->click();
    const std::vector<int> six{wire::SetS, wire::SetA, wire::SetM,
                               wire::SetP, wire::SetL, wire::SetW};
    EXPECT_EQ(commands(), six);
    ASSERT_FALSE(pty->requests().empty());
    EXPECT_EQ(pty->requests()[0].data, std::vector<std::uint8_t>{0});  // wake::CmdStopOff
    EXPECT_EQ(wordAt(pty->requests()[2].data, 0), 90);
    EXPECT_EQ(drive().Nt, 2000);

    widget<QCheckBox>("cbTravel")->click();
    EXPECT_TRUE(fe("feNt")->isEnabled());
    typeInto(fe("feNt"), "1234.9");
    pty->clearRequests();
    button("bbWrite")->click();
    auto seven = six;
    seven.push_back(wire::SetT);
    EXPECT_EQ(commands(), seven);
    EXPECT_EQ(drive().Nt, 1234);
    EXPECT_TRUE(boxes.empty());

    widget<QCheckBox>("cbTravel")->click();
    EXPECT_FALSE(fe("feNt")->isEnabled());
}

TEST_F(ParamsPage, ReadFillsTravelAlsoWhileItsFieldIsDisabled)
{
    setDrive([](sim::ActuatorState& s) { s.Nt = 30000; });
    ASSERT_FALSE(widget<QCheckBox>("cbTravel")->isChecked());
    form->bbReadClick();
    EXPECT_EQ(fe("feNt")->Value(), 30000);
    EXPECT_FALSE(fe("feLt")->isEnabled());
}

struct HighlightCase {
    const char* name;
    int workStatus;
    int speed;  // 1..4: the pair in the normal colour
    bool upperInactive;
    bool lowerInactive;
};

class ParamsHighlight : public ParamsPage, public ::testing::WithParamInterface<HighlightCase> {};

TEST_P(ParamsHighlight, WorkingSpeedAndLockingZonesAreMarked)
{
    const HighlightCase& c = GetParam();
    // A first read with other marks, so that every colour has to change back.
    setDrive([&](sim::ActuatorState& s) { s.workStatus = (c.workStatus + 1) ^ 0x30; });
    form->bbReadClick();
    setDrive([&](sim::ActuatorState& s) { s.workStatus = c.workStatus; });
    form->bbReadClick();
    ASSERT_TRUE(boxes.empty());

    const auto base = [this](const char* name) {
        return fe(name)->palette().color(QPalette::Active, QPalette::Base);
    };
    const auto normal = [this](const char* name) {
        return QApplication::palette(fe(name)).color(QPalette::Active, QPalette::Base);
    };
    const QColor inactive = InactiveFieldColour();
    ASSERT_NE(inactive, normal("feV1"));
    const char* pairs[4][2] = {
        {"feV1", "feI1"}, {"feV2", "feI2"}, {"feV3", "feI3"}, {"feV4", "feI4"}};
    for (int k = 0; k < 4; ++k) {
        for (const char* name : pairs[k]) {
            EXPECT_EQ(base(name), k + 1 == c.speed ? normal(name) : inactive) << name;
            EXPECT_TRUE(fe(name)->isEnabled() && !fe(name)->isReadOnly()) << name;
        }
    }
    EXPECT_EQ(base("feNo"), c.upperInactive ? inactive : normal("feNo"));
    EXPECT_EQ(base("feNc"), c.lowerInactive ? inactive : normal("feNc"));
    EXPECT_EQ(base("feVm"), normal("feVm"));  // never marked
}

INSTANTIATE_TEST_SUITE_P(
    WorkStatus, ParamsHighlight,
    ::testing::Values(HighlightCase{"Speed2LowerZone", 0x21, 2, false, true},
                      HighlightCase{"Speed4NeitherZone", 0x33, 4, false, false},
                      HighlightCase{"Speed1UpperZone", 0x10, 1, true, false},
                      HighlightCase{"Speed3UnusedBitsIgnored", 0xC6, 3, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ParamsPage, FailedReadFromTheButtonShowsTheErrorAndChangesNothing)
{
    typeInto(fe("feV1"), "55");
    line.setFaults(0, silentFaults());
    button("bbRead")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("GetInfo")))
        << boxes[0].message.toStdString();
    EXPECT_EQ(fe("feV1")->Value(), 55);
    EXPECT_EQ(commands(), std::vector<int>{wire::GetInfo});  // stops at the failed command
}

TEST_F(ParamsPage, FailedWriteStopsAtTheFailedCommand)
{
    line.setFaults(0, errorFaults(3));
    button("bbWrite")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("SetS")))
        << boxes[0].message.toStdString();
    EXPECT_EQ(commands(), std::vector<int>{wire::SetS});
}

TEST_F(ParamsPage, AddressAssignmentGoesWithoutAddressAndMovesTheDrive)
{
    typeInto(fe("feAddr2"), "7");
    ASSERT_EQ(form->Address, 7);
    button("btSetAddr")->click();
    EXPECT_TRUE(boxes.empty());
    // Asked first who hears a frame without address and whether 7 answers,
    // checked after.
    ASSERT_EQ(pty->requests().size(), 4u);
    const sim::LoggedRequest r = pty->requests()[2];
    EXPECT_EQ(r.command, wire::SetAddr);
    EXPECT_FALSE(r.hasAddress);
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x5C, 0xA3, 7}));
    EXPECT_EQ(line.addresses(), std::vector<int>{7});
    EXPECT_EQ(form->WakePort->DevAddr, 7);
    button("bbRead")->click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(widget<QLineEdit>("edType2")->text(), QStringLiteral("ТИРС-70 №0042"));
}

TEST_F(ParamsPage, AddressAssignmentToASilentDriveRestoresTheClientAddress)
{
    typeInto(fe("feAddr2"), "5");
    ASSERT_EQ(form->WakePort->DevAddr, 5);
    line.setFaults(0, silentFaults());
    button("btSetAddr")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("SetAddr")))
        << boxes[0].message.toStdString();
    EXPECT_EQ(form->WakePort->DevAddr, 5);
    EXPECT_EQ(form->Address, 5);
    // The next command goes to address 5 again.
    pty->clearRequests();
    button("btResN")->click();
    ASSERT_EQ(pty->requests().size(), 1u);
    EXPECT_TRUE(pty->requests()[0].hasAddress);
    EXPECT_EQ(pty->requests()[0].address, 5);
}

TEST_F(ParamsPage, TwoResetsSendSetNWithZeroTwice)
{
    setDrive([](sim::ActuatorState& s) { s.N = 900; });
    button("btResN")->click();
    button("btResN")->click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(commands(), (std::vector<int>{wire::SetN, wire::SetN}));
    for (const auto& r : pty->requests())
        EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(drive().N, 0);
}

TEST_F(ParamsPage, PageHoldsTheFieldsWithTheirLimits)
{
    struct Limits {
        const char* name;
        double min, max;
        int digits, precision;
        double value;
    };
    const Limits table[] = {
        {"feAddr2", -0.1, 127, 0, 4, 1},  // shows the selected address
        {"feVm", 1, 1000, 0, 4, 1},      {"edA", -0.1, 4000, 0, 4, 0},
        {"feIa", -0.1, 2000, 0, 4, 0},   {"feV1", -0.1, 1000, 0, 4, 0},
        {"feI1", -0.1, 2000, 0, 4, 0},   {"feV2", -0.1, 1000, 0, 4, 0},
        {"feI2", -0.1, 2000, 0, 4, 0},   {"feV3", -0.1, 1000, 0, 4, 0},
        {"feI3", -0.1, 2000, 0, 4, 0},   {"feV4", -0.1, 1000, 0, 4, 0},
        {"feI4", -0.1, 2000, 0, 4, 0},   {"feVp", -0.1, 1000, 0, 4, 0},
        {"feIp", -0.1, 2000, 0, 4, 0},   {"feNp", -0.1, 30000, 0, 5, 0},
        {"feVl", -0.1, 1000, 0, 4, 0},   {"feIl", -0.1, 2000, 0, 4, 0},
        {"feNo", -0.1, 30000, 0, 5, 0},  {"feNc", -0.1, 30000, 0, 5, 0},
        {"feNt", -0.1, 30000, 0, 4, 0},  {"feLt", -0.1, 1000, 1, 4, 0},
    };
    for (const Limits& l : table) {
        TFloatEdit* f = fe(l.name);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->MinValue(), l.min) << l.name;
        EXPECT_EQ(f->MaxValue(), l.max) << l.name;
        EXPECT_EQ(f->Digits(), l.digits) << l.name;
        EXPECT_EQ(f->Precision(), l.precision) << l.name;
        EXPECT_EQ(f->Value(), l.value) << l.name;
        EXPECT_EQ(f->Format(), TFloatFormat::Fixed) << l.name;
        EXPECT_TRUE(f->MinMaxCheck()) << l.name;
    }
    EXPECT_EQ(fe("feVm")->text(), QStringLiteral("1"));
    EXPECT_FALSE(fe("feLt")->isEnabled());
    auto* type = widget<QLineEdit>("edType2");
    EXPECT_TRUE(type->isReadOnly());
    EXPECT_FALSE(type->isEnabled());
    EXPECT_TRUE(type->text().isEmpty());
    EXPECT_TRUE(widget<QCheckBox>("cbTravel")->text().isEmpty());
    const std::pair<const char*, const char*> buttons[] = {
        {"btSetAddr", "Присвоить адрес"}, {"btResN", "Сброс N"},     {"bbRead", "Прочитать"},
        {"bbWrite", "Записать"},          {"bbFileOpen", "Открыть"}, {"bbFileSave", "Сохранить"}};
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(button(name)->text(), QString::fromUtf8(caption)) << name;
    for (const char* name : {"bbRead", "bbWrite", "bbFileOpen", "bbFileSave"})
        EXPECT_FALSE(button(name)->icon().isNull()) << name;
}

TEST_F(ParamsPage, TypedValuesSurviveTheAutomaticReadsUntilWrittenOrReadOnPurpose)
{
    setDrive([](sim::ActuatorState& s) { s.V1 = 101, s.Nt = 2000; });
    auto* pages = widget<QTabWidget>("PageControl");
    auto* pending = widget<QLabel>("lbPending");
    const auto reads = [&] {
        int n = 0;
        for (int c : commands())
            n += c == wire::GetA;
        return n;
    };
    // Leaves the page and comes back: the reads that caused.
    const auto readsOnReturn = [&] {
        pty->clearRequests();
        pages->setCurrentWidget(widget<QWidget>("tsRelays"));
        pages->setCurrentWidget(widget<QWidget>("tsParams"));
        return reads();
    };
    // Writes of pending values first show the comparison: the operator goes on.
    form->ShowComparison = [](ParamCompareDialog*) { return true; };
    tick();  // identification and the automatic read
    ASSERT_TRUE(form->DeviceFound);
    EXPECT_EQ(fe("feV1")->Value(), 101);
    EXPECT_TRUE(pending->text().isEmpty());

    typeInto(fe("feV1"), "300");
    EXPECT_TRUE(fe("feV1")->font().bold());
    EXPECT_FALSE(fe("feI1")->font().bold());
    EXPECT_FALSE(pending->text().isEmpty());
    // Leaving the page and coming back, and identifying the drive again, read nothing.
    EXPECT_EQ(readsOnReturn(), 0);
    form->DeviceFound = false;
    tick();
    EXPECT_EQ(reads(), 0);
    EXPECT_EQ(fe("feV1")->Value(), 300);
    // Typing the drive's value back leaves nothing pending.
    typeInto(fe("feV1"), "101");
    EXPECT_FALSE(fe("feV1")->font().bold());
    EXPECT_TRUE(pending->text().isEmpty());

    // "Прочитать" reads all the same.
    typeInto(fe("feV1"), "300");
    button("bbRead")->click();
    EXPECT_EQ(fe("feV1")->Value(), 101);
    EXPECT_FALSE(fe("feV1")->font().bold());
    EXPECT_TRUE(pending->text().isEmpty());

    // A write settles them; the next return to the page reads again.
    typeInto(fe("feV1"), "300");
    button("bbWrite")->click();
    EXPECT_EQ(drive().V1, 300);
    EXPECT_FALSE(fe("feV1")->font().bold());
    EXPECT_TRUE(pending->text().isEmpty());
    EXPECT_EQ(readsOnReturn(), 1);

    // A file's values are pending, unmarked, until written.
    const QString file = programDir() + QStringLiteral("/pending.par");
    std::ofstream(file.toStdString(), std::ios::trunc) << "[Work]\r\nV1=555\r\n";
    form->ChooseFile = [&](QFileDialog*) { return file; };
    button("bbFileOpen")->click();
    EXPECT_EQ(fe("feV1")->Value(), 555);
    EXPECT_FALSE(fe("feV1")->font().bold());
    EXPECT_FALSE(pending->text().isEmpty());
    EXPECT_EQ(readsOnReturn(), 0);
    EXPECT_EQ(fe("feV1")->Value(), 555);
    button("bbWrite")->click();
    EXPECT_TRUE(pending->text().isEmpty());
    std::remove(file.toStdString().c_str());
    EXPECT_TRUE(boxes.empty());
}

class ParamsPageOperatorMode : public ParamsPage {
protected:
    std::string settings() const override { return "[Params]\nAddress=1\n"; }
};

TEST_F(ParamsPageOperatorMode, ShowsValuesButTakesNoInput)
{
    ASSERT_FALSE(form->Master);
    setDrive([](sim::ActuatorState& s) { s.V1 = 321; });
    // The automatic read fills the page.
    form->bbReadClick();
    EXPECT_EQ(fe("feV1")->Value(), 321);
    pty->clearRequests();

    for (const char* name :
         {"bbRead", "bbWrite", "btSetAddr", "btResN", "bbFileOpen", "bbFileSave"}) {
        EXPECT_FALSE(button(name)->isEnabled()) << name;
        button(name)->click();
    }
    bool dialogShown = false;
    form->ChooseFile = [&](QFileDialog*) {
        dialogShown = true;
        return QString();
    };
    QTest::mouseClick(button("bbFileSave"), Qt::LeftButton);
    EXPECT_FALSE(dialogShown);
    EXPECT_TRUE(pty->requests().empty());

    typeInto(fe("feV1"), "5");
    EXPECT_EQ(fe("feV1")->Value(), 321);
    auto* travel = widget<QCheckBox>("cbTravel");
    travel->click();
    QTest::mouseClick(travel, Qt::LeftButton);
    EXPECT_FALSE(travel->isChecked());
    EXPECT_TRUE(boxes.empty());
    // The relay page is not locked.
    EXPECT_TRUE(widget<QWidget>("tsRelays")->isEnabled());
}

}  // namespace
