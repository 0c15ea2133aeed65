// The poll tick (position page and the relay page's live indicators) and
// the four motion buttons.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "gauge.h"
#include "shape.h"
#include "support/windowfixture.h"

using uitest::WindowTest;

namespace {

constexpr int kGetInfo = 3, kGetA = 9, kGetL = 13, kSetS = 16, kGetS = 17, kGetN = 19, kGetT = 21,
              kGetI = 22, kGetR = 24, kGetRS = 25, kSetN = 18, kSetR = 23;
const QColor kZone(255, 128, 128);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);

sim::Faults silentFaults()
{
    sim::Faults f;
    f.silent = true;
    return f;
}

sim::Faults refusingFaults(int errorCode)
{
    sim::Faults f;
    f.errorCode = errorCode;
    return f;
}

sim::Faults silentEveryFaults(int k)
{
    sim::Faults f;
    f.silentEvery = k;
    return f;
}

enum Page { Net = 0, Control = 1, Relays = 2, Params = 3, Settings = 4 };

class MainFormControl : public WindowTest {
protected:
    // An actuator at 1 whose state only the test changes; the window
    // selects it and shows the given page.
    TMainForm& start(int page, const std::string& extraSettings = {})
    {
        line.addActuator(1, "ТИРС-70 №0001");
        line.with(1, [](sim::ActuatorState& s) { s.frozen = true; });
        writeSettings("[General]\nPage=" + std::to_string(page) + "\n[Params]\nAddress=1\n" +
                      extraSettings);
        return createForm();
    }
    void set(const std::function<void(sim::ActuatorState&)>& f) { ASSERT_TRUE(line.with(1, f)); }
    QString text(const char* name) const { return widget<QLineEdit>(name)->text(); }
    bool checked(const char* name) const { return widget<QCheckBox>(name)->isChecked(); }
    int markerLeft() const { return widget<TShape>("shShtock")->x(); }
    std::vector<int> commands() const
    {
        std::vector<int> out;
        for (const auto& r : pty->requests())
            out.push_back(r.command);
        return out;
    }
    int count(int command) const
    {
        int n = 0;
        for (int c : commands())
            n += c == command;
        return n;
    }
    // The position page with live readings at 1234, LIMO; gives the state's text.
    QString showLiveReadings()
    {
        start(Control);
        set([](sim::ActuatorState& s) {
            s.N = 1234;
            s.driveFlags = 0x04;
        });
        tick();
        const QString state = text("edState");
        expectStale(false);
        return state;
    }
    // The readings a lost link greys, and their tooltip then.
    void expectStale(bool stale) const
    {
        for (const char* name : {"edState", "cbLIMO", "cbLIMC", "edNx", "edNxp"}) {
            EXPECT_EQ(widget<QWidget>(name)->property("stale").toBool(), stale) << name;
            if (stale)
                EXPECT_EQ(widget<QWidget>(name)->toolTip(), QStringLiteral("нет связи")) << name;
        }
    }
    void expectReturnReported() const
    {
        EXPECT_TRUE(widget<QLabel>("StatusPanel")
                        ->text()
                        .startsWith(QStringLiteral("COM2: связь восстановлена, ")));
    }
};

TEST_F(MainFormControl, FirstTickIdentifiesAndRunsTheAutomaticReads)
{
    auto& f = start(Control);
    tick();
    EXPECT_TRUE(f.DeviceFound);
    EXPECT_EQ(f.StatusText(), QStringLiteral("ТИРС-70 №0001"));
    EXPECT_EQ(text("edType1"), QStringLiteral("ТИРС-70 №0001"));
    EXPECT_EQ(text("edState"), QStringLiteral("Привод остановлен"));
    // Identification, the parameter read, the relay read, then the position.
    const std::vector<int> cmds = commands();
    ASSERT_FALSE(cmds.empty());
    EXPECT_EQ(cmds.front(), kGetInfo);
    EXPECT_EQ(count(kGetA), 1);
    EXPECT_EQ(count(kGetR), 1);
    const std::vector<int> tail(cmds.end() - 4, cmds.end());
    EXPECT_EQ(tail, (std::vector<int>{kGetN, kGetS, kGetT, kGetL}));

    // Once found, a tick on this page sends its four commands only.
    pty->clearRequests();
    tick();
    EXPECT_EQ(commands(), (std::vector<int>{kGetN, kGetS, kGetT, kGetL}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, OtherPagesPollThePositionOnly)
{
    auto& f = start(Net);
    tick();
    ASSERT_TRUE(f.DeviceFound);
    pty->clearRequests();
    tick();
    EXPECT_EQ(commands(), std::vector<int>{kGetN});
}

TEST_F(MainFormControl, PositionPercentMarkerAndMillimetres)
{
    struct Row {
        const char* name;
        int n, nt;
        const char* percent;
        int marker;
        const char* travel;
        const char* mm;
    };
    const Row rows[] = {
        {"closed", 0, 2000, "0", 88, "2000", "0.0"},
        {"open", 2000, 2000, "100", 344, "2000", "41.5"},
        {"one_of_three", 1, 3, "33", 173, "3", "0.0"},
        {"two_of_three", 2, 3, "67", 259, "3", "0.0"},
        {"travel_zero", 5, 0, "500", 424, "1", "0.1"},
        {"negative", -27, 1000, "-2", 81, "1000", "-0.6"},
        {"far_below", -2000, 2000, "-99", 4, "2000", "-41.5"},
        {"mm_4000_steps", 4000, 4000, "100", 344, "4000", "83.0"},
    };
    auto& f = start(Control);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        set([&](sim::ActuatorState& s) {
            s.N = r.n;
            s.Nt = r.nt;
        });
        tick();
        EXPECT_TRUE(f.DeviceFound);
        EXPECT_EQ(text("edNx"), QString::number(r.n));
        EXPECT_EQ(text("edNo"), QString::fromUtf8(r.travel));
        EXPECT_EQ(text("edNxp"), QString::fromUtf8(r.percent));
        EXPECT_EQ(markerLeft(), r.marker);
        EXPECT_EQ(text("edMMxp"), QString::fromUtf8(r.mm));
        EXPECT_EQ(text("edNc"), QStringLiteral("0"));
    }
}

TEST_F(MainFormControl, OptoBladesZeroLeavesMillimetresEmpty)
{
    auto& f = start(Control, "OptoBlades=0\n");
    set([](sim::ActuatorState& s) { s.N = 1000; });
    tick();
    EXPECT_TRUE(f.DeviceFound);
    EXPECT_EQ(text("edMMxp"), QString());
    EXPECT_EQ(text("edNx"), QStringLiteral("1000"));
}

TEST_F(MainFormControl, StateTextsFlagsAndLockingZones)
{
    start(Control);
    set([](sim::ActuatorState& s) {
        s.driveState = 1;
        s.driveFlags = 0x01 | 0x10;
        s.No = 0;
        s.Nc = 500;
    });
    tick();
    EXPECT_EQ(text("edState"), QStringLiteral("Выполняется открытие"));
    EXPECT_TRUE(checked("cbOpen"));
    EXPECT_FALSE(checked("cbClose"));
    EXPECT_FALSE(checked("cbLIMO"));
    EXPECT_FALSE(checked("cbLIMC"));
    EXPECT_TRUE(checked("cbPC"));
    EXPECT_EQ(widget<TShape>("spOpen")->BrushColor(), kWhite);
    EXPECT_EQ(widget<TShape>("spClose")->BrushColor(), kZone);
    EXPECT_EQ(widget<TShape>("spWork")->BrushColor(), QColor(160, 255, 160));

    // Codes of 13 and more keep the last text.
    for (int code : {13, 200, 255}) {
        set([&](sim::ActuatorState& s) {
            s.driveState = code;
            s.driveFlags = 0x02 | 0x04 | 0x08;
            s.No = 10;
            s.Nc = 0;
        });
        tick();
        EXPECT_EQ(text("edState"), QStringLiteral("Выполняется открытие")) << code;
    }
    EXPECT_FALSE(checked("cbOpen"));
    EXPECT_TRUE(checked("cbClose"));
    EXPECT_TRUE(checked("cbLIMO"));
    EXPECT_TRUE(checked("cbLIMC"));
    EXPECT_FALSE(checked("cbPC"));
    EXPECT_EQ(widget<TShape>("spOpen")->BrushColor(), kZone);
    EXPECT_EQ(widget<TShape>("spClose")->BrushColor(), kWhite);

    const char* const texts[] = {"Привод остановлен",
                                 "Выполняется открытие",
                                 "Выполняется закрытие",
                                 "Выборка люфта на открытие",
                                 "Выборка люфта на закрытие",
                                 "Запирание на открытие",
                                 "Запирание на закрытие",
                                 "Блокировка открытия закончена",
                                 "Блокировка закрытия закончена",
                                 "Разблокировка на открытие",
                                 "Разблокировка на закрытие",
                                 "Калибровка рабочего хода на открытие",
                                 "Калибровка рабочего хода на закрытие"};
    for (int code = 12; code >= 0; --code) {
        set([&](sim::ActuatorState& s) { s.driveState = code; });
        tick();
        EXPECT_EQ(text("edState"), QString::fromUtf8(texts[code])) << code;
    }
    for (const char* box : {"cbOpen", "cbClose", "cbLIMO", "cbLIMC", "cbPC"})
        EXPECT_FALSE(widget<QCheckBox>(box)->isEnabled()) << box;

    // Each flag bit alone checks exactly its own box; bits 5..7 none.
    const char* const flagBoxes[] = {"cbOpen", "cbClose", "cbLIMO", "cbLIMC", "cbPC"};
    for (int bit = 0; bit < 8; ++bit) {
        set([&](sim::ActuatorState& s) { s.driveFlags = 1 << bit; });
        tick();
        for (int b = 0; b < 5; ++b)
            EXPECT_EQ(checked(flagBoxes[b]), b == bit) << "bit " << bit << " box " << flagBoxes[b];
    }
}

TEST_F(MainFormControl, RelayPageGaugesAndSquares)
{
    start(Relays);
    struct Row {
        int input;
        int gauge1;
        int relays;
        QColor r1, r2, r3;
    };
    for (const Row& r :
         {Row{3000, 0, 0x05, kRed, kWhite, kRed}, Row{12080, 50, 0x02, kWhite, kRed, kWhite},
          Row{25000, 100, 0x00, kWhite, kWhite, kWhite}, Row{4000, 0, 0x07, kRed, kRed, kRed}}) {
        SCOPED_TRACE(r.input);
        set([&](sim::ActuatorState& s) {
            s.inputCurrent = r.input;
            s.relayStates = r.relays;
            s.N = 1;
            s.Nt = 3;
        });
        tick();
        EXPECT_EQ(widget<TGauge>("CGauge1")->Progress(), r.gauge1);
        EXPECT_EQ(widget<TGauge>("CGauge2")->Progress(), 33);
        EXPECT_EQ(widget<TShape>("spRel1")->BrushColor(), r.r1);
        EXPECT_EQ(widget<TShape>("spRel2")->BrushColor(), r.r2);
        EXPECT_EQ(widget<TShape>("spRel3")->BrushColor(), r.r3);
    }
    pty->clearRequests();
    tick();
    EXPECT_EQ(commands(), (std::vector<int>{kGetN, kGetT, kGetI, kGetRS}));
    saveScreenshot(form.get(), QStringLiteral("relays-indicators"));
}

TEST_F(MainFormControl, RelayReadFailureInsideTheInnerGuardIsIgnored)
{
    auto& f = start(Relays);
    set([](sim::ActuatorState& s) {
        s.inputCurrent = 12080;
        s.relayStates = 0x01;
    });
    tick();
    ASSERT_EQ(widget<TGauge>("CGauge1")->Progress(), 50);
    // The actuator leaves exactly the GetI of the next tick unanswered
    // (GetN, GetT, GetI, GetRS): it has seen every request so far.
    set([](sim::ActuatorState& s) {
        s.inputCurrent = 20000;
        s.relayStates = 0x00;
        s.N = 2;
        s.Nt = 3;
    });
    const int seen = static_cast<int>(pty->requests().size());
    line.setFaults(1, silentEveryFaults(seen + 3));
    pty->clearRequests();
    tick();
    EXPECT_EQ(commands(), (std::vector<int>{kGetN, kGetT, kGetI}));
    EXPECT_TRUE(f.DeviceFound);
    EXPECT_EQ(f.StatusText(), QStringLiteral("ТИРС-70 №0001"));
    EXPECT_EQ(widget<TGauge>("CGauge2")->Progress(), 67);  // before the inner guard
    EXPECT_EQ(widget<TGauge>("CGauge1")->Progress(), 50);  // kept
    EXPECT_EQ(widget<TShape>("spRel1")->BrushColor(), kRed);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, SilenceShowsNoDeviceAndRecoveryRunsTheAutomaticReads)
{
    auto& f = start(Control);
    set([](sim::ActuatorState& s) { s.N = 1234; });
    tick();
    ASSERT_TRUE(f.DeviceFound);
    line.setFaults(1, silentFaults());
    set([](sim::ActuatorState& s) { s.N = 99; });
    for (int i = 0; i < 2; ++i) {
        pty->clearRequests();
        tick();
        EXPECT_EQ(f.StatusText(), QStringLiteral("No Device"));
        EXPECT_EQ(text("edType1"), QString());
        EXPECT_FALSE(f.DeviceFound);
        EXPECT_EQ(text("edNx"), QStringLiteral("1234"));  // the rest keeps its text
    }
    // While silent, every tick tries the identification again.
    EXPECT_EQ(commands(), std::vector<int>{kGetInfo});

    line.clearFaults();
    pty->clearRequests();
    tick();
    EXPECT_TRUE(f.DeviceFound);
    EXPECT_EQ(f.StatusText(), QStringLiteral("ТИРС-70 №0001"));
    EXPECT_EQ(text("edType1"), QStringLiteral("ТИРС-70 №0001"));
    EXPECT_EQ(text("edNx"), QStringLiteral("99"));
    EXPECT_EQ(count(kGetA), 1);
    EXPECT_EQ(count(kGetR), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, LostReadingsAreGreyedAndTheReturnIsReported)
{
    const QString stateText = showLiveReadings();
    line.setFaults(1, silentFaults());
    tick();
    EXPECT_EQ(text("edState"), QStringLiteral("нет связи"));
    EXPECT_EQ(text("edNx"), QStringLiteral("1234"));  // the last value, greyed
    EXPECT_TRUE(checked("cbLIMO"));
    expectStale(true);
    EXPECT_NE(widget<QLabel>("StatusPanel")->text(), QStringLiteral("COM2: связь восстановлена"));
    saveScreenshot(form.get(), QStringLiteral("page-2-position-stale"));

    line.clearFaults();
    tick();
    EXPECT_EQ(text("edState"), stateText);
    expectStale(false);
    expectReturnReported();
    tick();  // said once
    EXPECT_TRUE(form->DeviceFound);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, APulledPortGreysTheReadingsAndItsReturnIsReported)
{
    const QString stateText = showLiveReadings();
    // The adapter pulled: the open port's reads fail, and its name is gone.
    pty->unplug();
    linkPort(2);
    tick();
    EXPECT_FALSE(form->DeviceFound);
    EXPECT_EQ(text("edState"), QStringLiteral("нет связи"));
    EXPECT_EQ(text("edNx"), QStringLiteral("1234"));  // the last value, greyed
    expectStale(true);
    EXPECT_EQ(widget<QLabel>("PortProblemPanel")->text(),
              QStringLiteral("COM2: связь потеряна, повторное подключение…"));
    tick();  // still gone: still greyed
    EXPECT_TRUE(widget<QWidget>("edNx")->property("stale").toBool());

    // Plugged in again under a new device name behind the same link.
    ASSERT_TRUE(pty->start());
    linkPort(2, pty->slavePath());
    tick();
    EXPECT_TRUE(form->DeviceFound);
    EXPECT_EQ(text("edState"), stateText);
    expectStale(false);
    EXPECT_EQ(widget<QLabel>("PortProblemPanel")->text(), QString());
    expectReturnReported();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, FailingAutomaticReadShowsNoDeviceWithoutABox)
{
    auto& f = start(Control);
    // Every command is refused with an error code; only the identification
    // (which has no error byte) goes through.
    line.setFaults(1, refusingFaults(2));
    for (int i = 0; i < 2; ++i) {
        tick();
        EXPECT_EQ(f.StatusText(), QStringLiteral("No Device"));
        EXPECT_FALSE(f.DeviceFound);
    }
    EXPECT_GE(count(kGetInfo), 2);
    EXPECT_GE(count(kGetA), 2);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, TickRestartsTheTimerAndDoesNothingAfterShutdown)
{
    auto& f = start(Control);
    EXPECT_FALSE(f.Timer1->isActive());
    f.Timer1Timer();
    EXPECT_TRUE(f.Timer1->isActive());
    line.setFaults(1, silentFaults());
    f.Timer1->stop();
    f.Timer1Timer();
    EXPECT_TRUE(f.Timer1->isActive());  // restarted after a failure too
    closeForm();
    EXPECT_FALSE(f.Timer1->isActive());
    f.Timer1Timer();  // the client is gone: nothing happens
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(MainFormControl, TimerPollsByItself)
{
    auto& f = start(Control);
    f.Timer1->start();
    set([](sim::ActuatorState& s) { s.N = 777; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return text("edNx") == QStringLiteral("777"); }, 5000));
    EXPECT_TRUE(f.DeviceFound);
}

TEST_F(MainFormControl, MotionButtonsSendOneCommandEach)
{
    auto& f = start(Net);
    struct Row {
        const char* button;
        int code;
    };
    for (const Row& r :
         {Row{"bbClose", 6}, Row{"bbStop", 4}, Row{"bbStopOff", 0}, Row{"bbOpen", 5}}) {
        SCOPED_TRACE(r.button);
        pty->clearRequests();
        widget<QPushButton>(r.button)->click();
        const auto log = pty->requests();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].command, kSetS);
        EXPECT_EQ(log[0].address, 1);
        EXPECT_EQ(log[0].data, std::vector<std::uint8_t>{std::uint8_t(r.code)});
        EXPECT_FALSE(widget<QPushButton>(r.button)->icon().isNull());
    }
    EXPECT_TRUE(boxes.empty());
    // A failure reaches the error box, naming the command.
    line.setFaults(1, silentFaults());
    widget<QPushButton>("bbOpen")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("SetS")))
        << boxes[0].message.toStdString();
    EXPECT_FALSE(f.DeviceFound);  // the button changes nothing else
}

TEST_F(MainFormControl, AddressZeroAsksOnceBeforeTheFirstChangeUntilTheAddressChanges)
{
    auto& f = start(Control);
    std::vector<QString> asked;
    bool answer = false;
    f.Confirm = [&](const QString& question) {
        asked.push_back(question);
        return answer;
    };
    const QString question =
        QStringLiteral("Адрес 0: команду выполнят все приводы на линии. Продолжить?");
    const auto sets = [&] { return count(kSetS); };
    f.SelectAddress(0);
    pty->clearRequests();

    // "No": nothing goes out, and the next change asks again.
    widget<QPushButton>("bbOpen")->click();
    ASSERT_EQ(asked, std::vector<QString>{question});
    EXPECT_EQ(sets(), 0);
    answer = true;
    f.btResNClick();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(count(kSetN), 1);
    // Agreed: the other changes go without a question.
    for (const char* button : {"bbClose", "bbStop", "bbWriteRel"})
        widget<QPushButton>(button)->click();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(sets(), 2);
    EXPECT_EQ(count(kSetR), 1);
    for (const auto& r : pty->requests())
        EXPECT_FALSE(r.hasAddress);

    // Another address and back: asked again; another address is never asked.
    f.SelectAddress(1);
    widget<QPushButton>("bbStop")->click();
    EXPECT_EQ(asked.size(), 2u);
    f.SelectAddress(0);
    answer = false;
    widget<QPushButton>("bbStopOff")->click();
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(sets(), 3);

    // Nor is the stop sent when the program closes.
    pty->clearRequests();
    closeForm();
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(sets(), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormControl, PageChangesRunTheirReads)
{
    auto& f = start(Net, "[General]\nMaster=1\n");
    tick();
    ASSERT_TRUE(f.DeviceFound);
    auto* pages = widget<QTabWidget>("PageControl");
    for (int round = 0; round < 2; ++round) {
        pty->clearRequests();
        pages->setCurrentIndex(Params);
        EXPECT_EQ(count(kGetA), 1) << round;
        pages->setCurrentIndex(Net);
    }
    pty->clearRequests();
    pages->setCurrentIndex(Control);
    EXPECT_EQ(commands(), (std::vector<int>{kGetN, kGetS, kGetT, kGetL}));
    pty->clearRequests();
    pages->setCurrentIndex(Relays);
    const std::vector<int> cmds = commands();
    ASSERT_GE(cmds.size(), 5u);
    EXPECT_EQ(std::vector<int>(cmds.begin(), cmds.begin() + 4),
              (std::vector<int>{kGetN, kGetT, kGetI, kGetRS}));
    EXPECT_EQ(count(kGetR), 1);
    pty->clearRequests();
    pages->setCurrentIndex(Settings);
    EXPECT_TRUE(commands().empty());
    // Without automatic reading the parameter page reads nothing.
    widget<QCheckBox>("cbAutoPar")->setChecked(false);
    pages->setCurrentIndex(Params);
    EXPECT_EQ(count(kGetA), 0);
}

TEST_F(MainFormControl, DriveMovesFromClosedToOpen)
{
    line.addActuator(1, "ТИРС-70 №0001");
    line.setTimeScale(20);
    writeSettings("[General]\nPage=1\n[Params]\nAddress=1\n");
    auto& f = createForm();
    tick();
    ASSERT_TRUE(f.DeviceFound);
    ASSERT_TRUE(checked("cbLIMC"));
    ASSERT_FALSE(checked("cbLIMO"));
    widget<QPushButton>("bbOpen")->click();

    QStringList seen;
    QString limoFirstSeenIn;  // the state shown when LIMO first lit
    const bool reachedOpen = QTest::qWaitFor(
        [&] {
            tick();
            const QString state = text("edState");
            if (seen.isEmpty() || seen.back() != state)
                seen.push_back(state);
            if (limoFirstSeenIn.isEmpty() && checked("cbLIMO"))
                limoFirstSeenIn = state;
            return state == QStringLiteral("Блокировка открытия закончена") && checked("cbLIMO");
        },
        60000);
    ASSERT_TRUE(reachedOpen) << seen.join(QStringLiteral(" | ")).toStdString();
    // The states come in the order of the motion sequence.
    const QStringList order = {QStringLiteral("Привод остановлен"),
                               QStringLiteral("Разблокировка на открытие"),
                               QStringLiteral("Выборка люфта на открытие"),
                               QStringLiteral("Выполняется открытие"),
                               QStringLiteral("Запирание на открытие"),
                               QStringLiteral("Блокировка открытия закончена")};
    int at = -1;
    for (const QString& s : seen) {
        const int i = order.indexOf(s);
        ASSERT_GE(i, 0) << s.toStdString();
        EXPECT_GT(i, at) << seen.join(QStringLiteral(" | ")).toStdString();
        at = i;
    }
    EXPECT_TRUE(seen.contains(QStringLiteral("Выполняется открытие")));
    // LIMO lights only at the open end: while locking there, or when done.
    EXPECT_TRUE(limoFirstSeenIn == QStringLiteral("Запирание на открытие") ||
                limoFirstSeenIn == QStringLiteral("Блокировка открытия закончена"))
        << limoFirstSeenIn.toStdString();
    EXPECT_FALSE(checked("cbLIMC"));
    EXPECT_EQ(text("edNxp"), QStringLiteral("100"));
    EXPECT_EQ(markerLeft(), 344);
    saveScreenshot(&f, QStringLiteral("control-open"));
}

}  // namespace
