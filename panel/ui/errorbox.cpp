#include "errorbox.h"
#include "apptitle.h"

#include <QApplication>
#include <QMessageBox>

#include <stdexcept>

namespace {

ErrorBoxPresenter& presenter()
{
    static ErrorBoxPresenter p;
    return p;
}

QString displayText(const QString& message)
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

void present(QWidget* parent, const QString& caption, const QString& message)
{
    if (presenter()) {
        presenter()(caption, message);
        return;
    }
    QMessageBox::critical(parent, caption, displayText(message), QMessageBox::Ok);
}

}  // namespace

void ShowErrorBox(QWidget* parent, const QString& message)
{
    present(parent, ApplicationTitle(), message);
}

void ShowFileErrorBox(QWidget* parent, const QString& message)
{
    present(parent, QStringLiteral("Error"), message);
}

void SetErrorBoxPresenter(ErrorBoxPresenter p)
{
    presenter() = std::move(p);
}

void RunGuarded(QWidget* parent, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowErrorBox(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(parent, QString());
    }
}
