#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <set>

#include "comlinks.h"
#include "serialdevices.h"

class QComboBox;
class QLabel;
class TElidedLabel;

// "Настройка портов": what COM1 ... COM8 lead to, each pointed at a serial
// device found on the machine, at any character device typed or browsed to
// ("…" beside the list: a pseudo-terminal, a network serial bridge), or at
// nothing, and the baud rate of the line.
// Accepting writes the changed ports/COMn links; when the folder cannot be
// written the dialog says so and stays open.
class TPortSetupDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int Ports = 8;
    static constexpr std::array<int, 8> StandardBaudRates{1200,  2400,  4800,  9600,
                                                          19200, 38400, 57600, 115200};

    TPortSetupDialog(const QString& portsFolder, const SerialDeviceRoots& roots, int baudRate,
                     QWidget* parent = nullptr);

    int BaudRate() const;
    // The ports whose links were written, also by an accept that then failed.
    const std::set<int>& ChangedPorts() const { return changed_; }

    void accept() override;

    // The path "…" asks for; empty when the operator cancels. Unset, a file
    // dialog opens on /dev, in which a path may also be typed.
    std::function<QString(int port)> ChooseDevicePath;
    // Points port n's list at a device path, when it is a character device;
    // otherwise says why not below the ports and changes nothing.
    bool ChooseDevice(int port, const QString& path);

private:
    // The file dialog behind "…".
    QString browseDevice(int port);
    // Reads the links and lists the devices again, keeping what is chosen.
    void fillPorts();

    std::string folder_;
    SerialDeviceRoots roots_;
    std::array<QComboBox*, Ports> targets_{};
    std::array<PortLink, Ports> links_{};
    QComboBox* baud_ = nullptr;
    TElidedLabel* folderLabel_ = nullptr;
    QLabel* error_ = nullptr;
    std::set<int> changed_;
};
