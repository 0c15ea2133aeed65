// The window's connection to the line: no port means no readings, a device
// that goes away is reopened by itself, and no exchange outlasts its bound
// whatever the line sends.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <atomic>
#include <thread>

#include "floatedit.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;
using namespace std::chrono_literals;

namespace {

const QString kNoDevice = QStringLiteral("No Device");
const QString kInfo = QStringLiteral("ТИРС-70 №0001");
const QString kNoPort = QStringLiteral("Порт не открыт.");

class Connection : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0001");
        writeSettings("[General]\nPage=1\nMaster=1\n[Params]\nAddress=1\n");
    }
    TFloatEdit* fe(const char* name) const { return widget<TFloatEdit>(name); }
    QString text(const char* name) const { return widget<QLineEdit>(name)->text(); }
    std::vector<int> commands() const { return commandsOf(pty->requests()); }
};

TEST_F(Connection, ClosedPortShowsNoDeviceAndFillsNothing)
{
    auto& f = createForm();
    tick();
    ASSERT_TRUE(f.DeviceFound);
    ASSERT_EQ(f.StatusText(), kInfo);

    widget<QAction>("mnClosePort")->trigger();
    ASSERT_EQ(f.WakePort->Port, 0);
    fe("feVm")->SetValue(7);
    fe("feNt")->SetValue(77);
    const QString position = text("edNx");
    pty->clearRequests();

    // The poll: nothing to identify, nothing decoded from the last answer.
    for (int i = 0; i < 3; ++i)
        tick();
    EXPECT_FALSE(f.DeviceFound);
    EXPECT_EQ(f.StatusText(), kNoDevice);
    EXPECT_EQ(text("edType1"), QString());
    EXPECT_EQ(text("edNx"), position);
    EXPECT_EQ(fe("feVm")->Value(), 7);
    EXPECT_EQ(fe("feNt")->Value(), 77);

    // A page switch reads nothing either.
    widget<QTabWidget>("PageControl")->setCurrentIndex(3);
    EXPECT_EQ(fe("feVm")->Value(), 7);
    EXPECT_TRUE(boxes.empty());

    // A motion button and a write say why.
    widget<QPushButton>("bbOpen")->click();
    widget<QPushButton>("bbWrite")->click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].message, QStringLiteral("Ошибка команды SetS:\r") + kNoPort);
    EXPECT_EQ(boxes[1].message, QStringLiteral("Ошибка команды SetS:\r") + kNoPort);

    // The shutdown's last command fails quietly.
    closeForm();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(commands().empty());
}

}  // namespace
