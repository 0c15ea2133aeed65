#include "portsetupdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "elidedlabel.h"

namespace {

// Item data: the device path a link is to lead to ("" for nothing), or for
// the entry as it stands, nothing to write.
constexpr int PathRole = Qt::UserRole;
constexpr int KeepRole = Qt::UserRole + 1;

QString fromLocal(const std::string& s)
{
    return QFile::decodeName(QByteArray::fromStdString(s));
}

std::string toLocal(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

}  // namespace

TPortSetupDialog::TPortSetupDialog(const QString& portsFolder, const SerialDeviceRoots& roots,
                                   int baudRate, QWidget* parent)
    : QDialog(parent), folder_(toLocal(portsFolder)), roots_(roots)
{
    setObjectName(QStringLiteral("PortSetupDialog"));
    setWindowTitle(QStringLiteral("Настройка портов"));
    auto* layout = new QVBoxLayout(this);

    folderLabel_ = new TElidedLabel(this);
    folderLabel_->setObjectName(QStringLiteral("lbPortsFolder"));
    folderLabel_->SetParts(QStringLiteral("Ссылки портов в папке "),
                           QDir::toNativeSeparators(portsFolder), {}, Qt::ElideMiddle);
    layout->addWidget(folderLabel_);

    auto* grid = new QGridLayout;
    for (int n = 1; n <= Ports; ++n) {
        auto* label =
            new QLabel(QStringLiteral("COM") + QString::number(n) + QLatin1Char(':'), this);
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("cbPort") + QString::number(n));
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        label->setBuddy(combo);
        auto* browse = new QToolButton(this);
        browse->setObjectName(QStringLiteral("btPortPath") + QString::number(n));
        browse->setText(QStringLiteral("…"));
        browse->setToolTip(QStringLiteral("Другое устройство: ввести или выбрать путь"));
        connect(browse, &QToolButton::clicked, this, [this, n] {
            const QString path = ChooseDevicePath ? ChooseDevicePath(n) : browseDevice(n);
            if (!path.isEmpty())
                ChooseDevice(n, path);
        });
        grid->addWidget(label, n - 1, 0);
        grid->addWidget(combo, n - 1, 1);
        grid->addWidget(browse, n - 1, 2);
        targets_[n - 1] = combo;
    }
    auto* baudLabel = new QLabel(QStringLiteral("Скорость обмена, бод:"), this);
    baud_ = new QComboBox(this);
    baud_->setObjectName(QStringLiteral("cbBaudRate"));
    std::set<int> rates(StandardBaudRates.begin(), StandardBaudRates.end());
    rates.insert(baudRate);  // a rate set by hand in the settings file is kept
    for (int rate : rates)
        baud_->addItem(QString::number(rate), rate);
    baud_->setCurrentIndex(baud_->findData(baudRate));
    baudLabel->setBuddy(baud_);
    grid->addWidget(baudLabel, Ports, 0);
    grid->addWidget(baud_, Ports, 1, 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("lbPortSetupError"));
    error_->setWordWrap(true);
    QPalette warning = error_->palette();
    warning.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
    error_->setPalette(warning);
    error_->hide();
    layout->addWidget(error_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* rescan =
        buttons->addButton(QStringLiteral("Обновить список"), QDialogButtonBox::ResetRole);
    rescan->setObjectName(QStringLiteral("btRescan"));
    connect(rescan, &QPushButton::clicked, this, [this] { fillPorts(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &TPortSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TPortSetupDialog::reject);
    layout->addWidget(buttons);

    fillPorts();
}

QString TPortSetupDialog::browseDevice(int port)
{
    // Qt's own dialog: it lists device files, and its name field takes a
    // typed path as well.
    return QFileDialog::getOpenFileName(
        this, QStringLiteral("Устройство для COM") + QString::number(port), fromLocal(roots_.dev),
        {}, nullptr, QFileDialog::DontUseNativeDialog | QFileDialog::DontResolveSymlinks);
}

bool TPortSetupDialog::ChooseDevice(int port, const QString& path)
{
    const std::string problem = CharacterDeviceProblem(toLocal(path));
    if (!problem.empty()) {
        error_->setText(QStringLiteral("COM") + QString::number(port) + QStringLiteral(": ") +
                        fromLocal(problem));
        error_->show();
        return false;
    }
    error_->hide();
    QComboBox* combo = targets_[port - 1];
    int index = combo->findData(path, PathRole);
    if (index < 0 || combo->itemData(index, KeepRole).toBool()) {
        combo->addItem(fromLocal(DescribeDevice(toLocal(path), roots_)), path);
        index = combo->count() - 1;
        combo->setItemData(index, path, Qt::ToolTipRole);
    }
    combo->setCurrentIndex(index);
    return true;
}

int TPortSetupDialog::BaudRate() const
{
    return baud_->currentData().toInt();
}

void TPortSetupDialog::fillPorts()
{
    const std::vector<SerialDevice> devices = ListSerialDevices(roots_);
    for (int n = 1; n <= Ports; ++n) {
        QComboBox* combo = targets_[n - 1];
        // A choice made before the list is read again stays chosen.
        const bool chosen = combo->count() > 0 && !combo->currentData(KeepRole).toBool();
        const QVariant choice = combo->currentData(PathRole);
        const PortLink link = ReadPortLink(folder_, n);
        links_[n - 1] = link;

        combo->clear();
        const QString current = fromLocal(link.target);
        bool listed = link.kind == PortLink::Kind::Nothing;
        for (const SerialDevice& d : devices)
            listed = listed || (link.kind == PortLink::Kind::Device && d.path == link.target);
        if (!listed) {
            QString text = fromLocal(DescribePortLink(link, roots_));
            if (link.kind == PortLink::Kind::Fallback)
                text += QStringLiteral(", без ссылки");
            combo->addItem(text, current);
            combo->setItemData(0, true, KeepRole);
        }
        combo->addItem(QStringLiteral("нет устройства"), QString());
        for (const SerialDevice& d : devices) {
            combo->addItem(fromLocal(d.label), fromLocal(d.path));
            combo->setItemData(combo->count() - 1, fromLocal(d.path), Qt::ToolTipRole);
        }

        // A device typed or browsed to before stays on the list.
        const QString chosenPath = choice.toString();
        if (chosen && !chosenPath.isEmpty() && combo->findData(chosenPath, PathRole) < 0) {
            combo->addItem(fromLocal(DescribeDevice(toLocal(chosenPath), roots_)), chosenPath);
            combo->setItemData(combo->count() - 1, chosenPath, Qt::ToolTipRole);
        }

        int index = 0;
        if (chosen && combo->findData(choice, PathRole) >= 0)
            index = combo->findData(choice, PathRole);
        else if (listed)
            index = combo->findData(link.kind == PortLink::Kind::Nothing ? QString() : current,
                                    PathRole);
        combo->setCurrentIndex(std::max(index, 0));
    }
}

void TPortSetupDialog::accept()
{
    try {
        for (int n = 1; n <= Ports; ++n) {
            QComboBox* combo = targets_[n - 1];
            if (combo->currentData(KeepRole).toBool())
                continue;
            const std::string path = toLocal(combo->currentData(PathRole).toString());
            const PortLink& link = links_[n - 1];
            const bool same = (link.kind == PortLink::Kind::Nothing && path.empty()) ||
                              (link.kind == PortLink::Kind::Device && link.target == path);
            if (same)
                continue;
            WritePortLink(folder_, n, path);
            changed_.insert(n);
        }
    } catch (const PortLinkError& e) {
        error_->setText(QString::fromStdString(e.what()));
        error_->show();
        fillPorts();  // shows what was written before the failure
        return;
    }
    QDialog::accept();
}
