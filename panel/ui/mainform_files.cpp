// Parameter files: the nineteen parameter fields saved to and loaded from
// an INI file chosen in a file dialog.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScopedValueRollback>

#include "errorbox.h"
#include "floatedit.h"
#include "backup.h"
#include "inifile.h"
#include "isotime.h"
#include "mainform.h"
#include "paramfields.h"
#include "paramfile.h"
#include "ui_paramspage.h"

namespace {

void prepareDialog(QFileDialog* dialog, const QString& dir)
{
    dialog->setDirectory(dir);
    dialog->setNameFilter(QStringLiteral("Файлы параметров (*.par)"));
    dialog->setDefaultSuffix(QStringLiteral("par"));
    dialog->selectFile(QStringLiteral("Params.par"));
}

// The folder of a chosen file with its trailing separator.
QString folderOf(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return QDir::toNativeSeparators(folder);
}

std::string filePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

// Made on first use: a file dialog costs start-up time and memory, and reads
// the folder it last showed.
void TMainForm::setupParamFileDialogs()
{
    if (!OpenDialog) {
        OpenDialog = new QFileDialog(this);
    }
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::AnyFile);  // a name that does not exist is accepted
    if (!SaveDialog) {
        SaveDialog = new QFileDialog(this);
    }
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, true);
}

QString TMainForm::chooseParamFile(QFileDialog* TMainForm::*which)
{
    setupParamFileDialogs();
    QFileDialog* dialog = this->*which;
    prepareDialog(dialog, Dir);
    if (ChooseFile) {
        return ChooseFile(dialog);
    }
    if (dialog->exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

bool TMainForm::acceptParamFile(const QString& path, const IniImage& file,
                                const paramfile::Reading& reading)
{
    if (const std::string refused = paramfile::refusal(reading); !refused.empty()) {
        const QString text = QString::fromStdString(refused);
        journalFileOperation("FileLoad", path, text);
        ShowFileErrorBox(this, QDir::toNativeSeparators(path) + QStringLiteral(": ") + text);
        return false;
    }
    if (const std::string missing = paramfile::missingText(reading);
        !missing.empty() &&
        !confirm(QStringLiteral("Файл ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") +
                 QString::fromStdString(missing) + QStringLiteral(".\n\nЗагрузить файл?")))
        return false;
    const int fileAddress = service::deviceFromFile(file).address;
    return fileAddress == 0 || fileAddress == Address ||
           confirm(QStringLiteral("Файл сохранён с привода %1, выбран привод %2.\n\n"
                                  "Загрузить файл?")
                       .arg(fileAddress)
                       .arg(Address));
}

void TMainForm::bbFileOpenClick()
{
    const QString path = chooseParamFile(&TMainForm::OpenDialog);
    if (path.isEmpty()) {
        return;
    }
    Dir = folderOf(path);
    // An unreadable file throws here, before any field has changed.
    IniImage file;
    try {
        file = IniImage::load(filePath(path));
    } catch (const std::exception& e) {
        journalFileOperation("FileLoad", path, QString::fromUtf8(e.what()));
        throw;
    }
    const paramfile::Reading reading = paramfile::inspect(file);
    // A name that does not exist still gives the nineteen defaults, as the
    // dialog offers it; a file that exists is checked before anything loads.
    if (QFileInfo::exists(path) && !acceptParamFile(path, file, reading))
        return;
    const paramfile::ParamValues& values = reading.values;
    {
        const QScopedValueRollback fromFile(paramSource_, ParamSource::File);
        const auto fields = ParamFields(*uiParams);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i]->SetValue(values[i]);
        }
    }
    loadedParamFields();
    paramFileName_ = QFileInfo(path).fileName();
    journalFileOperation("FileLoad", path, {});
    ReportDone(QStringLiteral("Файл загружен: "), QDir::toNativeSeparators(path));
}

void TMainForm::bbFileSaveClick()
{
    const QString path = chooseParamFile(&TMainForm::SaveDialog);
    if (path.isEmpty()) {
        return;
    }
    Dir = folderOf(path);
    IniImage ini;
    try {
        ini = IniImage::load(filePath(path));  // keeps the file's other sections
    } catch (const std::exception& e) {
        journalFileOperation("FileSave", path, QString::fromUtf8(e.what()));
        throw;
    }
    paramfile::ParamValues values{};
    const auto fields = ParamFields(*uiParams);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        values[i] = fields[i]->Value();
    }
    const QString type = uiParams->edType2->text();
    service::deviceToFile(ini, {Address, type.toStdString(), service::nameOf(Names, Address),
                                service::isoLocalTime(std::chrono::system_clock::now())});
    paramfile::write(ini, values);
    try {
        ini.save(filePath(path));  // atomic: a failure leaves the old file whole
    } catch (const IniFileError& e) {
        journalFileOperation("FileSave", path, QString::fromStdString(e.what()));
        ShowFileErrorBox(this, QString::fromStdString(e.what()));
        return;
    }
    journalFileOperation("FileSave", path, {});
    ReportDone(QStringLiteral("Файл сохранён: "), QDir::toNativeSeparators(path));
}
