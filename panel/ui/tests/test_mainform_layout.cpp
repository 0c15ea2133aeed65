// The window's layout at the default font: every caption legible, no control
// clipped by its parent or overlapping a sibling. With TIRS_SCREENSHOT_DIR set
// the pages are also saved there as pictures, for a person to look at.
#include <QAbstractButton>
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

#include "shape.h"
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
                    << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();
            }
    }

    static void checkCaption(QWidget* w, const QString& where)
    {
        const QFontMetrics fm = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(label->text()), label->contentsRect().width())
                << where.toStdString();
            EXPECT_LE(fm.height(), label->height()) << where.toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_LE(button->sizeHint().width(), button->width()) << where.toStdString();
            EXPECT_LE(fm.height(), button->height()) << where.toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(group->title()) + 16, group->width()) << where.toStdString();
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
    EXPECT_EQ(widget<QWidget>("centralwidget")->height() + widget<QStatusBar>("StatusBar")->height(),
              443);
    checkChildren(widget<QWidget>("centralwidget"));
    f.SelectAddress(3);
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QWidget* page = pages->currentWidget();
        SCOPED_TRACE(page->objectName().toStdString());
        // The parameter and relay pages are checked by their own tests.
        if (page->objectName() == QLatin1String("tsNet") ||
            page->objectName() == QLatin1String("tsControl") ||
            page->objectName() == QLatin1String("tsSettings"))
            checkChildren(page);
        saveScreenshot(&f, QStringLiteral("page%1-").arg(i) + page->objectName());
    }
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
