#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Qt's Russian texts keep the button "OK" in Latin letters; the window
// writes it in Cyrillic, as every other word of it.
class CyrillicOk : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, "QPlatformTheme") == 0 && qstrcmp(source, "OK") == 0)
            return QStringLiteral("ОК");
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

bool InstallQtTranslations(QCoreApplication* app)
{
    // The window is Russian whatever the system's language is.
    auto* translator = new QTranslator(app);
    // A program that carries Qt's texts inside (the static Windows one) has
    // them among its resources; others take the installed Qt's.
    if (!translator->load(QStringLiteral("qtbase_ru"), QStringLiteral(":/i18n")) &&
        !translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    // The translator installed last is asked first.
    return QCoreApplication::installTranslator(translator) &&
           QCoreApplication::installTranslator(new CyrillicOk(app));
}
