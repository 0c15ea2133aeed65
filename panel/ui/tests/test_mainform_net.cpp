// The page "Сеть": scan, device table, name editing, selection, and the
// address fields kept in step.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <set>

#include "floatedit.h"
#include "linebackup.h"
#include "lineoverviewwindow.h"
#include "lineviews.h"
#include "support/windowfixture.h"

using uitest::WindowTest;

namespace {

constexpr int kGetInfo = 3;
constexpr int kLastAddress = 127;

class MainFormNet : public WindowTest {
protected:
    QTableWidget* grid() const { return widget<QTableWidget>("TableStrGrid"); }
    QString cell(int tableRow, int col) const
    {
        const QTableWidgetItem* item = grid()->item(tableRow, col);
        return item ? item->text() : QString();
    }
    std::vector<QStringList> rows() const
    {
        std::vector<QStringList> out;
        for (int r = 0; r < grid()->rowCount(); ++r)
            out.push_back({cell(r, 0), cell(r, 1), cell(r, 2)});
        return out;
    }
    // The addresses that GetInfo probes went to, in order.
    std::vector<int> probedAddresses() const
    {
        std::vector<int> out;
        for (const auto& r : pty->requests())
            if (r.command == kGetInfo)
                out.push_back(r.hasAddress ? r.address : 0);
        return out;
    }
    void showAndFocus()
    {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // Opens the name editor on a data row (1 = first) and returns it.
    QLineEdit* openNameEditor(int row)
    {
        grid()->setFocus();
        grid()->setCurrentCell(row - 1, 2);
        grid()->editItem(grid()->item(row - 1, 2));
        return qobject_cast<QLineEdit*>(QApplication::focusWidget());
    }
};

TEST_F(MainFormNet, ScanListsAnsweringAddressesWithTypesAndNames)
{
    line.addActuator(17, "ТИРС-70 №0017");
    line.addActuator(3, "ТИРС-70 №0003");
    writeSettings("[Params]\nAddress=5\n[Names]\nAddr3=Насос\nAddr17=Клапан\n");
    auto& f = createForm();
    showAndFocus();
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"", "", ""}}));

    pty->clearRequests();
    widget<QPushButton>("bbScanStart")->click();

    EXPECT_EQ(rows(), (std::vector<QStringList>{{"3", "ТИРС-70 №0003", "Насос"},
                                                {"17", "ТИРС-70 №0017", "Клапан"}}));
    // Each address once, ascending, never 0.
    std::vector<int> expected;
    for (int a = 1; a <= kLastAddress; ++a)
        expected.push_back(a);
    EXPECT_EQ(probedAddresses(), expected);
    EXPECT_EQ(f.GridRow, 1);
    EXPECT_EQ(grid()->currentRow(), 0);
    EXPECT_EQ(widget<QProgressBar>("ScanProgressBar")->value(), 0);
    EXPECT_FALSE(f.Scanning);
    EXPECT_TRUE(widget<QPushButton>("bbScanStart")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>("bbScanStop")->isEnabled());
    EXPECT_EQ(f.WakePort->DevAddr, 5);
    EXPECT_EQ(f.Address, 5);
    EXPECT_EQ(f.StatusText(), QString());  // the scan leaves the status bar alone
    saveScreenshot(&f, QStringLiteral("net-after-scan"));

    // Row GridRow is drawn highlighted across all columns, the others not.
    const QImage image = grid()->viewport()->grab().toImage();
    const QColor highlight = grid()->palette().highlight().color();
    for (int col = 0; col < 3; ++col) {
        const QRect first = grid()->visualItemRect(grid()->item(0, col));
        const QRect second = grid()->visualItemRect(grid()->item(1, col));
        EXPECT_EQ(QColor(image.pixel(first.right() - 2, first.bottom() - 1)), highlight) << col;
        EXPECT_NE(QColor(image.pixel(second.right() - 2, second.bottom() - 1)), highlight) << col;
    }

    // A name typed for 17 and committed with Enter; Escape brings back the
    // stored name; columns 0 and 1 never edit.
    QLineEdit* editor = openNameEditor(2);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(f.NameEditing);
    editor->selectAll();
    editor->insert(QStringLiteral("Задвижка"));  // typed (keyClicks takes ASCII only)
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(f.NameEditing);
    EXPECT_EQ(f.Names[17], "Задвижка");
    EXPECT_EQ(cell(1, 2), QStringLiteral("Задвижка"));

    editor = openNameEditor(2);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    editor->insert(QStringLiteral("брошено"));  // typed (keyClicks takes ASCII only)
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(f.NameEditing);
    EXPECT_EQ(f.Names[17], "Задвижка");
    EXPECT_EQ(cell(1, 2), QStringLiteral("Задвижка"));

    // Selecting another cell commits.
    editor = openNameEditor(1);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    editor->insert(QStringLiteral("Насос 2"));  // typed (keyClicks takes ASCII only)
    grid()->setCurrentCell(1, 0);
    EXPECT_FALSE(f.NameEditing);
    EXPECT_EQ(f.Names[3], "Насос 2");
    EXPECT_EQ(f.GridRow, 2);
    EXPECT_EQ(f.GridCol, 0);

    for (int col : {0, 1}) {
        grid()->setCurrentCell(0, col);
        QTest::keyClick(grid(), Qt::Key_X);
        QTest::keyClick(grid(), Qt::Key_F2);
        EXPECT_FALSE(f.NameEditing) << col;
        for (auto* editor : grid()->viewport()->findChildren<QLineEdit*>())
            EXPECT_FALSE(editor->isVisible()) << col;
        EXPECT_EQ(cell(0, col), col == 0 ? QStringLiteral("3") : QStringLiteral("ТИРС-70 №0003"));
    }

    // Double click on the row of 17 selects it everywhere and identifies it.
    const QRect rect17 = grid()->visualItemRect(grid()->item(1, 1));
    int doubleClicks = 0;
    QObject::connect(grid(), &QTableWidget::cellDoubleClicked, [&] { ++doubleClicks; });
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rect17.center());
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, rect17.center());
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(f.Address, 17);
    EXPECT_EQ(widget<TFloatEdit>("feAddr1")->Value(), 17);
    EXPECT_EQ(widget<TFloatEdit>("feAddr2")->Value(), 17);
    EXPECT_EQ(widget<TFloatEdit>("feAddr3")->Value(), 17);
    EXPECT_EQ(widget<QLineEdit>("edName")->text(), QStringLiteral("Задвижка"));
    EXPECT_EQ(f.WakePort->DevAddr, 17);
    EXPECT_EQ(f.StatusText(), QStringLiteral("ТИРС-70 №0017"));
    EXPECT_EQ(widget<QLineEdit>("edType1")->text(), QStringLiteral("ТИРС-70 №0017"));

    // A second scan empties the table first; the names come back from Names.
    line.removeActuator(3);
    widget<QPushButton>("bbScanStart")->click();
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"17", "ТИРС-70 №0017", "Задвижка"}}));
    EXPECT_EQ(f.WakePort->DevAddr, 17);

    closeForm();
    const std::string text = readSettings();
    EXPECT_NE(text.find("Addr3=Насос 2\n"), std::string::npos);
    EXPECT_NE(text.find("Addr17=Задвижка\n"), std::string::npos);
    EXPECT_NE(text.find("Address=17\n"), std::string::npos);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormNet, AClickOpensTheNameEditorAndMenusOrOtherWindowsLeaveItOpen)
{
    line.addActuator(3, "ТИРС-70 №0003");
    writeSettings("[Names]\nAddr3=Насос\n");
    auto& f = createForm();
    showAndFocus();
    whenProgressReaches(3, [&] { widget<QPushButton>("bbScanStop")->click(); });
    widget<QPushButton>("bbScanStart")->click();
    ASSERT_EQ(cell(0, 0), QStringLiteral("3"));
    grid()->setFocus();
    grid()->setCurrentCell(0, 2);

    // A click into the current name cell: the editor, with the old name to edit.
    const QRect nameCell = grid()->visualItemRect(grid()->item(0, 2));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, nameCell.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.NameEditing; }, 5000));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("Насос"));
    EXPECT_FALSE(editor->hasSelectedText());
    QTest::keyClicks(editor, " 2");

    // A popup menu, then another window, take the focus: nothing committed,
    // and the keyboard comes back to the editor.
    auto* menu = widget<QMenu>("mnPort");
    menu->popup(f.mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
    menu->close();
    EXPECT_TRUE(f.NameEditing);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_TRUE(f.NameEditing);
    EXPECT_EQ(f.Names[3], "Насос");
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    EXPECT_EQ(QApplication::focusWidget(), editor);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(f.NameEditing);
    EXPECT_EQ(f.Names[3], "Насос 2");

    // A double click into it selects the drive and opens no editor.
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, nameCell.center());
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    EXPECT_FALSE(f.NameEditing);
    EXPECT_EQ(f.Address, 3);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormNet, EmptyLineAndNoPortListNothing)
{
    writeSettings("[Port]\nPort=0\n");
    auto& f = createForm();
    // With no port open every probe fails at once: nothing listed.
    widget<QPushButton>("bbScanStart")->click();
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"", "", ""}}));

    f.SelectPort(2);
    QElapsedTimer clock;
    clock.start();
    widget<QPushButton>("bbScanStart")->click();
    const qint64 ms = clock.elapsed();
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"", "", ""}}));
    EXPECT_EQ(widget<QProgressBar>("ScanProgressBar")->value(), 0);
    // 127 silent addresses take one answer time-out each; the window adds
    // little to that (generous bound: this is not a benchmark).
    EXPECT_GE(ms, 127 * 100);
    EXPECT_LT(ms, 127 * 100 * 2);
    RecordProperty("empty_scan_ms", static_cast<int>(ms));
    std::printf("empty line scan: %lld ms (127 x 100 ms = 12700 ms)\n", static_cast<long long>(ms));

    // The empty row has no address: selecting it is a conversion error, and
    // its name cell takes no typing.
    widget<QPushButton>("bbSelect")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message, QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(f.Address, 0);
    grid()->setCurrentCell(0, 2);
    EXPECT_FALSE(grid()->item(0, 2)->flags() & Qt::ItemIsEditable);
}

TEST_F(MainFormNet, TheLastScanIsShownAfterARestartUntilTheNextScan)
{
    line.addActuator(3, "ТИРС-70 №0003");
    line.addActuator(9, "девять");
    sim::Faults damaged;
    damaged.badCheckByte = true;  // as two actuators answering at once
    line.setFaults(9, damaged);
    writeSettings("[Params]\nAddress=9\n[Names]\nAddr3=Насос\n");
    createForm();
    EXPECT_EQ(widget<QLabel>("lbScanOrigin")->text(),
              QStringLiteral("Приводы не известны: нажмите «Сканировать»"));
    EXPECT_EQ(widget<QSpinBox>("seScanTimeout")->value(), 100);
    EXPECT_EQ(widget<QLabel>("lbScanDuration")->text(),
              QStringLiteral("Полное сканирование: около 13 с"));
    // A shorter wait, and the page says what it takes.
    widget<QSpinBox>("seScanTimeout")->setValue(20);
    EXPECT_EQ(widget<QLabel>("lbScanDuration")->text(),
              QStringLiteral("Полное сканирование: около 3,2 с"));
    widget<QPushButton>("bbScanStart")->click();
    const std::vector<QStringList> found{
        {"3", "ТИРС-70 №0003", "Насос"},
        {"9", "повреждённый ответ (возможно, два привода с одним адресом)", ""}};
    EXPECT_EQ(rows(), found);
    EXPECT_EQ(widget<QLabel>("lbScanOrigin")->text(), QString());
    closeForm();

    // After the restart, with nobody on the line: the same rows, marked, and
    // "Линия" shows them too.
    line.removeActuator(3);
    line.removeActuator(9);
    const std::size_t requestsBefore = pty->requests().size();
    auto& again = createForm();
    again.show();
    EXPECT_EQ(rows(), found);
    EXPECT_EQ(again.LastScanCount(), 2);
    EXPECT_EQ(widget<QLabel>("lbScanOrigin")->text(),
              QStringLiteral("Приводы из последнего сканирования (до перезапуска программы)"));
    EXPECT_EQ(widget<QSpinBox>("seScanTimeout")->value(), 20);
    EXPECT_EQ(pty->requests().size(), requestsBefore);                 // nothing asked for it
    EXPECT_EQ(widget<QTableWidget>("TableStrGrid")->currentRow(), 1);  // the selected address
    saveScreenshot(&again, QStringLiteral("net-kept-scan"));
    LineOverviewWindow* overview = again.Views->showLine();
    ASSERT_EQ(overview->table()->rowCount(), 2);
    EXPECT_TRUE(overview->findChild<QLabel*>(QStringLiteral("LineOrigin"))->isVisible());
    saveScreenshot(overview, QStringLiteral("line-kept-scan"));

    // The next scan replaces them.
    widget<QPushButton>("bbScanStart")->click();
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"", "", ""}}));
    EXPECT_FALSE(again.ScanKept);
    closeForm();
    EXPECT_NE(readSettings().find("[LastScan]\nCount=0\n"), std::string::npos) << readSettings();
}

TEST_F(MainFormNet, StopKeepsRowsFoundSoFar)
{
    line.addActuator(3, "три");
    line.addActuator(17, "семнадцать");
    line.addActuator(60, "шестьдесят");
    writeSettings("[Params]\nAddress=3\n");
    auto& f = createForm();
    whenProgressReaches(40, [this] { widget<QPushButton>("bbScanStop")->click(); });
    widget<QPushButton>("bbScanStart")->click();
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"3", "три", ""}, {"17", "семнадцать", ""}}));
    const std::vector<int> probed = probedAddresses();
    ASSERT_FALSE(probed.empty());
    EXPECT_GE(probed.back(), 40);
    EXPECT_LT(probed.back(), 60);
    EXPECT_EQ(widget<QProgressBar>("ScanProgressBar")->value(), 0);
    EXPECT_TRUE(widget<QPushButton>("bbScanStart")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>("bbScanStop")->isEnabled());
    EXPECT_EQ(f.WakePort->DevAddr, 3);
}

TEST_F(MainFormNet, DuringScanOnlyProbesReachTheLine)
{
    line.addActuator(3, "три");
    line.addActuator(17, "семнадцать");
    // Service mode: the parameter page and its "Сравнить" take clicks.
    writeSettings("[General]\nMaster=1\n[Params]\nAddress=3\n");
    auto& f = createForm(false);  // the poll timer runs
    showAndFocus();
    QTemporaryDir folder;
    f.Views->backup()->ChooseFolder = [&](const QString&) { return folder.path(); };
    std::vector<std::pair<const char*, bool>> enabledDuring;
    whenProgressReaches(20, [&] {
        for (const char* name : {"btCompare", "bbOpen", "bbClose", "bbStop", "bbStopOff", "bbRead",
                                 "bbReadRel", "bbSelect", "bbScanStart"})
            enabledDuring.emplace_back(name, widget<QWidget>(name)->isEnabled());
        for (const char* name : {"mnLineBackup", "mnLineRestore"}) {
            auto* action = f.findChild<QAction*>(QString::fromLatin1(name));
            ASSERT_NE(action, nullptr) << name;
            enabledDuring.emplace_back(name, action->isEnabled());
            action->trigger();
        }
        // The clicks the disabled controls refuse, and the handlers behind them.
        widget<QPushButton>("btCompare")->click();
        widget<QPushButton>("bbOpen")->click();
        f.btCompareClick();
        f.bbOpenClick();
        f.bbStopClick();
        f.bbReadClick();
        f.bbWriteRelClick();
        f.Views->backup()->backup();
        f.Views->backup()->restore();
        f.Timer1Timer();
        f.bbScanStartClick();  // no second scan inside the first
    });
    pty->clearRequests();
    widget<QPushButton>("bbScanStart")->click();

    for (const auto& [name, enabled] : enabledDuring)
        EXPECT_FALSE(enabled) << name;
    std::vector<int> expected;
    for (int a = 1; a <= kLastAddress; ++a)
        expected.push_back(a);
    EXPECT_EQ(probedAddresses(), expected);
    for (const auto& r : pty->requests())
        EXPECT_EQ(r.command, kGetInfo) << "address " << r.address;
    // The line is given back: the controls and the poll come back.
    EXPECT_TRUE(widget<QPushButton>("btCompare")->isEnabled());
    EXPECT_TRUE(widget<QPushButton>("bbOpen")->isEnabled());
    EXPECT_TRUE(f.Timer1->isActive());
}

TEST_F(MainFormNet, ClosingDuringScanStopsItFirst)
{
    line.addActuator(4, "четыре");
    writeSettings("[Params]\nAddress=4\n");
    auto& f = createForm();
    std::size_t requestsAtClose = 0;
    whenProgressReaches(10, [&] {
        f.close();
        requestsAtClose = pty->requests().size();
    });
    widget<QPushButton>("bbScanStart")->click();
    EXPECT_EQ(f.WakePort, nullptr);
    EXPECT_FALSE(f.Scanning);
    // Nothing went to the line after the window released the client, and
    // the final stop went to the selected actuator, not the probed one.
    EXPECT_EQ(pty->requests().size(), requestsAtClose);
    const auto log = pty->requests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().command, 16);
    EXPECT_EQ(log.back().address, 4);
    EXPECT_TRUE(settingsExist());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormNet, AddressFieldsKeepInStep)
{
    // Service mode: the parameter page (feAddr2) takes input.
    writeSettings("[General]\nMaster=1\n[Names]\nAddr5=пятый\nAddr127=последний\n");
    auto& f = createForm();
    struct Row {
        const char* field;
        const char* typed;
        int address;
        const char* name;
    };
    for (const Row& r : {Row{"feAddr3", "200", 127, "последний"}, Row{"feAddr3", "-5", 0, ""},
                         Row{"feAddr3", "5.7", 5, "пятый"}, Row{"feAddr2", "127", 127, "последний"},
                         Row{"feAddr2", "0.2", 0, ""}}) {
        SCOPED_TRACE(std::string(r.field) + " " + r.typed);
        auto* field = widget<TFloatEdit>(r.field);
        field->setText(QString::fromUtf8(r.typed));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(f.Address, r.address);
        for (const char* name : {"feAddr1", "feAddr2", "feAddr3"}) {
            EXPECT_EQ(widget<TFloatEdit>(name)->Value(), r.address) << name;
            EXPECT_EQ(widget<TFloatEdit>(name)->text(), QString::number(r.address)) << name;
        }
        EXPECT_EQ(widget<QLineEdit>("edName")->text(), QString::fromUtf8(r.name));
        EXPECT_EQ(f.WakePort->DevAddr, r.address);
    }
    EXPECT_FALSE(widget<TFloatEdit>("feAddr1")->isEnabled());
    // No exchange takes place when the address changes.
    EXPECT_TRUE(pty->requests().empty());
}

TEST_F(MainFormNet, SelectingASilentAddressShowsNoDevice)
{
    line.addActuator(9, "девять");
    auto& f = createForm();
    widget<QPushButton>("bbScanStart")->click();
    ASSERT_EQ(rows().size(), 1u);
    sim::Faults silent;
    silent.silent = true;
    line.setFaults(9, silent);
    f.DeviceFound = true;
    widget<QPushButton>("bbSelect")->click();
    EXPECT_EQ(f.Address, 9);
    EXPECT_EQ(f.WakePort->DevAddr, 9);
    EXPECT_EQ(f.StatusText(), QStringLiteral("No Device"));
    EXPECT_EQ(widget<QLineEdit>("edType1")->text(), QString());
    EXPECT_FALSE(f.DeviceFound);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace

namespace {

TEST_F(MainFormNet, NameColumnShrinksWhenTheScrollBarComesUp)
{
    for (int a = 1; a <= 20; ++a)
        line.addActuator(a, "ТИРС-70");
    auto& f = createForm();
    f.show();
    const int fullWidth = grid()->columnWidth(2);
    whenProgressReaches(22, [this] { widget<QPushButton>("bbScanStop")->click(); });
    widget<QPushButton>("bbScanStart")->click();
    ASSERT_EQ(grid()->rowCount(), 20);
    EXPECT_TRUE(grid()->verticalScrollBar()->isVisible());
    EXPECT_LT(grid()->columnWidth(2), fullWidth);
    EXPECT_EQ(grid()->columnWidth(0) + grid()->columnWidth(1) + grid()->columnWidth(2),
              grid()->viewport()->width());
}

}  // namespace
