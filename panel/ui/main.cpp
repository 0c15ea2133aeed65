// The program: one main window and its event loop.
#include <QApplication>

#include <cstdio>
#include <exception>

#include "apptitle.h"
#include "errorbox.h"
#include "mainform.h"
#include "translations.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallQtTranslations(&app);
    SetApplicationTitle(QStringLiteral("Программа управления приводом ТИРС-70"));
    try {
        TMainForm form;
        form.show();
        return app.exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        ShowErrorBox(nullptr, QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(nullptr, QString());
    }
    return 1;
}
