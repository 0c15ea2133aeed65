// The page "Сеть": network scan, device table, name editing, selection, and
// the three address fields kept in step.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

#include "devicetabledelegate.h"
#include "errorbox.h"
#include "floatedit.h"
#include "glyphs.h"
#include "mainform.h"
#include "numbertext.h"
#include "scan.h"
#include "ui_controlpage.h"
#include "ui_netpage.h"
#include "ui_paramspage.h"
#include "codes.h"

namespace {

constexpr int ColAddress = 0;
constexpr int ColType = 1;
constexpr int ColName = 2;
constexpr int RowHeight = 17;
constexpr int AddressWidth = 42;
constexpr int TypeWidth = 130;
// Qt draws a grid line inside the cell it closes, so lines take no width of
// their own beyond the columns.
constexpr int GridLineWidth = 0;

QTableWidgetItem* fixedItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// A name can be typed only into a row that names an address, where it can
// be stored.
QTableWidgetItem* nameItem(const QString& text, bool editable)
{
    auto* item = fixedItem(text);
    if (editable)
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

void clearRow(QTableWidget* grid, int tableRow)
{
    grid->setItem(tableRow, ColAddress, fixedItem({}));
    grid->setItem(tableRow, ColType, fixedItem({}));
    grid->setItem(tableRow, ColName, nameItem({}, false));
}

QString cellText(const QTableWidget* grid, int tableRow, int col)
{
    const QTableWidgetItem* item = grid->item(tableRow, col);
    return item ? item->text() : QString();
}

}  // namespace

void TMainForm::setupNetPage()
{
    QTableWidget* grid = uiNet->TableStrGrid;
    grid->verticalHeader()->setMinimumSectionSize(RowHeight);
    grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionsClickable(false);
    grid->setColumnWidth(ColAddress, AddressWidth);
    grid->setColumnWidth(ColType, TypeWidth);
    clearRow(grid, 0);

    gridDelegate_ = new DeviceTableDelegate(grid);
    grid->setItemDelegate(gridDelegate_);
    gridDelegate_->DrawCell = [this](QPainter* p, const QRect& r, int col, int row) {
        TableStrGridDrawCell(p, r, col, row);
    };
    gridDelegate_->EditorOpened = [this](int col, int row) {
        RunGuarded(this, [=, this] { TableStrGridGetEditText(col, row); });
    };
    gridDelegate_->KeyPress = [this](int& key) {
        RunGuarded(this, [this, &key] { TableStrGridKeyPress(key); });
    };
    gridDelegate_->FocusLost = [this] { RunGuarded(this, [this] { TableStrGridExit(); }); };

    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (row >= 0 && col >= 0)
            RunGuarded(this, [=, this] { TableStrGridSelectCell(col, row + 1); });
    });
    connect(grid, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { RunGuarded(this, [this] { bbSelectClick(); }); });

    uiNet->bbScanStart->setIcon(GlyphScan());
    uiNet->bbScanStop->setIcon(GlyphScanStop());
    uiNet->bbSelect->setIcon(GlyphSelect());
    connect(uiNet->bbScanStart, &QPushButton::clicked, this, Guarded(&TMainForm::bbScanStartClick));
    connect(uiNet->bbScanStop, &QPushButton::clicked, this, Guarded(&TMainForm::bbScanStopClick));
    connect(uiNet->bbSelect, &QPushButton::clicked, this, Guarded(&TMainForm::bbSelectClick));

    QSpinBox* timeout = uiNet->seScanTimeout;
    timeout->setRange(service::MinScanTimeoutMs, service::MaxScanTimeoutMs);
    timeout->setSingleStep(10);
    connect(timeout, &QSpinBox::valueChanged, this, [this](int ms) {
        ScanTimeout = ms;
        showScanDuration();
    });

    uiControl->feAddr1->OnChanged = Guarded(&TMainForm::feAddr1Changed);
    uiParams->feAddr2->OnChanged = Guarded(&TMainForm::feAddr2Changed);
    uiNet->feAddr3->OnChanged = Guarded(&TMainForm::feAddr3Changed);
}

// --- scan ---

void TMainForm::bbScanStartClick()
{
    // The scan holds the line alone: the poll waits and the controls that
    // send are disabled, so nothing else reaches the address being probed.
    const service::LineOwner::Hold hold(Owner, service::LineUse::Scan);
    if (!hold)
        return;
    QTableWidget* grid = uiNet->TableStrGrid;
    Scanning = true;
    uiNet->ScanProgressBar->setValue(0);
    if (NameEditing)
        EndNameEdit(true);
    grid->setRowCount(1);
    clearRow(grid, 0);
    uiNet->lbScanOrigin->clear();
    // Kept as found, so that a close during the scan saves what it found so far.
    LastScan.clear();
    ScanKept = false;

    service::ScanOptions options;
    options.timeout = ScanTimeout;
    // Before each probe the window answers its events; a stop, or a close
    // (which leaves the client to this scan until it ends), ends the scan.
    options.cancelled = [this] {
        QCoreApplication::processEvents();
        return !Scanning || closed_;
    };
    options.progress = [this](int a, const service::FoundActuator* found) {
        if (found) {
            const auto at = std::upper_bound(
                LastScan.begin(), LastScan.end(), found->address,
                [](int address, const service::FoundActuator& f) { return address < f.address; });
            LastScan.insert(at, *found);
            showFound(*found);
        }
        uiNet->ScanProgressBar->setValue(std::max(uiNet->ScanProgressBar->value(), a));
    };
    service::scanLine(*WakePort, options);

    uiNet->ScanProgressBar->setValue(0);
    Scanning = false;
    grid->setCurrentCell(0, grid->currentColumn() >= 0 ? grid->currentColumn() : GridCol);
    if (closed_) {
        // The window closed during the scan: the client is released now.
        WakePort->Close();
        WakePort.reset();
        return;
    }
    AimClientAtAddress();
}

void TMainForm::showFound(const service::FoundActuator& found)
{
    QTableWidget* grid = uiNet->TableStrGrid;
    // Rows in address order: a late answer belongs before the rows of the
    // addresses probed after it.
    int row = 0;
    const int rows = grid->rowCount();
    const bool empty = rows == 1 && cellText(grid, 0, ColAddress).isEmpty();
    if (!empty) {
        while (row < rows &&
               numtext::strToInt(cellText(grid, row, ColAddress).toStdString()) < found.address)
            ++row;
        grid->insertRow(row);
    }
    const int a = found.address;
    grid->setItem(row, ColAddress, fixedItem(QString::number(a)));
    grid->setItem(row, ColType, fixedItem(QString::fromStdString(service::foundText(found))));
    grid->setItem(row, ColName, nameItem(NameOf(a), true));
    FitNameColumn();
    grid->setCurrentCell(row, grid->currentColumn() >= 0 ? grid->currentColumn() : GridCol);
    grid->repaint();
}

void TMainForm::showKeptScan()
{
    uiNet->seScanTimeout->setValue(ScanTimeout);
    for (const service::FoundActuator& found : LastScan)
        showFound(found);
    // The selected actuator's row, so that "Выбрать" keeps it selected.
    const auto selected = std::find_if(LastScan.begin(), LastScan.end(),
                                       [this](const auto& f) { return f.address == Address; });
    const int row = selected == LastScan.end() ? 0 : static_cast<int>(selected - LastScan.begin());
    uiNet->TableStrGrid->setCurrentCell(row, GridCol);
    // Marked as kept from before the restart until the next scan, or a
    // hint where nothing is known yet.
    uiNet->lbScanOrigin->setText(
        ScanKept ? QStringLiteral("Приводы из последнего сканирования (до перезапуска программы)")
                 : QStringLiteral("Приводы не известны: нажмите «Сканировать»"));
    showScanDuration();
}

void TMainForm::showScanDuration()
{
    const auto duration = service::scanDuration(wake::MaxAddress, ScanTimeout, BaudRate);
    uiNet->lbScanDuration->setText(QStringLiteral("Полное сканирование: ") +
                                   QString::fromStdString(service::durationText(duration)));
}

void TMainForm::bbScanStopClick()
{
    Scanning = false;
    AimClientAtAddress();
}

// --- device table ---

void TMainForm::FitNameColumn()
{
    QTableWidget* grid = uiNet->TableStrGrid;
    // Lay the rows out now, so that a vertical scroll bar that the last row
    // brought up has already narrowed the viewport.
    grid->doItemsLayout();
    const int width = grid->viewport()->width() - grid->columnWidth(ColAddress) -
                      grid->columnWidth(ColType) - 3 * GridLineWidth;
    grid->setColumnWidth(ColName, std::max(width, 0));
}

void TMainForm::TableStrGridSelectCell(int col, int row)
{
    if (NameEditing)
        EndNameEdit(true);
    // Editing is allowed only in column 2: the items of columns 0 and 1
    // are not editable.
    GridRow = row;
    GridCol = col;
    uiNet->TableStrGrid->viewport()->update();
}

void TMainForm::TableStrGridDrawCell(QPainter* painter, const QRect& rect, int col, int row)
{
    const QTableWidget* grid = uiNet->TableStrGrid;
    const QPalette& palette = grid->palette();
    painter->save();
    const bool highlighted = row == GridRow;
    painter->fillRect(rect, highlighted ? palette.highlight() : palette.base());
    painter->setPen(highlighted ? palette.highlightedText().color() : palette.text().color());
    painter->setClipRect(rect);
    painter->drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      cellText(grid, row - 1, col));
    painter->restore();
}

void TMainForm::TableStrGridGetEditText(int, int)
{
    NameEditing = true;
}

void TMainForm::TableStrGridKeyPress(int& key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (NameEditing) {
            EndNameEdit(true);
            key = 0;
        }
    } else if (key == Qt::Key_Escape) {
        if (NameEditing)
            EndNameEdit(false);
    }
}

void TMainForm::TableStrGridExit()
{
    if (NameEditing)
        EndNameEdit(true);
}

void TMainForm::EndNameEdit(bool commit)
{
    if (!NameEditing)
        return;
    QTableWidget* grid = uiNet->TableStrGrid;
    const int tableRow = GridRow - 1;
    // Ends the edit whatever happens below, so that a failing row cannot
    // leave the editor half open.
    NameEditing = false;
    gridDelegate_->CloseEditor(commit);
    const int a = numtext::strToInt(cellText(grid, tableRow, ColAddress).toStdString());
    if (a < 1 || a > wake::MaxAddress)
        return;
    if (commit) {
        Names[a] = cellText(grid, tableRow, ColName).toStdString();
    } else if (QTableWidgetItem* item = grid->item(tableRow, ColName)) {
        item->setText(NameOf(a));
    }
}

// --- selection and the address fields ---

void TMainForm::bbSelectClick()
{
    // A double click on the table while a scan or a backup holds the line.
    const service::LineOwner::Hold hold(Owner, service::LineUse::Read);
    if (!hold)
        return;
    // An empty address cell raises the conversion error for the error box.
    const int a =
        numtext::strToInt(cellText(uiNet->TableStrGrid, GridRow - 1, ColAddress).toStdString());
    SelectAddress(a);
    try {
        const QString info = ReadDeviceType();
        SetStatusText(info);
        uiControl->edType1->setText(info);
    } catch (const EHardwareException&) {
        SetStatusText(QStringLiteral("No Device"));
        uiControl->edType1->clear();
        DeviceFound = false;
    }
}

void TMainForm::SelectAddress(int a)
{
    Address = a;
    uiControl->feAddr1->SetValue(a);
    uiParams->feAddr2->SetValue(a);
    uiNet->feAddr3->SetValue(a);
    uiControl->edName->setText(NameOf(a));
    AimClientAtAddress();
    showAddressWarning();
}

namespace {

int truncatedAddress(const TFloatEdit* field)
{
    const double v = std::trunc(field->Value());
    return std::isfinite(v) ? static_cast<int>(std::clamp(v, -1.0e9, 1.0e9)) : 0;
}

}  // namespace

void TMainForm::AddressFieldChanged(TFloatEdit* sender)
{
    Address = truncatedAddress(sender);
    // The edited field keeps its own (unrounded) value.
    for (TFloatEdit* field : {uiControl->feAddr1, uiParams->feAddr2, uiNet->feAddr3})
        if (field != sender)
            field->SetValue(Address);
    uiControl->edName->setText(NameOf(Address));
    AimClientAtAddress();
    showAddressWarning();
}

void TMainForm::feAddr1Changed(TFloatEdit* sender)
{
    AddressFieldChanged(sender);
}

void TMainForm::feAddr2Changed(TFloatEdit* sender)
{
    AddressFieldChanged(sender);
}

void TMainForm::feAddr3Changed(TFloatEdit* sender)
{
    AddressFieldChanged(sender);
}

void TMainForm::showAddressWarning()
{
    addressZeroPanel_->setVisible(Address == 0);
    if (Address != 0)
        addressZeroAgreed_ = false;
}
