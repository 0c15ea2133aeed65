// The main window: start-up, shutdown, the settings file, page changes,
// the About box and the port menu.
#include "mainform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <clocale>
#include <limits>

#include "apptitle.h"
#include "errorbox.h"
#include "floatedit.h"
#include "glyphs.h"
#include "inifile.h"
#include "linesettings.h"
#include "motion.h"
#include "portopen.h"
#include "statusbarline.h"
#include "ui_controlpage.h"
#include "ui_mainform.h"
#include "ui_netpage.h"
#include "ui_paramspage.h"
#include "ui_relayspage.h"

namespace {

const QString TitleBase = QStringLiteral("Программа управления приводом");
const QString Model = QStringLiteral("ТИРС-70");

constexpr int DesignLeft = 421;
constexpr int DesignTop = 276;
constexpr int PageCount = 5;

std::string utf8(const QString& s)
{
    return s.toStdString();
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TMainForm), uiNet(new Ui::NetPage),
      uiControl(new Ui::ControlPage), uiRelays(new Ui::RelaysPage), uiParams(new Ui::ParamsPage)
{
    ui->setupUi(this);
    uiNet->setupUi(ui->tsNet);
    uiControl->setupUi(ui->tsControl);
    uiRelays->setupUi(ui->tsRelays);
    uiParams->setupUi(ui->tsParams);

    // Display-only fields and flags are disabled, yet their values must stay
    // readable: disabled text is a dark grey instead of the style's pale one
    // (buttons keep theirs, so a disabled button still looks disabled).
    QPalette readable = palette();
    for (const auto role : {QPalette::Text, QPalette::WindowText})
        readable.setColor(QPalette::Disabled, role, QColor(0x50, 0x50, 0x50));
    setPalette(readable);

    // Fixed single border: no resizing, no maximise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The five captions must fit the fixed width side by side: tabs with
    // less padding than the style's default.
    ui->PageControl->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 6px; }"));
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages wherever the focus is in
    // the window: the tab widget sees them only while no combo box, table or
    // bottom button holds the focus.
    auto* nextPage = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(nextPage, &QShortcut::activated, this, [this] { TurnPage(1); });
    auto* previousPage = new QShortcut(this);
    previousPage->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    connect(previousPage, &QShortcut::activated, this, [this] { TurnPage(-1); });
    StatusLine = new TStatusLine(ui->StatusBar);
    addressZeroPanel_ = new QLabel(QStringLiteral("Адрес 0: всем приводам!"), ui->StatusBar);
    addressZeroPanel_->setObjectName(QStringLiteral("AddressZeroPanel"));
    addressZeroPanel_->setToolTip(
        QStringLiteral("Выбран адрес 0: запросы уходят без адреса, и их выполняет каждый "
                       "привод на линии. Выберите адрес привода."));
    addressZeroPanel_->setStyleSheet(
        QStringLiteral("QLabel { color: #800000; background: #ffd8d8; font-weight: bold; "
                       "padding: 0 4px; }"));
    addressZeroPanel_->hide();
    ui->StatusBar->addPermanentWidget(addressZeroPanel_);
    // The client area (pages, buttons, status bar) is 466 x 443 below the menu.
    setFixedSize(466, 443 + ui->MainMenu->sizeHint().height());

    ui->bbClose->setIcon(GlyphClose());
    ui->bbStop->setIcon(GlyphStop());
    ui->bbStopOff->setIcon(GlyphStopOff());
    ui->bbOpen->setIcon(GlyphOpen());
    ui->mnExit->setIcon(GlyphExit());
    ui->mnAbout->setIcon(GlyphAbout());
    ui->mnClosePort->setData(0);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(300);
    // Not the coarse default, which may add 5 %: after an exchange that ran
    // to its bound the next request is due 300 ms later, not 315.
    Timer1->setTimerType(Qt::PreciseTimer);

    setupNetPage();
    setupControlPage();
    setupRelaysPage();
    setupParamsPage();
    setupParamCompare();

    Owner.follow([this](service::LineUse) { FollowLineOwner(); });
    connect(Timer1, &QTimer::timeout, this, Guarded(&TMainForm::Timer1Timer));
    connect(ui->mnExit, &QAction::triggered, this, Guarded(&TMainForm::mnExitClick));
    connect(ui->mnAbout, &QAction::triggered, this, Guarded(&TMainForm::mnAboutClick));
    connect(ui->mnClosePort, &QAction::triggered, this,
            [this] { RunGuarded(this, [this] { mnCOM1Click(ui->mnClosePort); }); });
    connect(ui->mnPort, &QMenu::aboutToShow, this, Guarded(&TMainForm::mnPortClick));

    FormCreate();
    setupPortSetup();
    setupServiceTools();
    setupLineViews();

    // Connected only now: restoring the saved page is not a page change.
    connect(ui->PageControl, &QTabWidget::currentChanged, this,
            Guarded(&TMainForm::PageControlChange));
    Timer1->start();
}

TMainForm::~TMainForm()
{
    Timer1->stop();
    Owner.forgetFollowers();
    Scanning = false;
    WakePort.reset();
    delete uiParams;
    delete uiRelays;
    delete uiControl;
    delete uiNet;
    delete ui;
}

QString TMainForm::SettingsPath()
{
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.path() + QLatin1Char('/') + program.completeBaseName() + QStringLiteral(".ini");
}

QString TMainForm::StatusText() const
{
    return StatusLine->Text();
}

void TMainForm::SetStatusText(const QString& text)
{
    StatusLine->SetText(text);
}

void TMainForm::ReportDone(const QString& what, const QString& path)
{
    StatusLine->ReportDone(what, path);
}

QString TMainForm::SelectedDriveNumber() const
{
    // Address 0 sends frames without an address byte, to whichever drive.
    return Address == 0 ? QStringLiteral("(адрес 0)") : QString::number(Address);
}

void TMainForm::FormCreate()
{
    // "." for every conversion, whatever the regional settings say.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    SetApplicationTitle(TitleBase);
    // Qt paints every widget through its backing store, so gbPos (and the
    // marker moving over its shapes) is double-buffered already; no widget
    // here paints on screen directly.
    uiControl->gbPos->setAttribute(Qt::WA_PaintOnScreen, false);
    uiNet->TableStrGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Адрес"), QStringLiteral("Тип устройства"), QStringLiteral("Название")});
    GridRow = 1;
    GridCol = 2;
    uiNet->TableStrGrid->setCurrentCell(GridRow - 1, GridCol);
    NameEditing = false;
    SetApplicationTitle(TitleBase + QLatin1Char(' ') + Model);
    for (int n = 1; n <= service::HighestPort; ++n) {
        auto* item = new QAction(QStringLiteral("COM") + QString::number(n), this);
        item->setObjectName(QStringLiteral("mnCOM") + QString::number(n));
        item->setData(n);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this,
                [this, item] { RunGuarded(this, [this, item] { mnCOM1Click(item); }); });
        ui->mnPort->insertAction(ui->N1, item);
        PortItems[n - 1] = item;
    }
    WakePort = std::make_unique<TWakePort>(service::HighestPort);
    LoadSettings();
    showKeptScan();
    uiParams->feNt->setEnabled(uiParams->cbTravel->isChecked());
    // Each field that changes brings the others, edName and the client
    // into line through its OnChanged handler.
    uiControl->feAddr1->SetValue(Address);
    uiParams->feAddr2->SetValue(Address);
    uiNet->feAddr3->SetValue(Address);
    // Operator mode: the parameters are read automatically and shown,
    // but cannot be edited; a disabled page can still be brought up.
    if (!Master) {
        ui->cbAutoPar->setChecked(true);
        ui->cbAutoRel->setChecked(true);
        ui->tsParams->setEnabled(false);
        ui->tsSettings->setEnabled(false);
        ExplainServicePages();
    }
    AimClientAtAddress();
    showAddressWarning();
    SelectPort(PortNumber);
    DeviceFound = false;
}

void TMainForm::FormShow()
{
    FitNameColumn();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    RunGuarded(this, [this] { FormShow(); });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!closed_) {
        closed_ = true;
        RunGuarded(this, [this] { FormClose(); });
    }
    event->accept();
}

void TMainForm::FormClose()
{
    Timer1->stop();
    // A running scan is stopped first (it notices before its next probe and
    // then leaves the client alone), and the client addresses the selected
    // actuator again for the final command. The scan still holds the client,
    // so it releases it when it ends.
    const bool scanning = Owner.holder() == service::LineUse::Scan;
    if (scanning)
        bbScanStopClick();
    if (NameEditing)
        EndNameEdit(true);
    // Never held by the address-0 question: the program is going.
    try {
        service::sendMotion(*WakePort, Address, wake::CmdStopOff);
    } catch (const EHardwareException&) {
    }
    // A failed save is reported and the shutdown goes on.
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        ShowFileErrorBox(this, QString::fromUtf8(e.what()));
    }
    // The port is closed and the client released last.
    if (scanning)
        return;
    WakePort->Close();
    WakePort.reset();
}

void TMainForm::LoadSettings()
{
    // A file that exists but cannot be read is reported; the window then
    // starts with the defaults, as without a file.
    IniImage ini;
    try {
        ini = IniImage::load(utf8(SettingsPath()));
    } catch (const IniFileError& e) {
        ShowFileErrorBox(this, QString::fromUtf8(e.what()));
    }

    const int left = ini.readInt("General", "Left", DesignLeft);
    const int top = ini.readInt("General", "Top", DesignTop);
    move(RestoredPosition(QPoint(left, top)));
    int page = ini.readInt("General", "Page", 0);
    if (page < 0 || page >= PageCount)
        page = 0;
    ui->PageControl->setCurrentIndex(page);
    ui->cbAutoPar->setChecked(ini.readBool("General", "AutoPar", true));
    ui->cbAutoRel->setChecked(ini.readBool("General", "AutoRel", true));
    Master = ini.readBool("General", "Master", false);

    // The keys and defaults the line tools read too.
    const service::LineSettings line = service::lineSettingsFrom(ini);
    PortNumber = line.port;
    BaudRate = line.baud;
    Address = line.address;
    MMPerStep = line.mmPerStep;
    MotSteps = line.motSteps;
    OptoBlades = line.optoBlades;
    uiParams->cbTravel->setChecked(ini.readBool("Params", "SetTravel", false));
    Dir = QString::fromStdString(
        ini.readString("Params", "Dir", utf8(QCoreApplication::applicationDirPath())));

    Names = line.names;

    ScanTimeout = line.scanTimeout;
    LastScan = line.lastScan;
    ScanKept = !LastScan.empty();
}

void TMainForm::SaveSettings()
{
    const std::string path = utf8(SettingsPath());
    IniImage ini = IniImage::load(path);

    ini.writeInteger("General", "Left", x());
    ini.writeInteger("General", "Top", y());
    ini.writeInteger("General", "Page", ui->PageControl->currentIndex());
    ini.writeBool("General", "AutoPar", ui->cbAutoPar->isChecked());
    ini.writeBool("General", "AutoRel", ui->cbAutoRel->isChecked());
    // "Master" is only ever put there by hand.

    ini.writeInteger("Port", "Port", PortNumber);
    ini.writeInteger("Port", "Baud Rate", BaudRate);

    ini.writeInteger("Params", "Address", Address);
    ini.writeFloat("Params", "MMPerStep", MMPerStep);
    ini.writeInteger("Params", "MotSteps", MotSteps);
    ini.writeInteger("Params", "OptoBlades", OptoBlades);
    ini.writeBool("Params", "SetTravel", uiParams->cbTravel->isChecked());
    ini.writeString("Params", "Dir", utf8(Dir));

    for (int a = 1; a < static_cast<int>(Names.size()); ++a)
        ini.writeString("Names", service::nameKey(a), Names[a]);

    service::writeScanTimeout(ini, ScanTimeout);
    service::writeLastScan(ini, LastScan);

    ini.save(path);
}

void TMainForm::mnExitClick()
{
    close();
}

void TMainForm::mnAboutClick()
{
    // Where the program keeps what it writes, for a service engineer's question.
    const QString settingsFolder =
        QDir::toNativeSeparators(QFileInfo(SettingsPath()).absolutePath());
    const QString journalFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    QMessageBox::information(this, ApplicationTitle(),
                             ApplicationTitle() + QLatin1Char('\n') + ProgramVersionText() +
                                 QStringLiteral(", сборка ") +
                                 QStringLiteral(TIRSPANEL_BUILD_DATE) +
                                 QStringLiteral("\nПапка файла настроек: ") + settingsFolder +
                                 QStringLiteral("\nПапка журнала: ") + journalFolder,
                             QMessageBox::Ok);
}

void TMainForm::TurnPage(int step)
{
    const int count = ui->PageControl->count();
    int page = ui->PageControl->currentIndex();
    for (int tried = 0; tried < count; ++tried) {
        page = (page + step + count) % count;
        if (ui->PageControl->isTabEnabled(page)) {
            ui->PageControl->setCurrentIndex(page);
            return;
        }
    }
}

void TMainForm::PageControlChange()
{
    ui->PageControl->repaint();
    QWidget* page = ui->PageControl->currentWidget();
    if (page == ui->tsNet) {
        FitNameColumn();
    } else if (Owner.exclusive()) {
        // The reads wait for the scan or the backup to give the line back.
    } else if (page == ui->tsParams) {
        if (ui->cbAutoPar->isChecked() && DeviceFound)
            autoReadParams();
    } else if (page == ui->tsRelays) {
        Timer1Timer();
        if (ui->cbAutoRel->isChecked() && DeviceFound)
            bbReadRelClick();
    } else if (page == ui->tsControl) {
        Timer1Timer();
    }
}

bool TMainForm::confirm(const QString& question)
{
    if (Confirm)
        return Confirm(question);
    return QMessageBox::question(this, ApplicationTitle(), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TMainForm::SetLineActionsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->bbClose, ui->bbStop, ui->bbStopOff, ui->bbOpen, uiParams->bbRead,
             uiParams->bbWrite, uiParams->btSetAddr, uiParams->btResN, uiRelays->bbReadRel,
             uiRelays->bbWriteRel, uiNet->bbSelect})
        w->setEnabled(enabled);
    ui->mnPort->menuAction()->setEnabled(enabled);
}

void TMainForm::FollowLineOwner()
{
    const bool free = !Owner.exclusive();
    if (free == lineActionsEnabled_)
        return;
    lineActionsEnabled_ = free;
    // The poll rests while a scan or a backup holds the line, and comes back
    // if it ran before.
    if (!free) {
        pollWasActive_ = Timer1->isActive();
        Timer1->stop();
    } else if (pollWasActive_ && WakePort && !closed_) {
        Timer1->start();
    }
    SetLineActionsEnabled(free);
    uiParams->btCompare->setEnabled(free);
    uiNet->bbScanStart->setEnabled(free);
    uiNet->bbScanStop->setEnabled(Owner.holder() == service::LineUse::Scan);
}

// --- port menu ---

void TMainForm::SelectPort(int n)
{
    // A number the client does not know opens nothing and checks nothing.
    if (n < 0 || n > service::HighestPort)
        n = 0;
    if (n != 0 && WakePort->Port == n) {
        // Chosen again while its device is gone: tried at once.
        if (ReopenLostPort() == service::Reopen::StillLost && !portWasOpen_)
            showPortProblem(service::portProblemOf(*WakePort));
        return;
    }
    WakePort->Close();
    portWasOpen_ = false;
    for (QAction* item : PortItems)
        item->setChecked(false);
    ui->mnClosePort->setEnabled(false);
    StatusLine->SetPortProblem({}, {}, {});
    // Whatever answers now is identified afresh.
    DeviceFound = false;
    if (n != 0) {
        // Opened without a trial first: a trial open of a real UART pulses
        // its DTR and RTS lines.
        const service::PortOpenResult opened =
            service::openPort(*WakePort, "COM" + std::to_string(n), BaudRate);
        portWasOpen_ = opened.opened || opened.rateRefused;
        if (!opened.opened)  // not open, or open but not at this rate
            showPortProblem(opened);
        PortNumber = n;
        PortItems[n - 1]->setChecked(true);
        ui->mnClosePort->setEnabled(true);
    } else {
        PortNumber = 0;
    }
    QString caption = ApplicationTitle();
    if (PortNumber != 0)
        caption += QStringLiteral(" на ") + PortNameText();
    setWindowTitle(caption);
    showScanDuration();  // the baud rate may have changed
}

service::Reopen TMainForm::ReopenLostPort()
{
    const service::Reopen reopen = service::reopenLostPort(*WakePort);
    if (reopen == service::Reopen::NotLost)
        return reopen;
    if (reopen == service::Reopen::Reopened) {
        portWasOpen_ = true;
        StatusLine->SetPortProblem({}, {}, {});
        DeviceFound = false;
    } else if (portWasOpen_) {
        showPortLost();
    }
    return reopen;
}

void TMainForm::showPortLost()
{
    StatusLine->SetPortProblem(PortNameText(),
                               QStringLiteral("связь потеряна, повторное подключение…"), {});
}

void TMainForm::showPortProblem(const service::PortOpenResult& problem)
{
    // The client reports nothing about a port that does not open; the
    // reason beside "No Device" spares the operator the guessing.
    StatusLine->SetPortProblem(PortNameText(), QString::fromStdString(problem.problem),
                               QString::fromStdString(problem.path));
}

void TMainForm::mnCOM1Click(QAction* sender)
{
    SelectPort(sender->data().toInt());
    // Qt toggles a checkable item before it reports the click; the marks
    // follow the port in use, also when the choice changed nothing.
    for (int n = 1; n <= service::HighestPort; ++n)
        PortItems[n - 1]->setChecked(PortNumber == n);
}

void TMainForm::mnPortClick()
{
    ShowPortTargets();
    const std::vector<bool> available = service::portsAvailable(*WakePort);
    for (std::size_t i = 0; i < available.size() && i < PortItems.size(); ++i)
        PortItems[i]->setEnabled(available[i]);
}

QString TMainForm::NameOf(int address) const
{
    return QString::fromStdString(service::nameOf(Names, address));
}

QString TMainForm::PortNameText() const
{
    return WakePort ? QString::fromStdString(WakePort->PortName) : QString();
}

void TMainForm::AimClientAtAddress()
{
    if (WakePort)
        WakePort->SetDevAddr(Address);
}

QString TMainForm::ReadDeviceType()
{
    return QString::fromStdString(WakePort->GetInfo());
}
