// Start-up, shutdown, the settings file and the port menu of the main window.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "apptitle.h"
#include "floatedit.h"
#include "support/windowfixture.h"

using uitest::WindowTest;

namespace {

const QString kTitle = QStringLiteral("Программа управления приводом ТИРС-70");
constexpr int kSetS = 16;

std::string namesSection()
{
    std::string s = "[Names]\n";
    for (int a = 1; a <= 127; ++a)
        s += "Addr" + std::to_string(a) + "=\n";
    return s + "\n";
}

class MainFormSettings : public WindowTest {
protected:
    int countRequests(int command) const
    {
        int n = 0;
        for (const auto& r : pty->requests())
            n += r.command == command;
        return n;
    }
    std::vector<bool> checkedItems() const
    {
        std::vector<bool> v;
        for (QAction* item : form->PortItems)
            v.push_back(item->isChecked());
        return v;
    }
};

TEST_F(MainFormSettings, NoFileGivesDefaultsAndCloseWritesTheFourSections)
{
    line.addActuator(1, "ТИРС-70 №0001");
    auto& f = createForm();
    EXPECT_EQ(f.x(), 421);
    EXPECT_EQ(f.y(), 276);
    EXPECT_EQ(widget<QTabWidget>("PageControl")->currentIndex(), 0);
    EXPECT_TRUE(widget<QCheckBox>("cbAutoPar")->isChecked());
    EXPECT_TRUE(widget<QCheckBox>("cbAutoRel")->isChecked());
    EXPECT_FALSE(widget<QCheckBox>("cbTravel")->isChecked());
    EXPECT_EQ(f.PortNumber, 2);
    EXPECT_EQ(f.WakePort->Port, 2);
    EXPECT_EQ(f.WakePort->Baud, 9600);
    EXPECT_EQ(f.BaudRate, 9600);
    EXPECT_EQ(f.Address, 0);
    EXPECT_FALSE(f.Master);
    EXPECT_FALSE(f.DeviceFound);
    EXPECT_EQ(f.windowTitle(), kTitle + QStringLiteral(" на COM2"));
    EXPECT_EQ(ApplicationTitle(), kTitle);
    EXPECT_DOUBLE_EQ(f.MMPerStep, 0.00083);
    EXPECT_EQ(f.MotSteps, 200);
    EXPECT_EQ(f.OptoBlades, 8);
    EXPECT_EQ(f.Dir, QCoreApplication::applicationDirPath());
    // Operator mode.
    EXPECT_FALSE(widget<QWidget>("tsParams")->isEnabled());
    EXPECT_FALSE(widget<QWidget>("tsSettings")->isEnabled());
    EXPECT_TRUE(widget<QWidget>("tsNet")->isEnabled());
    EXPECT_FALSE(settingsExist());

    closeForm();
    EXPECT_EQ(f.WakePort, nullptr);
    const std::string expected = "[General]\nLeft=421\nTop=276\nPage=0\nAutoPar=1\nAutoRel=1\n\n"
                                 "[Port]\nPort=2\nBaud Rate=9600\n\n"
                                 "[Params]\nAddress=0\nMMPerStep=0.00083\nMotSteps=200\n"
                                 "OptoBlades=8\nSetTravel=0\nDir=" +
                                 QCoreApplication::applicationDirPath().toStdString() + "\n\n" +
                                 namesSection();
    EXPECT_EQ(readSettings(), expected);
    // CRLF on disk, no "Master".
    EXPECT_NE(readSettingsBytes().find("Left=421\r\nTop=276\r\n"), std::string::npos);
    EXPECT_EQ(readSettings().find("Master"), std::string::npos);
    // The final stop-and-switch-off went to the line.
    EXPECT_EQ(countRequests(kSetS), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormSettings, SavedValuesAreLoadedAndWrittenBackInPlace)
{
    writeSettings("; a comment that is lost\n"
                  "[Extra]\nfoo = bar\nno equals sign here\n"
                  "[general]\nTOP=300\nLeft=100\nPage=3\nMaster=1\nAutoPar=0\nAutoRel=0\nMine=7\n"
                  "[Port]\nPort=0\nBaud Rate=19200\n"
                  "[Params]\nAddress=17\nMMPerStep=0.5\nMotSteps=400\nOptoBlades=16\n"
                  "SetTravel=1\nDir=/tmp/params/\n"
                  "[Names]\nAddr17=Клапан на входе\nAddr3=Насос\n");
    auto& f = createForm();
    EXPECT_EQ(f.x(), 100);
    EXPECT_EQ(f.y(), 300);
    EXPECT_EQ(widget<QTabWidget>("PageControl")->currentIndex(), 3);
    EXPECT_TRUE(f.Master);
    EXPECT_FALSE(widget<QCheckBox>("cbAutoPar")->isChecked());
    EXPECT_FALSE(widget<QCheckBox>("cbAutoRel")->isChecked());
    EXPECT_TRUE(widget<QWidget>("tsParams")->isEnabled());
    EXPECT_TRUE(widget<QWidget>("tsSettings")->isEnabled());
    EXPECT_TRUE(widget<QCheckBox>("cbTravel")->isChecked());
    EXPECT_TRUE(widget<TFloatEdit>("feNt")->isEnabled());
    EXPECT_EQ(f.PortNumber, 0);
    EXPECT_EQ(f.BaudRate, 19200);
    EXPECT_EQ(f.Address, 17);
    EXPECT_EQ(f.WakePort->DevAddr, 17);
    EXPECT_DOUBLE_EQ(f.MMPerStep, 0.5);
    EXPECT_EQ(f.MotSteps, 400);
    EXPECT_EQ(f.OptoBlades, 16);
    EXPECT_EQ(f.Dir, QStringLiteral("/tmp/params/"));
    EXPECT_EQ(f.Names[17], "Клапан на входе");
    EXPECT_EQ(f.Names[3], "Насос");

    closeForm();
    const std::string text = readSettings();
    // The unknown section keeps its place and its line without "="; the
    // comment is gone; existing keys keep their places, new ones come last.
    EXPECT_EQ(text.rfind("[Extra]\nfoo=bar\nno equals sign here\n\n"
                         "[general]\nTOP=300\nLeft=100\nPage=3\nMaster=1\nAutoPar=0\nAutoRel=0\n"
                         "Mine=7\n\n"
                         "[Port]\nPort=0\nBaud Rate=19200\n\n"
                         "[Params]\nAddress=17\nMMPerStep=0.5\nMotSteps=400\nOptoBlades=16\n"
                         "SetTravel=1\nDir=/tmp/params/\n\n"
                         "[Names]\nAddr17=Клапан на входе\nAddr3=Насос\nAddr1=\nAddr2=\nAddr4=\n",
                         0),
              0u)
        << text;
    EXPECT_EQ(text.find(';'), std::string::npos);
    EXPECT_NE(text.find("Addr127=\n"), std::string::npos);
    // Windows-1251 on disk.
    EXPECT_NE(readSettingsBytes().find("Addr3=\xCD\xE0\xF1\xEE\xF1\r\n"), std::string::npos);
}

TEST_F(MainFormSettings, OperatorModeForcesAutomaticReadingAndWritesItBack)
{
    for (const char* master : {"", "Master=0\n"}) {
        SCOPED_TRACE(master);
        writeSettings(std::string("[General]\nAutoPar=0\nAutoRel=0\n") + master);
        auto& f = createForm();
        EXPECT_FALSE(f.Master);
        EXPECT_TRUE(widget<QCheckBox>("cbAutoPar")->isChecked());
        EXPECT_TRUE(widget<QCheckBox>("cbAutoRel")->isChecked());
        EXPECT_FALSE(widget<QWidget>("tsParams")->isEnabled());
        EXPECT_FALSE(widget<QWidget>("tsSettings")->isEnabled());
        closeForm();
        form.reset();
        const std::string text = readSettings();
        EXPECT_EQ(text.rfind(std::string("[General]\nAutoPar=1\nAutoRel=1\n") + master +
                                 "Left=421\nTop=276\nPage=0\n\n",
                             0),
                  0u)
            << text;
    }
}

TEST_F(MainFormSettings, DecimalCommaReadsAsDefaultAndIsWrittenBack)
{
    writeSettings("[Params]\nMMPerStep=0,5\n");
    auto& f = createForm();
    EXPECT_DOUBLE_EQ(f.MMPerStep, 0.00083);
    closeForm();
    EXPECT_NE(readSettings().find("[Params]\nMMPerStep=0.00083\n"), std::string::npos);
}

TEST_F(MainFormSettings, OutOfRangeValuesAreHeldSafely)
{
    struct Row {
        const char* port;
        const char* page;
        int pageShown;
    };
    for (const Row& r :
         {Row{"0", "4", 4}, Row{"9", "5", 0}, Row{"-1", "-1", 0}, Row{"12", "99999999999", 0}}) {
        SCOPED_TRACE(r.port);
        writeSettings(std::string("[General]\nPage=") + r.page + "\n[Port]\nPort=" + r.port + "\n");
        auto& f = createForm();
        EXPECT_EQ(widget<QTabWidget>("PageControl")->currentIndex(), r.pageShown);
        EXPECT_EQ(f.PortNumber, 0);
        EXPECT_EQ(f.WakePort->Port, 0);
        EXPECT_EQ(f.windowTitle(), kTitle);
        EXPECT_FALSE(widget<QAction>("mnClosePort")->isEnabled());
        EXPECT_EQ(checkedItems(), std::vector<bool>(8, false));
        form.reset();
    }
}

TEST_F(MainFormSettings, AddressesOutsideTheRangeAreClampedIntoAllFields)
{
    for (auto [text, expected] :
         {std::pair{"200", 127}, std::pair{"-5", 0}, std::pair{"$11", 17}}) {
        SCOPED_TRACE(text);
        writeSettings(std::string("[Params]\nAddress=") + text + "\n");
        auto& f = createForm();
        EXPECT_EQ(f.Address, expected);
        EXPECT_EQ(f.WakePort->DevAddr, expected);
        form.reset();
    }
}

TEST_F(MainFormSettings, ChoosingThePortInUseOpensItOnlyWhenItIsNotOpen)
{
    linkPort(3);  // COM3 is missing at first
    writeSettings("[Port]\nPort=3\n");
    line.addActuator(5, "ТИРС-70 №0005");
    auto& f = createForm();
    f.SelectAddress(5);
    EXPECT_EQ(f.windowTitle(), kTitle + QStringLiteral(" на COM3"));
    EXPECT_TRUE(f.PortItems[2]->isChecked());
    EXPECT_THROW(f.WakePort->GetInfo(), EHardwareException);

    linkPort(3, pty->slavePath());  // the device appears
    f.PortItems[2]->trigger();      // choosing the port in use tries it again
    EXPECT_TRUE(f.PortItems[2]->isChecked());
    EXPECT_EQ(f.WakePort->GetInfo(), "ТИРС-70 №0005");

    // Open: choosing it again leaves it, and what was found on it, alone.
    f.Timer1Timer();
    f.Timer1->stop();
    ASSERT_TRUE(f.DeviceFound);
    f.PortItems[2]->trigger();
    EXPECT_TRUE(f.PortItems[2]->isChecked());
    EXPECT_TRUE(f.DeviceFound);
    EXPECT_EQ(f.WakePort->GetInfo(), "ТИРС-70 №0005");
}

TEST_F(MainFormSettings, AnotherPortMovesCheckMarkAndCaption)
{
    uitest::ExtraLine com3, com4;
    ASSERT_TRUE(com3.pty.start());
    ASSERT_TRUE(com4.pty.start());
    com3.line.addActuator(1, "на COM3");
    com4.line.addActuator(1, "на COM4");
    linkPort(3, com3.pty.slavePath());
    linkPort(4, com4.pty.slavePath());
    writeSettings("[Port]\nPort=3\nBaud Rate=19200\n[Params]\nAddress=1\n");
    auto& f = createForm();
    EXPECT_EQ(f.WakePort->GetInfo(), "на COM3");

    f.PortItems[3]->trigger();
    EXPECT_EQ(f.PortNumber, 4);
    EXPECT_EQ(f.WakePort->Port, 4);
    EXPECT_EQ(f.WakePort->Baud, 19200);
    EXPECT_EQ(checkedItems(),
              (std::vector<bool>{false, false, false, true, false, false, false, false}));
    EXPECT_EQ(f.windowTitle(), kTitle + QStringLiteral(" на COM4"));
    EXPECT_TRUE(widget<QAction>("mnClosePort")->isEnabled());
    EXPECT_EQ(f.WakePort->GetInfo(), "на COM4");
    // COM3 was released: another client can take it.
    EXPECT_TRUE(f.WakePort->PortAvailable(3));

    widget<QAction>("mnClosePort")->trigger();
    EXPECT_EQ(f.PortNumber, 0);
    EXPECT_EQ(f.WakePort->Port, 0);
    EXPECT_EQ(checkedItems(), std::vector<bool>(8, false));
    EXPECT_EQ(f.windowTitle(), kTitle);
    EXPECT_FALSE(widget<QAction>("mnClosePort")->isEnabled());
    EXPECT_TRUE(f.WakePort->PortAvailable(4));

    closeForm();
    EXPECT_NE(readSettings().find("[Port]\nPort=0\nBaud Rate=19200\n"), std::string::npos);
}

TEST_F(MainFormSettings, ProbingGreysOutPortsThatCannotBeOpened)
{
    uitest::ExtraLine com3, com5;
    ASSERT_TRUE(com3.pty.start());
    ASSERT_TRUE(com5.pty.start());
    linkPort(3, com3.pty.slavePath());
    linkPort(5, com5.pty.slavePath());
    // Another program holds COM5, as serial tools do, with an advisory lock.
    const int elsewhere = ::open(com5.pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(elsewhere, 0);
    ASSERT_EQ(::flock(elsewhere, LOCK_EX | LOCK_NB), 0);

    auto& f = createForm();
    ASSERT_EQ(f.WakePort->Port, 2);
    widget<QMenu>("mnPort")->aboutToShow();
    std::vector<bool> enabled;
    for (QAction* item : f.PortItems)
        enabled.push_back(item->isEnabled());
    EXPECT_EQ(enabled, (std::vector<bool>{false, true, true, false, false, false, false, false}));
    EXPECT_TRUE(f.PortItems[1]->isChecked());

    // Freed elsewhere: selectable at the next opening; with no port in use
    // all eight are probed.
    ::close(elsewhere);
    widget<QAction>("mnClosePort")->trigger();
    widget<QMenu>("mnPort")->aboutToShow();
    enabled.clear();
    for (QAction* item : f.PortItems)
        enabled.push_back(item->isEnabled());
    EXPECT_EQ(enabled, (std::vector<bool>{false, true, true, false, true, false, false, false}));
}

TEST_F(MainFormSettings, APortThatCannotOpenShowsWhyInTheStatusBar)
{
    uitest::ExtraLine com5;
    ASSERT_TRUE(com5.pty.start());
    linkPort(5, com5.pty.slavePath());
    const int elsewhere = ::open(com5.pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(elsewhere, 0);
    ASSERT_EQ(::flock(elsewhere, LOCK_EX | LOCK_NB), 0);

    auto& f = createForm();
    auto* why = widget<QLabel>("PortProblemPanel");
    EXPECT_EQ(why->text(), QString());  // COM2 opened
    f.SelectPort(4);                    // a dangling link: the adapter is unplugged
    // The reason first, then the path that a short line elides in its middle.
    EXPECT_EQ(why->text(), QStringLiteral("COM4: устройство не найдено: ") + programDir() +
                               QStringLiteral("/ports/COM4"));
    EXPECT_EQ(why->toolTip(), why->text());
    f.SelectPort(5);
    EXPECT_TRUE(why->text().startsWith(QStringLiteral("COM5: занят другой программой: ")));
    ::close(elsewhere);
    f.SelectPort(2);
    EXPECT_EQ(why->text(), QString());
    f.SelectPort(0);
    EXPECT_EQ(why->text(), QString());
}

TEST_F(MainFormSettings, PortItemsAreBuiltAheadOfTheSeparator)
{
    auto& f = createForm();
    const QList<QAction*> actions = widget<QMenu>("mnPort")->actions();
    ASSERT_EQ(actions.size(), 13);
    for (int n = 1; n <= 8; ++n) {
        // "COMn", and beside it what the port leads to.
        EXPECT_TRUE(actions[n - 1]->text().startsWith(QStringLiteral("COM") + QString::number(n) +
                                                      QStringLiteral(" — ")));
        EXPECT_EQ(actions[n - 1]->data().toInt(), n);
    }
    EXPECT_EQ(actions[8], widget<QAction>("N1"));
    EXPECT_TRUE(widget<QAction>("N1")->isSeparator());
    EXPECT_EQ(actions[9], widget<QAction>("mnClosePort"));
    EXPECT_EQ(actions[10], widget<QAction>("mnPortSetup"));
    EXPECT_EQ(actions[11], widget<QAction>("N2"));
    EXPECT_EQ(actions[12], widget<QAction>("mnExit"));
    EXPECT_EQ(widget<QAction>("mnExit")->shortcut(), QKeySequence(QStringLiteral("Alt+X")));
    EXPECT_EQ(widget<QAction>("mnAbout")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_FALSE(widget<QAction>("mnExit")->icon().isNull());
    EXPECT_FALSE(widget<QAction>("mnAbout")->icon().isNull());
    EXPECT_EQ(f.Timer1->interval(), 300);
}

TEST_F(MainFormSettings, FailedSaveShowsTheErrorAndShutdownGoesOn)
{
    // A folder where the file should be: neither readable nor replaceable.
    ASSERT_TRUE(QDir().mkpath(settingsPath()));
    auto& f = createForm();
    // Reading it failed: reported, and the window starts with the defaults.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(f.PortNumber, 2);
    closeForm();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, QStringLiteral("Error"));
    EXPECT_TRUE(boxes[1].message.contains(settingsPath())) << boxes[1].message.toStdString();
    EXPECT_EQ(f.WakePort, nullptr);
    EXPECT_EQ(countRequests(kSetS), 1);
    QDir(settingsPath()).removeRecursively();
}

TEST_F(MainFormSettings, FinalStopFailureIsIgnored)
{
    // No actuator answers at address 0.
    auto& f = createForm();
    closeForm();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(settingsExist());
    EXPECT_EQ(f.WakePort, nullptr);
}

TEST_F(MainFormSettings, ExitClosesTheWindowAndAboutNamesTheTitle)
{
    auto& f = createForm();
    f.show();
    QString aboutText;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            aboutText = box->text();
            box->accept();
        }
    });
    widget<QAction>("mnAbout")->trigger();
    EXPECT_TRUE(aboutText.startsWith(kTitle + QStringLiteral("\nВерсия ")))
        << aboutText.toStdString();

    widget<QAction>("mnExit")->trigger();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.WakePort, nullptr);
    EXPECT_TRUE(settingsExist());
}

}  // namespace
