// The window on a bad line: answers lost, damaged or wrong for thousands of
// ticks, the adapter unplugged in the middle of an exchange and plugged in
// again, and the line flooded with noise. The program must keep polling,
// recover by itself, never hang and never show an error box.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;
using namespace std::chrono_literals;

namespace {

const QString kNoDevice = QStringLiteral("No Device");
const QString kInfo = QStringLiteral("ТИРС-70 №0001");
// Generous bounds for one tick: its exchanges end after 100 ms without a
// byte, and after about 1.2 s at the most, whatever the line does.
constexpr qint64 kTickBoundMs = 2000;
// Flat memory: what a leak of a few hundred bytes per tick would exceed.
// AddressSanitizer holds freed memory back (its quarantine), so there the
// resident size grows by design and LeakSanitizer checks for leaks instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kRssGrowthBoundKiB = 512 * 1024;
#else
constexpr long kRssGrowthBoundKiB = 1024;
#endif

long residentKiB()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

class LineFaults : public WindowTest {
protected:
    // The actuator at 1 selected, the position page shown, the timer stopped.
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0001");
        writeSettings("[General]\nPage=1\n[Params]\nAddress=1\n");
    }
    // One tick; its duration in ms.
    qint64 timedTick()
    {
        QElapsedTimer t;
        t.start();
        tick();
        return t.elapsed();
    }
    void expectHealthyAfterTicks(int n)
    {
        for (int i = 0; i < n; ++i)
            tick();
        EXPECT_TRUE(form->DeviceFound);
        EXPECT_EQ(form->StatusText(), kInfo);
    }
};

TEST_F(LineFaults, RandomFaultsForThousandsOfTicksKeepThePollGoing)
{
    createForm();
    sim::Faults faults;
    faults.randomFaultRate = 0.1;
    line.setFaults(1, faults);

    // Memory is compared after the warm-up and at the end; the rest counts
    // every tick.
    constexpr int kWarmUp = 200, kTicks = 1800;
    long warmRss = 0;
    int failed = 0, outages = 0, recovered = 0, longestOutage = 0, outage = 0;
    bool previousFound = false;  // the first tick identifies, like a recovery
    for (int i = 0; i < kTicks; ++i) {
        if (i == kWarmUp)
            warmRss = residentKiB();
        pty->clearRequests();
        ASSERT_LT(timedTick(), kTickBoundMs) << "tick " << i;
        const std::vector<int> sent = commandsOf(pty->requests());
        ASSERT_FALSE(sent.empty()) << "tick " << i << " sent nothing";
        if (previousFound) {
            // A good tick before: straight to the position, no identification;
            // a good tick asks all four, a failed one stops at the exchange
            // that failed.
            const std::vector<int> full{wire::GetN, wire::GetS, wire::GetT, wire::GetL};
            if (form->DeviceFound)
                EXPECT_EQ(sent, full) << "tick " << i;
            else
                EXPECT_TRUE(sent.size() <= full.size() &&
                            std::equal(sent.begin(), sent.end(), full.begin()))
                    << "tick " << i;
        } else {
            // After a failed tick: identify, then the automatic reads (they
            // may be cut short by another fault).
            EXPECT_EQ(sent.front(), wire::GetInfo) << "tick " << i;
            if (form->DeviceFound) {
                EXPECT_NE(std::find(sent.begin(), sent.end(), wire::GetA), sent.end())
                    << "tick " << i;
                EXPECT_NE(std::find(sent.begin(), sent.end(), wire::GetR), sent.end())
                    << "tick " << i;
                ++recovered;
            }
        }
        // "No Device" exactly while the last tick failed; the next good tick
        // puts the identification back by itself.
        if (form->DeviceFound) {
            EXPECT_EQ(form->StatusText(), kInfo) << "tick " << i;
            outage = 0;
        } else {
            EXPECT_EQ(form->StatusText(), kNoDevice) << "tick " << i;
            ++failed;
            outages += previousFound;
            longestOutage = std::max(longestOutage, ++outage);
        }
        previousFound = form->DeviceFound;
        if (HasFailure())
            break;
    }
    const long endRss = residentKiB();

    // A plain tick has four exchanges, one in three meets a fault; a tick
    // after a failure adds identification and the automatic reads, a dozen
    // more, so about one in four gets through and an outage lasts a few
    // ticks. Every outage ends by itself.
    EXPECT_GT(outages, kTicks / 20);
    EXPECT_LT(failed, kTicks * 8 / 10);
    EXPECT_GE(recovered, outages - 1);
    EXPECT_LT(longestOutage, 60);
    EXPECT_TRUE(boxes.empty()) << boxes.front().message.toStdString();
    EXPECT_LT(endRss - warmRss, kRssGrowthBoundKiB) << "KiB from " << warmRss << " to " << endRss;
    std::printf("%d ticks: %d failed in %d outages (longest %d), RSS %ld -> %ld KiB\n", kTicks,
                failed, outages, longestOutage, warmRss, endRss);
    RecordProperty("failed_ticks", failed);
    RecordProperty("rss_growth_kib", int(endRss - warmRss));

    line.clearFaults();
    expectHealthyAfterTicks(2);
}

TEST_F(LineFaults, UnpluggedMidExchangeThenPluggedInAgain)
{
    createForm();
    expectHealthyAfterTicks(1);
    ASSERT_TRUE(form->DeviceFound);

    // The answer to the position stops after a few bytes, and the adapter
    // goes while the program waits for the rest.
    sim::Faults cut;
    cut.cutAfter = 3;
    line.setFaults(1, cut);
    pty->clearRequests();
    std::thread unplugger([this] {
        pty->waitForRequests(
            [](const std::vector<sim::LoggedRequest>& log) { return !log.empty(); }, 10s);
        pty->unplug();
        linkPort(2);  // the device's name goes with it
    });
    const qint64 first = timedTick();
    unplugger.join();
    EXPECT_LT(first, kTickBoundMs);
    EXPECT_FALSE(form->DeviceFound);
    EXPECT_EQ(form->StatusText(), kNoDevice);
    line.clearFaults();

    // Gone: every tick tries the port once, fails fast and says so.
    auto* problem = widget<QLabel>("PortProblemPanel");
    const QString lost = QStringLiteral("COM2: связь потеряна, повторное подключение…");
    EXPECT_EQ(problem->text(), lost);
    for (int i = 0; i < 20; ++i) {
        ASSERT_LT(timedTick(), kTickBoundMs) << "tick " << i;
        EXPECT_FALSE(form->DeviceFound);
        EXPECT_EQ(form->StatusText(), kNoDevice);
    }
    EXPECT_EQ(problem->text(), lost);

    // The operator chooses the port again before the adapter is back: tried
    // at once, and still lost.
    form->mnCOM1Click(form->PortItems[1]);
    EXPECT_EQ(form->PortNumber, 2);
    EXPECT_TRUE(form->PortItems[1]->isChecked());
    EXPECT_EQ(problem->text(), lost);

    // Plugged in again: the system gives it a new device name behind the
    // same link. The next tick finds it and identifies the drive first.
    const std::string oldPath = pty->slavePath();
    ASSERT_TRUE(pty->start());
    linkPort(2, pty->slavePath());
    pty->clearRequests();
    tick();
    EXPECT_EQ(commandsOf(pty->requests()).front(), wire::GetInfo);
    EXPECT_TRUE(form->DeviceFound);
    EXPECT_EQ(form->StatusText(), kInfo);
    EXPECT_EQ(problem->text(), QString());
    expectHealthyAfterTicks(2);
    EXPECT_TRUE(boxes.empty()) << boxes.front().message.toStdString();
    RecordProperty("old_device", oldPath);
    RecordProperty("new_device", pty->slavePath());
}

// Noise bytes (never a frame start) written onto the line without a pause.
class Flood {
public:
    explicit Flood(sim::PtyLine& pty)
        : thread_([this, &pty] {
              std::mt19937 random(10);
              std::vector<std::uint8_t> bytes(64);
              while (!stop_) {
                  for (auto& b : bytes) {
                      b = std::uint8_t(random());
                      if (b == 0xC0)
                          b = 0x55;
                  }
                  pty.injectBytes(bytes);
                  written_ += bytes.size();
                  std::this_thread::sleep_for(1ms);
              }
          })
    {
    }
    ~Flood() { end(); }
    void end()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::size_t written() const { return written_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> written_{0};
    std::thread thread_;
};

TEST_F(LineFaults, FloodOfNoiseNeverBlocksTheWindow)
{
    createForm();
    expectHealthyAfterTicks(1);

    {
        Flood flood(*pty);
        // Ticks run directly: each one ends within its time-outs.
        for (int i = 0; i < 30; ++i)
            ASSERT_LT(timedTick(), kTickBoundMs) << "tick " << i;

        // Ticks run by the window's own timer: the event loop keeps turning.
        pty->clearRequests();
        QElapsedTimer sinceBeat;
        qint64 longestGap = 0;
        int beats = 0;
        QTimer heartbeat;
        heartbeat.setInterval(10);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceBeat.restart());
            ++beats;
        });
        sinceBeat.start();
        heartbeat.start();
        form->Timer1->start();
        QTest::qWait(4000);
        form->Timer1->stop();
        heartbeat.stop();
        flood.end();

        EXPECT_GT(flood.written(), 100'000u);
        EXPECT_LT(longestGap, kTickBoundMs) << "the event loop stood still that long";
        EXPECT_GT(beats, 20);
        // Still polling; an answer may get through between the noise, and
        // the status bar says what the last tick found.
        EXPECT_GE(commandsOf(pty->requests()).size(), 5u);
        EXPECT_EQ(form->StatusText() == kNoDevice, !form->DeviceFound);
    }

    // The noise ends: the next ticks find the drive again by themselves.
    form->Timer1->start();
    EXPECT_TRUE(QTest::qWaitFor([this] { return form->DeviceFound; }, 10000));
    form->Timer1->stop();
    EXPECT_EQ(form->StatusText(), kInfo);
    EXPECT_TRUE(boxes.empty()) << boxes.front().message.toStdString();
}

}  // namespace
