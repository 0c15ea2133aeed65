// One language, the version, and placement: Qt's own dialogs and buttons in
// Russian, the About box naming the build's version, a saved position off
// every screen brought back, and the locked pages saying how service mode is
// reached.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include "support/windowfixture.h"
#include "translations.h"
#include "windowplacement.h"

using uitest::WindowTest;

namespace {

class Identity : public WindowTest {};

TEST_F(Identity, QtsOwnDialogsAndButtonsSpeakRussian)
{
    ASSERT_TRUE(InstallQtTranslations(qApp));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Save);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'),
              QStringLiteral("Отмена"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text().remove('&'), QStringLiteral("ОК"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text().remove('&'),
              QStringLiteral("Сохранить"));

    // The parameter file's save dialog, as the window prepares it.
    writeSettings("[General]\nMaster=1\n");
    auto& f = createForm();
    QString title;
    f.ChooseFile = [&](QFileDialog* dialog) {
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->show();
        title = dialog->windowTitle();
        dialog->hide();
        return QString();
    };
    f.bbFileSaveClick();
    EXPECT_EQ(title, QStringLiteral("Сохранить как"));
}

TEST_F(Identity, AboutNamesTheVersionTheBuildAndWhereFilesLie)
{
    auto& f = createForm();
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
    f.mnAboutClick();
    const QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    EXPECT_TRUE(text.contains(QStringLiteral("\nВерсия ") + QStringLiteral(TIRSPANEL_VERSION) +
                              QStringLiteral(", сборка ") + QStringLiteral(TIRSPANEL_BUILD_DATE)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nПапка журнала: ") + folder)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nПапка файла настроек: "))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('@'))) << text.toStdString();
    EXPECT_FALSE(QStringLiteral(TIRSPANEL_VERSION).isEmpty());
}

TEST_F(Identity, APositionOffEveryScreenComesBackOntoThePrimaryOne)
{
    const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
    const QSize window(466, 465);
    // On a screen, or with enough of the title bar on one: kept.
    EXPECT_EQ(PlaceOnScreens({421, 276}, window, {left, right}, left), QPoint(421, 276));
    EXPECT_EQ(PlaceOnScreens({2500, 900}, window, {left, right}, left), QPoint(2500, 900));
    EXPECT_EQ(PlaceOnScreens({-400, 10}, window, {left}, left), QPoint(-400, 10));
    // The right screen was taken away; above every screen; beyond the left edge.
    EXPECT_EQ(PlaceOnScreens({2500, 300}, window, {left}, left), QPoint(726, 307));
    EXPECT_EQ(PlaceOnScreens({100, -300}, window, {left, right}, left), QPoint(726, 307));
    EXPECT_EQ(PlaceOnScreens({-440, 10}, window, {left}, left), QPoint(726, 307));
    // A screen smaller than the window: its top left corner.
    EXPECT_EQ(PlaceOnScreens({5000, 0}, window, {QRect(0, 0, 400, 300)}, QRect(0, 0, 400, 300)),
              QPoint(0, 0));

    writeSettings("[General]\nLeft=30000\nTop=-5000\n");
    auto& f = createForm();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f.pos())) << f.pos().x() << "," << f.pos().y();
    writeSettings("[General]\nLeft=40\nTop=50\n");
    EXPECT_EQ(createForm().pos(), QPoint(40, 50));
}

TEST_F(Identity, LockedPagesSayHowServiceModeIsReached)
{
    auto& f = createForm();
    ASSERT_FALSE(f.Master);
    auto* pages = widget<QTabWidget>("PageControl");
    const QString hint = QStringLiteral(
        "Доступно в сервисном режиме: строка Master=1 в разделе [General] файла настроек ");
    for (const char* name : {"tsParams", "tsSettings"}) {
        QWidget* page = widget<QWidget>(name);
        EXPECT_FALSE(page->isEnabled());
        EXPECT_TRUE(page->toolTip().startsWith(hint)) << page->toolTip().toStdString();
        EXPECT_TRUE(page->toolTip().endsWith(QStringLiteral(".ini")));
        EXPECT_EQ(pages->tabToolTip(pages->indexOf(page)), page->toolTip());
    }
    EXPECT_TRUE(widget<QWidget>("tsRelays")->toolTip().isEmpty());

    writeSettings("[General]\nMaster=1\n");
    createForm();
    EXPECT_TRUE(widget<QWidget>("tsParams")->toolTip().isEmpty());
}

}  // namespace
