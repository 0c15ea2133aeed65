// The window's layout at the default font (CTest runs it at scale 1 and 2):
// every caption legible, every value a field can show within the field (in the
// field's own font, bold where a parameter field marks a change), no control
// clipped by its parent or overlapping a sibling, and the status bar's texts on
// one line. With TIRS_SCREENSHOT_DIR set the pages are also saved there as
// pictures, for a person to look at.
#include <QAbstractButton>
#include <QApplication>
#include <QRegularExpression>

#include <algorithm>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QHeaderView>

#include <QStyle>
#include <QStyleOptionFrame>

#include "elidedlabel.h"
#include "floatedit.h"
#include "numbertext.h"
#include "paramfields.h"
#include "shape.h"
#include "statusbarline.h"
#include "support/windowfixture.h"

using uitest::WindowTest;

namespace {

class MainFormLayout : public WindowTest {
protected:
    static void checkChildren(QWidget* parent)
    {
        const QList<QWidget*> children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* w : children) {
            if (w->isWindow() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            const QString where = parent->objectName() + QLatin1Char('/') + w->objectName();
            EXPECT_TRUE(parent->rect().contains(w->geometry())) << where.toStdString();
            checkCaption(w, where);
            if (qobject_cast<QGroupBox*>(w))
                checkChildren(w);
        }
        // Siblings do not overlap, except the shapes of the position bar,
        // which are meant to (the marker is drawn over the zones).
        for (int i = 0; i < children.size(); ++i)
            for (int j = i + 1; j < children.size(); ++j) {
                QWidget* a = children[i];
                QWidget* b = children[j];
                if (qobject_cast<TShape*>(a) && qobject_cast<TShape*>(b))
                    continue;
                if (a->objectName().isEmpty() || b->objectName().isEmpty() || a->isWindow() ||
                    b->isWindow())
                    continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " overlaps "
                    << b->objectName().toStdString();
            }
    }

    static void checkCaption(QWidget* w, const QString& where)
    {
        const QFontMetrics fm = w->fontMetrics();
        if (qobject_cast<TElidedLabel*>(w)) {
            // gives way by itself: checked with the status bar
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            const int needed = Qt::mightBeRichText(label->text())
                                   ? label->sizeHint().width()
                                   : fm.horizontalAdvance(label->text());
            EXPECT_LE(needed, label->contentsRect().width()) << where.toStdString();
            EXPECT_LE(fm.height(), label->height()) << where.toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_LE(button->sizeHint().width(), button->width()) << where.toStdString();
            EXPECT_LE(fm.height(), button->height()) << where.toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(group->title()) + 16, group->width())
                << where.toStdString();
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            EXPECT_LE(fm.height(), edit->height()) << where.toStdString();
        }
    }
};

TEST_F(MainFormLayout, EveryPageIsLegibleAndUnclipped)
{
    line.addActuator(3, "ТИРС-70 №0003");
    writeSettings("[General]\nMaster=1\n[Names]\nAddr3=Задвижка котельной\n");
    auto& f = createForm();
    f.show();
    auto* pages = widget<QTabWidget>("PageControl");
    ASSERT_NE(pages, nullptr);
    // All five tabs fit without scrolling.
    QTabBar* bar = pages->tabBar();
    EXPECT_LE(bar->tabRect(bar->count() - 1).right(), pages->width()) << "tabs do not fit";
    EXPECT_EQ(f.width(), 466);
    EXPECT_EQ(widget<QWidget>("centralwidget")->height() +
                  widget<QStatusBar>("StatusBar")->height(),
              443);
    checkChildren(widget<QWidget>("centralwidget"));
    f.SelectAddress(3);
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QWidget* page = pages->currentWidget();
        SCOPED_TRACE(page->objectName().toStdString());
        checkChildren(page);
        saveScreenshot(&f, QStringLiteral("page%1-").arg(i) + page->objectName());
    }
}

// The width a line edit gives its text, as QLineEdit lays it out: the
// style's contents rectangle less the text margins and its 2-pixel margins.
int textRoom(QLineEdit* edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;
}

// The widest texts a numeric field can show: its limits, and numbers of
// every length up to its upper limit (8 is the widest digit), with decimals.
QStringList widestTexts(const TFloatEdit* field)
{
    std::vector<double> values{field->MinValue(), field->MaxValue(), 12345, -12345};
    for (double v = 8; v <= 1e7; v = v * 10 + 8)
        values.insert(values.end(), {v, v + 0.88, -v, -v - 0.88});
    QStringList texts;
    for (double v : values)
        if (v >= field->MinValue() && v <= field->MaxValue())
            texts << QString::fromStdString(
                numtext::formatFloat(v, field->Format(), field->Precision(), field->Digits()));
    return texts;
}

void expectFits(QLineEdit* edit, const QStringList& texts, bool bold)
{
    QFont font = edit->font();
    font.setBold(bold);
    const QFontMetrics fm(font);
    for (const QString& text : texts)
        EXPECT_LE(fm.horizontalAdvance(text), textRoom(edit))
            << edit->objectName().toStdString() << " \"" << text.toStdString() << "\""
            << (bold ? " bold" : "");
}

TEST_F(MainFormLayout, EveryValueFitsItsField)
{
    writeSettings("[General]\nMaster=1\n");
    auto& f = createForm();
    f.show();
    const auto parameters = ParamFields(*f.uiParams);
    const auto fields = f.findChildren<TFloatEdit*>();
    ASSERT_EQ(fields.size(), 32);  // 19 parameters, feLt, 3 addresses, 9 relay limits
    for (TFloatEdit* field : fields) {
        expectFits(field, widestTexts(field), false);
        if (std::find(parameters.begin(), parameters.end(), field) != parameters.end())
            expectFits(field, widestTexts(field), true);  // a changed value is bold
    }
    // The position page's fields: a position is a signed 16-bit count, the
    // travel an unsigned one (0 counts as 1), so the percentage reaches
    // -3276799; millimetres are written in the general form beyond 9999.9.
    expectFits(widget<QLineEdit>("edNx"), {"-32768", "32767"}, false);
    expectFits(widget<QLineEdit>("edNo"), {"65535"}, false);
    expectFits(widget<QLineEdit>("edNxp"), {"-3276799", "3276700"}, false);
    expectFits(widget<QLineEdit>("edMMxp"), {"-9999.9", "-1.235E4", "-8.888E88"}, false);
    EXPECT_EQ(numtext::formatFloat(-12345, TFloatFormat::Fixed, 4, 1), "-1.235E4");
}

TEST_F(MainFormLayout, StatusBarTextsStayOnOneLineWithTheWholeTextInTheTooltip)
{
    // An actuator selected: address 0 adds its warning to the line (below).
    writeSettings("[Params]\nAddress=1\n");
    auto& f = createForm();
    f.show();
    auto* text = widget<TElidedLabel>("StatusPanel");
    auto* problem = widget<TElidedLabel>("PortProblemPanel");
    const auto fits = [](TElidedLabel* label) {
        return label->fontMetrics().horizontalAdvance(label->DisplayedText()) <=
               label->contentsRect().width();
    };
    // A 255-byte identification text.
    const QString info = QStringLiteral("ТИРС-70 №0001 ") + QString(241, QLatin1Char('x'));
    f.SetStatusText(info);
    QApplication::processEvents();
    EXPECT_EQ(text->toolTip(), info);
    EXPECT_TRUE(fits(text));
    EXPECT_LE(text->height(), text->fontMetrics().height() * 2 - 1);  // one line
    EXPECT_TRUE(text->DisplayedText().startsWith(QStringLiteral("ТИРС-70 №0001 xxx")));
    EXPECT_TRUE(text->DisplayedText().endsWith(QChar(0x2026)));

    // "No Device" whole, and the reason beside it with the path elided in its middle.
    const QString path = QStringLiteral("/home/operator/") + QString(120, QLatin1Char('d')) +
                         QStringLiteral("/tirspanel/ports/COM2");
    f.SetStatusText(QStringLiteral("No Device"));
    f.StatusLine->SetPortProblem(QStringLiteral("COM2"), QStringLiteral("устройство не найдено"),
                                 path);
    QApplication::processEvents();
    EXPECT_EQ(text->DisplayedText(), QStringLiteral("No Device"));
    EXPECT_TRUE(fits(text));
    EXPECT_TRUE(fits(problem));
    EXPECT_EQ(problem->toolTip(), QStringLiteral("COM2: устройство не найдено: ") + path);
    EXPECT_TRUE(
        problem->DisplayedText().startsWith(QStringLiteral("COM2: устройство не найдено: /home/")))
        << problem->DisplayedText().toStdString();
    EXPECT_TRUE(problem->DisplayedText().endsWith(QStringLiteral("/COM2")));
    EXPECT_TRUE(problem->DisplayedText().contains(QChar(0x2026)));
    // Address 0: its warning stays whole beside them; the reason still
    // starts readably.
    f.SelectAddress(0);
    QApplication::processEvents();
    auto* warning = widget<QLabel>("AddressZeroPanel");
    EXPECT_TRUE(warning->isVisible());
    EXPECT_GE(warning->width(), warning->sizeHint().width());
    EXPECT_EQ(text->DisplayedText(), QStringLiteral("No Device"));
    EXPECT_TRUE(fits(problem));
    EXPECT_TRUE(problem->DisplayedText().startsWith(QStringLiteral("COM2: устройство не найдено")))
        << problem->DisplayedText().toStdString();
    saveScreenshot(&f, QStringLiteral("status-bar-address-zero"));
    f.SelectAddress(1);
    // The same for a report that names a long file.
    f.ReportDone(QStringLiteral("Файл сохранён: "), path + QStringLiteral(".par"));
    QApplication::processEvents();
    EXPECT_TRUE(fits(text));
    EXPECT_TRUE(text->DisplayedText().startsWith(QStringLiteral("Файл сохранён: /home/")));
    EXPECT_TRUE(text->DisplayedText().contains(
        QRegularExpression(QStringLiteral("COM2\\.par, \\d\\d:\\d\\d:\\d\\d$"))))
        << text->DisplayedText().toStdString();
    saveScreenshot(&f, QStringLiteral("status-bar-elided"));
}

TEST_F(MainFormLayout, DeviceTableHasItsGeometry)
{
    auto& f = createForm();
    f.show();
    auto* grid = widget<QTableWidget>("TableStrGrid");
    EXPECT_EQ(grid->columnCount(), 3);
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->columnWidth(0), 42);
    EXPECT_EQ(grid->columnWidth(1), 130);
    EXPECT_EQ(grid->columnWidth(0) + grid->columnWidth(1) + grid->columnWidth(2),
              grid->viewport()->width());
    EXPECT_EQ(grid->rowHeight(0), 17);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("Адрес"));
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Тип устройства"));
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral("Название"));
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(grid->currentColumn(), 2);
}

}  // namespace
