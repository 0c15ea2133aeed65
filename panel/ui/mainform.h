#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "errorbox.h"
#include "lineowner.h"
#include "linesettings.h"
#include "paramedits.h"
#include "pollsnapshot.h"
#include "portopen.h"
#include "scan.h"
#include "serialdevices.h"
#include "wakeport.h"

class QTimer;
class QFileDialog;
class QAction;
class QLabel;
class QPainter;
class QRect;
class TFloatEdit;
class TStatusLine;
class DeviceTableDelegate;
class ServiceTools;
class LineViews;
class ParamCompareDialog;
class IniImage;
namespace paramfile {
struct Reading;
}

namespace Ui {
class TMainForm;    // mainform.ui: window, menu, pages, motion buttons, status bar, tsSettings
class NetPage;      // netpage.ui: tsNet
class ControlPage;  // controlpage.ui: tsControl
class RelaysPage;   // relayspage.ui: tsRelays
class ParamsPage;   // paramspage.ui: tsParams
}  // namespace Ui

// The program's one window. Its fields are the window's shared state; the
// handlers are named after their control and event. Every handler that Qt
// calls runs through RunGuarded (errorbox.h), so that an exception shows the
// error box and the program goes on.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);  // runs FormCreate
    ~TMainForm() override;

    // --- shared state ---
    std::unique_ptr<TWakePort> WakePort;
    bool Master = false;
    int PortNumber = 0;
    int BaudRate = 9600;
    int Address = 0;
    bool DeviceFound = false;
    // Who holds the line; every action that sends takes it first.
    service::LineOwner Owner;
    // The running scan goes on to its next address ("Стоп" clears it).
    bool Scanning = false;
    int GridRow = 1;
    int GridCol = 2;
    bool NameEditing = false;
    service::ActuatorNames Names;  // kept with the settings file
    // The name of the actuator at an address; empty when it has none.
    QString NameOf(int address) const;
    QString Dir;
    double MMPerStep = 0.00083;
    int MotSteps = 200;
    int OptoBlades = 8;
    // How many actuators the last scan listed (0 before the first scan).
    int LastScanCount() const { return static_cast<int>(LastScan.size()); }
    // Ms the scan waits at each address ("Ожидание ответа" on "Сеть").
    int ScanTimeout = service::DefaultScanTimeoutMs;
    // What the last scan found, kept in the settings file; ScanKept while
    // it comes from before the restart (no scan since).
    std::vector<service::FoundActuator> LastScan;
    bool ScanKept = false;

    QTimer* Timer1 = nullptr;
    QFileDialog* OpenDialog = nullptr;
    QFileDialog* SaveDialog = nullptr;
    std::array<QAction*, service::HighestPort> PortItems{};  // COM1..COM8, built at start-up

    Ui::TMainForm* ui = nullptr;
    Ui::NetPage* uiNet = nullptr;
    Ui::ControlPage* uiControl = nullptr;
    Ui::RelaysPage* uiRelays = nullptr;
    Ui::ParamsPage* uiParams = nullptr;

    // The settings file: the program's path with ".ini".
    static QString SettingsPath();
    // The status bar's one simple panel.
    QString StatusText() const;
    void SetStatusText(const QString& text);
    // The status bar: the panel above, the reason the port did not open and
    // the short report after an action.
    TStatusLine* StatusLine = nullptr;
    // Says in the status bar for a few seconds what was done: "what, time".
    void ReportDone(const QString& what, const QString& path = {});
    // The selected drive as the reports name it: "5", or "(адрес 0)".
    QString SelectedDriveNumber() const;
    // The open (or last chosen) port's name, "COM2" or a path.
    QString PortNameText() const;
    // The client sends to the selected address (no-op before the port exists).
    void AimClientAtAddress();
    // The selected actuator's type text, "ТИРС-70 №0001".
    QString ReadDeviceType();

    // --- start-up, shutdown, settings ---
    void FormCreate();
    void FormShow();
    void FormClose();
    void LoadSettings();
    void SaveSettings();
    void mnExitClick();
    void mnAboutClick();
    // "Версия 1.0": the version of this build.
    static QString ProgramVersionText();
    // A saved position, moved onto the primary screen when the title bar
    // would be on no screen.
    QPoint RestoredPosition(QPoint saved) const;
    // In operator mode: the locked pages say how service mode is reached.
    void ExplainServicePages();
    void PageControlChange();
    // The next (1) or the previous (-1) page whose tab is enabled, round the end.
    void TurnPage(int step);

    // --- port menu ---
    void SelectPort(int n);
    void mnCOM1Click(QAction* sender);
    void mnPortClick();
    // The port in use whose device went away, or did not open, is opened
    // again (its name resolved afresh); the actuator is then identified anew.
    // The poll tick tries once per tick, choosing the port in the menu at once.
    service::Reopen ReopenLostPort();
    // "Настройка портов…": the dialog, then the port in use reopened when
    // its link or the baud rate changed.
    void mnPortSetupClick();
    // After the dialog: the port in use reopened when it moved or the rate
    // changed (the next poll identifies the actuator anew), the port items
    // named afresh, and a saved setup reported.
    void portSetupDone(bool saved, int oldBaudRate, bool portMoved);
    // Writes beside each port item what it leads to ("COM2 — ttyUSB0").
    void ShowPortTargets();
    // The folder of the ports/COMn links, beside the program.
    static QString PortsFolder();
    // Where the port setup looks for serial devices (tests use their own).
    SerialDeviceRoots DeviceRoots;

    // --- network scan and device table ---
    void bbScanStartClick();
    void bbScanStopClick();
    void bbSelectClick();
    void TableStrGridSelectCell(int col, int row);
    void TableStrGridGetEditText(int col, int row);
    void TableStrGridExit();
    // Enter commits and Escape cancels a name edit; a consumed key becomes 0.
    void TableStrGridKeyPress(int& key);
    // Draws one data cell (row 1 is the first data row); row GridRow is
    // drawn highlighted.
    void TableStrGridDrawCell(QPainter* painter, const QRect& rect, int col, int row);
    void FitNameColumn();
    // One find of the scan as a row of the device table, in address order.
    void showFound(const service::FoundActuator& found);
    // "Полное сканирование: около 13 с" at the time-out chosen and the baud rate.
    void showScanDuration();
    // The last scan's finds from the settings file in the device table.
    void showKeptScan();
    void EndNameEdit(bool commit);
    void SelectAddress(int a);
    // Every control that sends to the line besides the scan: the motion
    // buttons, the parameter and relay actions, selection and the port menu.
    void SetLineActionsEnabled(bool enabled);
    // The controls that send follow the line's holder.
    void FollowLineOwner();
    void feAddr1Changed(TFloatEdit* sender);
    void feAddr2Changed(TFloatEdit* sender);
    void feAddr3Changed(TFloatEdit* sender);
    // The one body of the three address fields' handlers.
    void AddressFieldChanged(TFloatEdit* sender);

    // --- position monitoring and motion ---
    void Timer1Timer();
    // The tick's first exchange after a port change, a failure or a new
    // address: the identification text, then the automatic reads.
    void IdentifyDevice();
    // Shows what one tick read on the page it was read for.
    void ShowPoll(const service::PollSnapshot& snapshot);
    // The position page's readings, left from before the connection was
    // lost, greyed with "нет связи" until the page's next reading.
    void ShowStale();
    void bbCloseClick();
    void bbStopClick();
    void bbStopOffClick();
    void bbOpenClick();

    // --- drive parameters ---
    void bbReadClick();
    void bbWriteClick();
    void btSetAddrClick();
    void btResNClick();
    void cbTravelClick();
    // What of the parameter page the drive has not got yet.
    ParamEdits EditedParams;
    // The automatic read (page change, identification): none while values
    // are pending.
    void autoReadParams();

    // --- relays ---
    void bbReadRelClick();
    void bbWriteRelClick();

    // --- parameter files ---
    void bbFileOpenClick();
    void bbFileSaveClick();
    // Test seam of the parameter-file dialogs: given the prepared dialog, it
    // returns the chosen path, or an empty text for a cancel. Empty: the
    // dialog is shown to the operator.
    std::function<QString(QFileDialog*)> ChooseFile;
    // Test seam of the confirmation questions: given the question, true for
    // "yes". Empty: a message box asks the operator.
    std::function<bool(const QString&)> Confirm;

    // --- the menu "Сервис": exchange monitor, operation journal ---
    ServiceTools* Service = nullptr;

    // --- compare before write ---
    void btCompareClick();
    // Before a write of fields that changed since the last read (or came
    // from a file): the comparison with the drive and the question. False:
    // do not write.
    bool ConfirmParamWrite();
    // Test seam of the comparison dialog: returns whether it was accepted.
    // Empty: the dialog is shown to the operator.
    std::function<bool(ParamCompareDialog*)> ShowComparison;

    // --- the menu "Сервис": trends, the line overview, backup and restore ---
    LineViews* Views = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A slot that runs the handler through RunGuarded.
    template <typename... Args>
    auto Guarded(void (TMainForm::*handler)(Args...))
    {
        return
            [this, handler](Args... args) { RunGuarded(this, [&] { (this->*handler)(args...); }); };
    }

    void setupNetPage();                        // mainform_net.cpp
    void setupControlPage();                    // mainform_control.cpp
    void setupParamsPage();                     // mainform_params.cpp
    void setupRelaysPage();                     // mainform_relays.cpp
    void setupPortSetup();                      // mainform_portsetup.cpp
    void reportMotion(const QString& caption);  // mainform_control.cpp
    // Where the parameter fields' values come from while they change.
    enum class ParamSource { Operator, Drive, File };
    ParamSource paramSource_ = ParamSource::Operator;
    void setupParamEdits();    // mainform_paramedits.cpp
    void settleParamFields();  // the fields now hold what the drive holds
    void loadedParamFields();  // the fields now hold a file
    void showParamEdits();
    void setupParamFileDialogs();  // mainform_files.cpp
    // A parameter file that exists, checked before it loads: refused (with an
    // error box) when it holds no parameter or a value that is no finite
    // number; asked when keys are missing or it was saved from another actuator.
    bool acceptParamFile(const QString& path, const IniImage& file,
                         const paramfile::Reading& reading);  // mainform_files.cpp
    QString chooseParamFile(QFileDialog* TMainForm::*which);  // mainform_files.cpp
    // Address 0 goes out without an address byte, and every actuator on the
    // line obeys it: the status bar says so while it is selected.
    void showAddressWarning();
    // The first command that changes an actuator while address 0 is selected
    // asks once, until another address is chosen; false: not to be sent.
    bool confirmAddressZero();
    void showPortLost();
    // Why the port chosen did not open, worked out only after the open failed.
    void showPortProblem(const service::PortOpenResult& problem);
    bool confirm(const QString& question);
    void setupServiceTools();  // mainform_service.cpp
    // A parameter file loaded or saved, into the journal; error empty for success.
    void journalFileOperation(const char* action, const QString& path, const QString& error);
    void setupLineViews();     // mainform_lineviews.cpp
    void setupParamCompare();  // mainform_compare.cpp
    // Shows the drive's parameters beside the fields; returns the dialog's answer.
    bool showParamComparison(bool asking);
    // The actuator whose parameters the fields were last read from (a write
    // before any read leaves nothing to compare with), and the last file.
    std::optional<int> paramsReadFrom_;
    QString paramFileName_;
    // The relay modes as the drive last reported them; a write sends one back
    // when its list shows no item (a mode the list does not know).
    std::array<int, 3> relayReportedMode_{};
    bool closed_ = false;
    // The found actuator stopped answering and has not answered since.
    bool linkLost_ = false;
    bool lineActionsEnabled_ = true;               // as FollowLineOwner last set them
    bool pollWasActive_ = false;                   // Timer1 ran when the line was taken alone
    bool portWasOpen_ = false;                     // the port in use has been open
    QLabel* addressZeroPanel_ = nullptr;           // the warning while address 0 is selected
    bool addressZeroAgreed_ = false;               // "yes" to the question, for this selection
    DeviceTableDelegate* gridDelegate_ = nullptr;  // draws and edits TableStrGrid
};

// The texts of the drive state codes 0..12.
extern const std::array<QString, 13> DriveStateTexts;
