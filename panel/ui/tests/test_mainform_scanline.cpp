// A scan owns the line: nothing else talks to the address being probed, a
// late answer is not credited to the next address; address 0 is flagged and
// an address assignment with several actuators on the line or to an address
// that answers is confirmed.
#include <algorithm>

#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "floatedit.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;
using namespace std::chrono_literals;

namespace {

constexpr int kLastAddress = 127;
const QString kInfo1 = QStringLiteral("ТИРС-70 №0001");

// Every control that would send to the line.
const char* const kLineActions[] = {"bbClose",   "bbStop",     "bbStopOff", "bbOpen",
                                    "bbRead",    "bbWrite",    "btSetAddr", "btResN",
                                    "bbReadRel", "bbWriteRel", "bbSelect"};

class ScanLine : public WindowTest {
protected:
    QTableWidget* grid() const { return widget<QTableWidget>("TableStrGrid"); }
    QStringList listedAddresses() const
    {
        QStringList out;
        for (int r = 0; r < grid()->rowCount(); ++r)
            out << (grid()->item(r, 0) ? grid()->item(r, 0)->text() : QString());
        return out;
    }
    std::vector<bool> lineActionsEnabled() const
    {
        std::vector<bool> out;
        for (const char* name : kLineActions)
            out.push_back(widget<QPushButton>(name)->isEnabled());
        out.push_back(widget<QMenu>("mnPort")->menuAction()->isEnabled());
        return out;
    }
};

TEST_F(ScanLine, ScanHoldsThePollAndTheButtonsBackAndListsALateAnswerAsLate)
{
    line.addActuator(1, "ТИРС-70 №0001");
    line.addActuator(5, "ТИРС-70 №0005");
    line.addActuator(7, "ТИРС-70 №0007");
    sim::Faults late;
    late.delay = 110ms;  // just past the 100 ms the program waits for a byte
    line.setFaults(5, late);
    writeSettings("[General]\nPage=1\nMaster=1\n[Params]\nAddress=1\n");
    auto& f = createForm(false);  // the poll timer runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.DeviceFound; }, 5000));
    const std::vector<bool> allEnabled(std::size(kLineActions) + 1, true);
    ASSERT_EQ(lineActionsEnabled(), allEnabled);

    // Midway the operator tries what would talk to the line: buttons, the
    // pages that read by themselves.
    std::vector<bool> duringScan;
    QString statusDuringScan;
    whenProgressReaches(20, [&] {
        duringScan = lineActionsEnabled();
        statusDuringScan = f.StatusText();
        QTest::mouseClick(widget<QPushButton>("bbOpen"), Qt::LeftButton);
        auto* pages = widget<QTabWidget>("PageControl");
        for (int page : {3, 2, 1})
            pages->setCurrentIndex(page);
    });
    pty->clearRequests();
    widget<QPushButton>("bbScanStart")->click();

    // The late answer is 5's, not 6's, and says so.
    EXPECT_EQ(listedAddresses(), (QStringList{"1", "5", "7"}));
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("ТИРС-70 №0005  (ответ с опозданием)"));
    EXPECT_EQ(duringScan, std::vector<bool>(allEnabled.size(), false));
    EXPECT_EQ(statusDuringScan, kInfo1);
    EXPECT_EQ(lineActionsEnabled(), allEnabled);
    EXPECT_EQ(f.LastScanCount(), 3);
    EXPECT_TRUE(boxes.empty());

    // From the first probe to the last: the probes alone, each address once.
    const auto log = pty->requests();
    std::vector<int> probed;
    for (const auto& r : log) {
        if (!probed.empty() && probed.back() == kLastAddress)
            break;
        EXPECT_EQ(r.command, wire::GetInfo)
            << "after the probe of " << (probed.empty() ? 0 : probed.back());
        probed.push_back(r.address);
    }
    std::vector<int> expected;
    for (int a = 1; a <= kLastAddress; ++a)
        expected.push_back(a);
    EXPECT_EQ(probed, expected);
}

TEST_F(ScanLine, AssigningAnAddressAsksWhenSeveralHearItOrTheAddressAnswers)
{
    line.addActuator(1, "ТИРС-70 №0001");
    writeSettings("[General]\nMaster=1\n[Params]\nAddress=1\n");
    auto& f = createForm();
    std::vector<QString> asked;
    bool answer = false;
    f.Confirm = [&](const QString& question) {
        asked.push_back(question);
        return answer;
    };
    typeInto(widget<TFloatEdit>("feAddr2"), QStringLiteral("9"));
    ASSERT_EQ(f.Address, 9);
    const auto setAddrSent = [&] {
        const auto c = commandsOf(pty->requests());
        return std::count(c.begin(), c.end(), wire::SetAddr);
    };

    // One actuator, nobody at 9: who is there, whether 9 answers, the
    // assignment and its check, without a question.
    pty->clearRequests();
    widget<QPushButton>("btSetAddr")->click();
    EXPECT_EQ(commandsOf(pty->requests()),
              (std::vector<int>{wire::GetInfo, wire::GetInfo, wire::SetAddr, wire::GetInfo}));
    EXPECT_FALSE(pty->requests()[0].hasAddress);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(line.state(9).address, 9);

    // The new address already answers: asked, naming it; "no" sends nothing.
    line.addActuator(2, "ТИРС-70 №0002");
    line.with(9, [](sim::ActuatorState& s) { s.address = 1; });
    line.with(2, [](sim::ActuatorState& s) { s.address = 9; });
    line.removeActuator(1);
    pty->clearRequests();
    widget<QPushButton>("btSetAddr")->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(
        asked[0].contains(QStringLiteral("По адресу 9 уже отвечает привод «ТИРС-70 №0002»")))
        << asked[0].toStdString();
    EXPECT_EQ(setAddrSent(), 0);

    // Two hear a frame without address: asked; "no" sends nothing, "yes" sends.
    line.addActuator(1, "ТИРС-70 №0001");
    line.with(9, [](sim::ActuatorState& s) { s.address = 3; });
    pty->clearRequests();
    widget<QPushButton>("btSetAddr")->click();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[1].contains(QStringLiteral("больше одного привода")))
        << asked[1].toStdString();
    EXPECT_TRUE(asked[1].contains(QStringLiteral("Присвоить адрес 9?"))) << asked[1].toStdString();
    EXPECT_EQ(setAddrSent(), 0);
    EXPECT_EQ(f.WakePort->DevAddr, 9);

    answer = true;
    pty->clearRequests();
    widget<QPushButton>("btSetAddr")->click();
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(setAddrSent(), 1);
    EXPECT_EQ(line.addresses(), (std::vector<int>{9, 9}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ScanLine, AddressZeroIsFlaggedWhileItIsSelected)
{
    writeSettings("[General]\nMaster=1\n");
    auto& f = createForm();
    auto* warning = widget<QLabel>("AddressZeroPanel");
    f.show();
    EXPECT_EQ(f.Address, 0);
    EXPECT_TRUE(warning->isVisible());
    saveScreenshot(&f, QStringLiteral("address-zero-warning"));

    typeInto(widget<TFloatEdit>("feAddr3"), QStringLiteral("3"));
    EXPECT_FALSE(warning->isVisible());
    f.SelectAddress(0);
    EXPECT_TRUE(warning->isVisible());
    typeInto(widget<TFloatEdit>("feAddr2"), QStringLiteral("127"));
    EXPECT_FALSE(warning->isVisible());
}

}  // namespace
