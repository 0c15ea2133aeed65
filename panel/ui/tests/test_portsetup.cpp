// Port setup from the window, on a device folder of the test's own: its
// "ttyUSB0" is a second simulated line on a pseudo-terminal with a stable
// name beside it, its "ttyS0" a dangling link; no real device is listed.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <fstream>

#include "portlinks.h"
#include "portsetupdialog.h"
#include "statusbarline.h"
#include "support/windowfixture.h"

using namespace uitest;
namespace fs = std::filesystem;

namespace {

const char* const kStable = "usb-FTDI_USB-RS485_Cable_FT1ABC23-if00-port0";

class PortSetup : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        adapter.line.addActuator(1, "ТИРС-70 №0777");
        ASSERT_TRUE(adapter.pty.start());
        root = fs::path(programDir().toStdString()) / "devroot";
        fs::remove_all(root);
        roots.dev = (root / "dev").string();
        roots.byId = (root / "dev/serial/by-id").string();
        roots.sysTty = (root / "sys/class/tty").string();
        fs::create_directories(roots.byId);
        fs::create_directories(fs::path(roots.sysTty) / "ttyS0");
        std::ofstream(fs::path(roots.sysTty) / "ttyS0/type") << "4\n";
        fs::create_symlink("/nonexistent/ttyS0", fs::path(roots.dev) / "ttyS0");
        fs::create_symlink(adapter.pty.slavePath(), fs::path(roots.dev) / "ttyUSB0");
        fs::create_symlink("../../ttyUSB0", fs::path(roots.byId) / kStable);
        writeSettings("[Params]\nAddress=1\n");
        createForm();
        form->DeviceRoots = roots;
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        fs::remove_all(root);
    }
    // Runs the dialog from the menu item; act sees it open, as the operator does.
    void runDialog(const std::function<void(TPortSetupDialog*)>& act)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TPortSetupDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            saveScreenshot(dialog, QStringLiteral("port-setup"));
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        widget<QAction>("mnPortSetup")->trigger();
        EXPECT_TRUE(seen);
    }
    static QStringList items(QComboBox* combo)
    {
        QStringList out;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }
    static QComboBox* combo(QWidget* dialog, const char* name)
    {
        return dialog->findChild<QComboBox*>(QString::fromLatin1(name));
    }
    static void ok(QWidget* dialog)
    {
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    ExtraLine adapter;
    fs::path root;
    SerialDeviceRoots roots;
};

TEST_F(PortSetup, PointsAPortAtAnAdapterAndReopensItAtTheNewBaudRate)
{
    tick();
    ASSERT_EQ(form->StatusText(), QStringLiteral("No Device"));  // nobody at 1 on COM2
    // The menu says what each port is.
    widget<QMenu>("mnPort")->aboutToShow();
    EXPECT_EQ(form->PortItems[1]->text(),
              QStringLiteral("COM2 — ") + QString::fromStdString(pty->slavePath()));
    EXPECT_EQ(form->PortItems[2]->text(), QStringLiteral("COM3 — ") +
                                              QString::fromLatin1(support::MissingDevice) +
                                              QStringLiteral(" (не подключено)"));

    runDialog([&](TPortSetupDialog* d) {
        // The stable name first, then the fitted UART; the port as it is
        // now heads the list where it is none of them.
        EXPECT_EQ(items(combo(d, "cbPort2")),
                  (QStringList{QString::fromStdString(pty->slavePath()), "нет устройства",
                               "FTDI USB-RS485 Cable (ttyUSB0)", "ttyS0"}));
        EXPECT_EQ(combo(d, "cbPort2")->currentIndex(), 0);
        EXPECT_EQ(combo(d, "cbBaudRate")->currentText(), QStringLiteral("9600"));
        EXPECT_EQ(combo(d, "cbBaudRate")->count(), 8);
        combo(d, "cbPort2")->setCurrentIndex(2);
        combo(d, "cbPort3")->setCurrentIndex(combo(d, "cbPort3")->findText("нет устройства"));
        combo(d, "cbBaudRate")->setCurrentText(QStringLiteral("19200"));
        ok(d);
        EXPECT_FALSE(d->isVisible());
    });
    const fs::path ports = fs::path(programDir().toStdString()) / "ports";
    EXPECT_EQ(fs::read_symlink(ports / "COM2"), fs::path(roots.byId) / kStable);
    EXPECT_EQ(ReadPortLink(ports.string(), 3).kind, PortLink::Kind::Nothing);
    EXPECT_EQ(form->BaudRate, 19200);
    EXPECT_EQ(form->WakePort->Port, 2);
    EXPECT_EQ(form->PortItems[1]->text(), QStringLiteral("COM2 — FTDI USB-RS485 Cable (ttyUSB0)"));
    EXPECT_EQ(form->PortItems[2]->text(), QStringLiteral("COM3 — нет устройства"));
    EXPECT_TRUE(form->StatusLine->Reporting());
    // The reopened port leads to the adapter's line: the next poll finds its drive.
    tick();
    EXPECT_EQ(form->StatusText(), QStringLiteral("ТИРС-70 №0777"));
    EXPECT_FALSE(adapter.pty.requests().empty());
    closeForm();
    EXPECT_NE(readSettings().find("Baud Rate=19200\n"), std::string::npos);

    // Opened again, the dialog shows the choices as they now stand; Cancel writes nothing.
    createForm();
    form->DeviceRoots = roots;
    runDialog([&](TPortSetupDialog* d) {
        EXPECT_EQ(combo(d, "cbPort2")->currentText(),
                  QStringLiteral("FTDI USB-RS485 Cable (ttyUSB0)"));
        EXPECT_EQ(combo(d, "cbPort3")->currentText(), QStringLiteral("нет устройства"));
        EXPECT_EQ(combo(d, "cbBaudRate")->currentText(), QStringLiteral("19200"));
        combo(d, "cbPort2")->setCurrentIndex(1);
        d->reject();
    });
    EXPECT_EQ(fs::read_symlink(ports / "COM2"), fs::path(roots.byId) / kStable);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PortSetup, AFolderThatCannotBeWrittenIsSaidAndTheDialogStays)
{
    const fs::path notAFolder = root / "ports";
    std::ofstream(notAFolder) << "a file where the folder should be";
    TPortSetupDialog d(QString::fromStdString(notAFolder.string()), roots, 4800);
    d.show();
    EXPECT_EQ(combo(&d, "cbBaudRate")->currentText(), QStringLiteral("4800"));
    combo(&d, "cbPort1")->setCurrentIndex(combo(&d, "cbPort1")->findText("ttyS0"));
    ok(&d);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    auto* error = d.findChild<QLabel*>(QStringLiteral("lbPortSetupError"));
    EXPECT_TRUE(error->isVisible());
    EXPECT_TRUE(error->text().startsWith(QStringLiteral("Папка ") +
                                         QString::fromStdString(notAFolder.string()) +
                                         QStringLiteral(" недоступна для записи: ")))
        << error->text().toStdString();
    EXPECT_TRUE(d.ChangedPorts().empty());
    // A rate set by hand in the settings file is offered beside the standard ones.
    TPortSetupDialog odd(QString::fromStdString(notAFolder.string()), roots, 14400);
    EXPECT_EQ(combo(&odd, "cbBaudRate")->currentText(), QStringLiteral("14400"));
    EXPECT_EQ(combo(&odd, "cbBaudRate")->count(), 9);
}

TEST_F(PortSetup, AnyCharacterDeviceCanBeTypedInAndAnythingElseIsRefused)
{
    // Not on the list: the adapter's pseudo-terminal by its own path.
    const QString ptyPath = QString::fromStdString(adapter.pty.slavePath());
    const fs::path plain = root / "not-a-device";
    std::ofstream(plain) << "text";
    QStringList asked;
    runDialog([&](TPortSetupDialog* d) {
        QString answer = QString::fromStdString(plain.string());
        d->ChooseDevicePath = [&](int port) {
            asked << QString::number(port);
            return answer;
        };
        auto* error = d->findChild<QLabel*>(QStringLiteral("lbPortSetupError"));
        const QString before = combo(d, "cbPort4")->currentText();
        d->findChild<QToolButton*>(QStringLiteral("btPortPath4"))->click();
        EXPECT_TRUE(error->isVisible());
        EXPECT_EQ(error->text(), QStringLiteral("COM4: ") + answer +
                                     QStringLiteral(": не символьное устройство (порт — это "
                                                    "устройство вроде /dev/ttyUSB0 или "
                                                    "/dev/pts/3)"));
        EXPECT_EQ(combo(d, "cbPort4")->currentText(), before);
        answer = QString::fromStdString((root / "missing").string());
        d->findChild<QToolButton*>(QStringLiteral("btPortPath4"))->click();
        EXPECT_TRUE(error->text().endsWith(QStringLiteral(": нет такого устройства")));

        answer = ptyPath;
        d->findChild<QToolButton*>(QStringLiteral("btPortPath4"))->click();
        EXPECT_FALSE(error->isVisible());
        EXPECT_EQ(combo(d, "cbPort4")->currentData().toString(), ptyPath);
        // Kept through "Обновить список".
        d->findChild<QPushButton*>(QStringLiteral("btRescan"))->click();
        EXPECT_EQ(combo(d, "cbPort4")->currentData().toString(), ptyPath);
        ok(d);
    });
    EXPECT_EQ(asked, (QStringList{"4", "4", "4"}));
    const fs::path ports = fs::path(programDir().toStdString()) / "ports";
    EXPECT_EQ(fs::read_symlink(ports / "COM4"), fs::path(ptyPath.toStdString()));
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
