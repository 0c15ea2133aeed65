#pragma once

#include <QDialog>

#include "windowsports.h"

class QComboBox;
class QListWidget;

// "Настройка портов" on Windows: the ports Windows has, with the system's
// names for them, and the baud rate of the line. There is nothing to point a
// port at there: COMn is the system's port \\.\COMn.
class TWindowsPortDialog : public QDialog {
    Q_OBJECT

public:
    TWindowsPortDialog(const WindowsPortSource& source, int baudRate, QWidget* parent = nullptr);

    int BaudRate() const;

private:
    void fillPorts();

    WindowsPortSource source_;
    QListWidget* ports_ = nullptr;
    QComboBox* baud_ = nullptr;
};
