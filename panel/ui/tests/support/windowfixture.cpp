#include "windowfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cp1251.h"
#include "errorbox.h"
#include "journal.h"
#include "portlinks.h"

namespace fs = std::filesystem;

namespace uitest {

namespace {

constexpr int Ports = 8;

}  // namespace

QString WindowTest::programDir()
{
    return QCoreApplication::applicationDirPath();
}

QString WindowTest::settingsPath()
{
    return TMainForm::SettingsPath();
}

void WindowTest::linkPort(int n, const std::string& target)
{
    support::linkPort(n, target);
}

void WindowTest::SetUp()
{
    for (int n = 1; n <= Ports; ++n)
        linkPort(n);
    pty = std::make_unique<sim::PtyLine>(line);
    ASSERT_TRUE(pty->start());
    linkPort(2, pty->slavePath());
    removeSettings();
    removeJournal();
    SetErrorBoxPresenter([this](const QString& caption, const QString& message) {
        boxes.push_back({caption, message});
    });
}

void WindowTest::TearDown()
{
    form.reset();
    pty.reset();
    for (int n = 1; n <= Ports; ++n)
        linkPort(n);
    removeSettings();
    removeJournal();
    SetErrorBoxPresenter({});
}

void WindowTest::writeSettings(const std::string& utf8Lines)
{
    std::string bytes;
    std::istringstream in(utf8Lines);
    std::string line;
    while (std::getline(in, line))
        bytes += cp1251::fromUtf8(line) + "\r\n";
    std::ofstream out(settingsPath().toStdString(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string WindowTest::readSettingsBytes()
{
    std::ifstream in(settingsPath().toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string WindowTest::readSettings()
{
    std::string text = cp1251::toUtf8(readSettingsBytes());
    std::string out;
    for (char c : text)
        if (c != '\r')
            out += c;
    return out;
}

void WindowTest::removeSettings()
{
    std::error_code ec;
    fs::remove_all(settingsPath().toStdString(), ec);
}

QString WindowTest::journalPath()
{
    return programDir() + QLatin1Char('/') + QString::fromLatin1(service::journal::FileName);
}

QString WindowTest::oldJournalPath()
{
    return programDir() + QLatin1Char('/') + QString::fromLatin1(service::journal::OldFileName);
}

void WindowTest::removeJournal()
{
    std::error_code ec;
    fs::remove_all(journalPath().toStdString(), ec);
    fs::remove_all(oldJournalPath().toStdString(), ec);
}

bool WindowTest::settingsExist()
{
    return QFile::exists(settingsPath());
}

TMainForm& WindowTest::createForm(bool stopTimer)
{
    form = std::make_unique<TMainForm>();
    form->Confirm = [this](const QString& question) {
        questions.push_back(question);
        return true;
    };
    if (stopTimer)
        form->Timer1->stop();
    return *form;
}

void WindowTest::closeForm()
{
    form->close();
}

void WindowTest::saveScreenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("TIRS_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void WindowTest::whenProgressReaches(int a, std::function<void()> fn)
{
    auto* poll = new QTimer(form.get());
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [this, poll, a, fn] {
        if (widget<QProgressBar>("ScanProgressBar")->value() >= a) {
            poll->stop();
            fn();
        }
    });
    poll->start();
}

void WindowTest::tick()
{
    form->Timer1Timer();
    form->Timer1->stop();
}

}  // namespace uitest
