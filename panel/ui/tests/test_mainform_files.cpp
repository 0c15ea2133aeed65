// Parameter files: the dialogs, loading into the fields and saving them.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "apptitle.h"
#include "floatedit.h"
#include "inifile.h"
#include "paramfile.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"

using namespace uitest;
namespace fs = std::filesystem;

namespace {

class ParamFiles : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0042");
        writeSettings("[General]\nMaster=1\n[Params]\nAddress=1\n");
        createForm();
        folder = programDir() + QStringLiteral("/parfiles");
        fs::remove_all(folder.toStdString());
        fs::create_directories(folder.toStdString());
        form->ChooseFile = [this](QFileDialog* dialog) {
            ++dialogRuns;
            lastDialog = dialog;
            return chosen;
        };
    }
    void TearDown() override
    {
        fs::remove_all(folder.toStdString());
        WindowTest::TearDown();
    }

    QString pathOf(const char* name) const { return folder + QLatin1Char('/') + name; }
    static void writeFile(const QString& path, const std::string& bytes)
    {
        std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string readFile(const QString& path)
    {
        std::ifstream in(path.toStdString(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The file without the [Device] section a save adds (its date changes).
    static std::string parametersOf(const QString& path)
    {
        std::string bytes = readFile(path);
        const auto from = bytes.find("[Device]\r\n");
        if (from != std::string::npos)
            bytes.erase(from, bytes.find("\r\n\r\n", from) + 4 - from);
        return bytes;
    }
    // A field by its name, or by its parameter key through a table written out
    // here, so that a slip in the window's table is caught rather than agreed with.
    TFloatEdit* fe(std::string_view keyOrName) const
    {
        static const std::map<std::string_view, const char*> names{
            {"Vmin", "feVm"}, {"V1", "feV1"}, {"I1", "feI1"}, {"V2", "feV2"}, {"I2", "feI2"},
            {"V3", "feV3"},   {"I3", "feI3"}, {"V4", "feV4"}, {"I4", "feI4"}, {"A", "edA"},
            {"Ia", "feIa"},   {"Vp", "feVp"}, {"Ip", "feIp"}, {"Np", "feNp"}, {"Vl", "feVl"},
            {"Il", "feIl"},   {"No", "feNo"}, {"Nc", "feNc"}, {"Nt", "feNt"}};
        const auto it = names.find(keyOrName);
        return widget<TFloatEdit>(it != names.end() ? it->second : std::string(keyOrName).c_str());
    }
    void open(const QString& path)
    {
        chosen = path;
        widget<QPushButton>("bbFileOpen")->click();
    }
    void save(const QString& path)
    {
        chosen = path;
        widget<QPushButton>("bbFileSave")->click();
    }
    void setAllFields(double v)
    {
        for (const auto& k : paramfile::ParamKeys)
            fe(k.key)->SetValue(v);
    }

    QString folder;
    QString chosen;
    int dialogRuns = 0;
    QFileDialog* lastDialog = nullptr;
};

TEST_F(ParamFiles, DialogsArePreparedBeforeEachUse)
{
    form->Dir = folder;
    open(pathOf("a.par"));
    ASSERT_EQ(lastDialog, form->OpenDialog);
    const auto check = [this](QFileDialog* d, const QString& dir) {
        EXPECT_EQ(QDir(d->directory()).absolutePath(), QDir(dir).absolutePath());
        ASSERT_FALSE(d->selectedFiles().isEmpty());
        EXPECT_EQ(QFileInfo(d->selectedFiles().first()).fileName(), QStringLiteral("Params.par"));
        EXPECT_EQ(d->nameFilters(), QStringList{QStringLiteral("Файлы параметров (*.par)")});
        EXPECT_EQ(d->defaultSuffix(), QStringLiteral("par"));
        EXPECT_EQ(d->fileMode(), QFileDialog::AnyFile);
    };
    check(form->OpenDialog, folder);
    EXPECT_EQ(form->OpenDialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(form->Dir, folder + QLatin1Char('/'));

    fs::create_directories((folder + "/sub").toStdString());
    save(pathOf("sub/b.par"));
    ASSERT_EQ(lastDialog, form->SaveDialog);
    check(form->SaveDialog, folder);
    EXPECT_EQ(form->SaveDialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(form->SaveDialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(form->Dir, folder + QStringLiteral("/sub/"));

    // The next use opens in the folder just remembered, with the default name again.
    form->OpenDialog->selectFile(QStringLiteral("other.par"));
    open(QString());
    check(form->OpenDialog, folder + QStringLiteral("/sub"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ParamFiles, CancelChangesNothing)
{
    form->Dir = folder;
    setAllFields(7);
    open(QString());
    save(QString());
    EXPECT_EQ(dialogRuns, 2);
    EXPECT_EQ(form->Dir, folder);
    for (const auto& k : paramfile::ParamKeys)
        EXPECT_EQ(fe(k.key)->Value(), 7) << k.key;
    EXPECT_TRUE(fs::is_empty(folder.toStdString()));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ParamFiles, MissingFileLoadsTheNineteenDefaults)
{
    setAllFields(7);
    open(pathOf("none.par"));
    EXPECT_TRUE(boxes.empty());
    for (const auto& k : paramfile::ParamKeys)
        EXPECT_EQ(fe(k.key)->Value(), double(k.defaultValue)) << k.key;
    EXPECT_EQ(fe("feVm")->Value(), 80);
    EXPECT_FALSE(fs::exists(pathOf("none.par").toStdString()));
    EXPECT_EQ(form->Dir, folder + QLatin1Char('/'));
}

TEST_F(ParamFiles, EveryKeyFillsItsOwnField)
{
    std::string bytes;
    std::string section;
    for (std::size_t i = 0; i < paramfile::ParamCount; ++i) {
        const auto& k = paramfile::ParamKeys[i];
        if (k.section != section) {
            section = k.section;
            bytes += "[" + section + "]\r\n";
        }
        bytes += std::string(k.key) + "=" + std::to_string(11 + i) + "\r\n";
    }
    writeFile(pathOf("all.par"), bytes);
    open(pathOf("all.par"));
    for (std::size_t i = 0; i < paramfile::ParamCount; ++i)
        EXPECT_EQ(fe(paramfile::ParamKeys[i].key)->Value(), double(11 + i))
            << paramfile::ParamKeys[i].key;
    EXPECT_EQ(readFile(pathOf("all.par")), bytes);  // loading leaves the file alone
}

TEST_F(ParamFiles, LoadedValuesAreHeldByTheFields)
{
    writeFile(pathOf("odd.par"), "[work]\r\nvmin=0\r\nV1=0x64\r\nV2=75.5\r\nI3=$10\r\n"
                                 "[Lock]\r\nIl=5000\r\n[Play]\r\nNp=-5\r\n");
    open(pathOf("odd.par"));
    EXPECT_EQ(fe("feVm")->Value(), 1);    // field's lower limit
    EXPECT_EQ(fe("feV1")->Value(), 100);  // hexadecimal
    EXPECT_EQ(fe("feV2")->Value(), 200);  // not an integer: default
    EXPECT_EQ(fe("feI3")->Value(), 16);
    EXPECT_EQ(fe("feIl")->Value(), 2000);  // field's upper limit
    EXPECT_DOUBLE_EQ(fe("feNp")->Value(), -0.1);

    // Saved back: the negative value is stored as 0.
    save(pathOf("back.par"));
    EXPECT_TRUE(boxes.empty());
    const std::string written = readFile(pathOf("back.par"));
    EXPECT_NE(written.find("[Play]\r\nVp=300\r\nIp=800\r\nNp=0\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("[Work]\r\nVmin=1\r\nV1=100\r\n"), std::string::npos) << written;
}

// The line tools send a file's values as these fields would hold them.
TEST_F(ParamFiles, FieldLimitsAreThoseOfTheParameterTable)
{
    for (const auto& k : paramfile::ParamKeys) {
        EXPECT_EQ(fe(k.key)->MinValue(), k.fieldMin) << k.key;
        EXPECT_EQ(fe(k.key)->MaxValue(), k.fieldMax) << k.key;
    }
}

TEST_F(ParamFiles, FractionAndCaseRules)
{
    writeFile(pathOf("a.par"), "[Work]\r\nVmin=75.5\r\nV1=100\r\n");
    open(pathOf("a.par"));
    EXPECT_EQ(fe("feVm")->Value(), 80);
    writeFile(pathOf("b.par"), "[work]\r\n vmin = 90 \r\n");
    open(pathOf("b.par"));
    EXPECT_EQ(fe("feVm")->Value(), 90);
}

TEST_F(ParamFiles, NewFileHoldsTheFieldsTruncated)
{
    open(pathOf("none.par"));  // the defaults
    typeInto(fe("feV1"), "12.7");
    ASSERT_EQ(fe("feV1")->text(), QStringLiteral("13"));
    save(pathOf("new"));  // the dialog adds the suffix; the window takes the path as chosen
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(parametersOf(pathOf("new")),
              "[Work]\r\nVmin=80\r\nV1=12\r\nI1=1000\r\nV2=200\r\nI2=1000\r\nV3=200\r\n"
              "I3=1000\r\nV4=200\r\nI4=1000\r\n\r\n"
              "[Acceleration]\r\nA=200\r\nIa=1500\r\n\r\n"
              "[Play]\r\nVp=300\r\nIp=800\r\nNp=200\r\n\r\n"
              "[Lock]\r\nVl=100\r\nIl=2000\r\nNo=1000\r\nNc=1000\r\n\r\n"
              "[Travel]\r\nNt=2000\r\n\r\n");
}

TEST_F(ParamFiles, SavingOverAFileKeepsItsOtherSectionsAndKeysInOrder)
{
    writeFile(pathOf("old.par"), "before=1\r\n; comment\r\n[Drive]\r\nName = test stand\r\n\r\n"
                                 "[Travel]\r\nNote=x\r\nNt = 5\r\n[Work]\r\nV4=1\r\nOwn=2\r\n");
    open(pathOf("none.par"));
    save(pathOf("old.par"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(parametersOf(pathOf("old.par")),
              "[Drive]\r\nName=test stand\r\n\r\n"
              "[Travel]\r\nNote=x\r\nNt=2000\r\n\r\n"
              "[Work]\r\nV4=200\r\nOwn=2\r\nVmin=80\r\nV1=200\r\nI1=1000\r\nV2=200\r\n"
              "I2=1000\r\nV3=200\r\nI3=1000\r\nI4=1000\r\n\r\n"
              "[Acceleration]\r\nA=200\r\nIa=1500\r\n\r\n"
              "[Play]\r\nVp=300\r\nIp=800\r\nNp=200\r\n\r\n"
              "[Lock]\r\nVl=100\r\nIl=2000\r\nNo=1000\r\nNc=1000\r\n\r\n");
}

TEST_F(ParamFiles, LoadingChangesTravelButNotMillimetres)
{
    form->bbReadClick();  // the drive's Nt 2000 -> 41.5 mm
    ASSERT_NEAR(fe("feLt")->Value(), 41.5, 1e-9);
    writeFile(pathOf("t.par"), "[Travel]\r\nNt=1000\r\n");
    for (bool travel : {false, true}) {
        widget<QCheckBox>("cbTravel")->setChecked(travel);
        fe("feNt")->SetValue(1);
        open(pathOf("t.par"));
        EXPECT_EQ(fe("feNt")->Value(), 1000) << travel;
        EXPECT_NEAR(fe("feLt")->Value(), 41.5, 1e-9) << travel;
    }
}

TEST_F(ParamFiles, FailedSaveShowsTheFileErrorAndKeepsTheNewFolder)
{
    const QString path = pathOf("gone/p.par");
    save(path);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].message, QStringLiteral("Cannot create file ") + path);
    EXPECT_EQ(form->Dir, folder + QStringLiteral("/gone/"));
    EXPECT_FALSE(fs::exists((folder + "/gone").toStdString()));
}

TEST_F(ParamFiles, UnreadableFileReachesTheErrorBoxAndChangesNothing)
{
    fs::create_directories(pathOf("dir.par").toStdString());  // exists, cannot be read as a file
    setAllFields(7);
    open(pathOf("dir.par"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, ApplicationTitle());
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("dir.par")))
        << boxes[0].message.toStdString();
    for (const auto& k : paramfile::ParamKeys)
        EXPECT_EQ(fe(k.key)->Value(), 7) << k.key;

    save(pathOf("dir.par"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(fs::is_directory(pathOf("dir.par").toStdString()));
    EXPECT_TRUE(fs::is_empty(pathOf("dir.par").toStdString()));
}

TEST_F(ParamFiles, AFileIsCheckedBeforeItLoadsAndASaveNamesTheActuator)
{
    std::vector<QString> asked;
    bool answer = false;
    form->Confirm = [&](const QString& question) {
        asked.push_back(question);
        return answer;
    };
    const auto unchanged = [&] {
        for (const auto& k : paramfile::ParamKeys)
            if (fe(k.key)->Value() != 7)
                return false;
        return true;
    };
    setAllFields(7);

    // No parameter key at all, or a value that is no finite number: refused.
    writeFile(pathOf("junk.par"), std::string("\x7f"
                                              "ELF\x02\x01\x01\0\0\0",
                                              10));
    writeFile(pathOf("inf.par"), "[Work]\r\nVmin=100\r\nV1=NaN\r\n");
    for (const char* name : {"junk.par", "inf.par"}) {
        SCOPED_TRACE(name);
        boxes.clear();
        open(pathOf(name));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(unchanged());
        EXPECT_TRUE(boxes[0].message.contains(std::string(name) == "junk.par"
                                                  ? QStringLiteral("нет ни одного параметра")
                                                  : QStringLiteral("конечным числом: V1")))
            << boxes[0].message.toStdString();
    }
    EXPECT_TRUE(asked.empty());

    // Keys missing: named in a question; "no" loads nothing.
    boxes.clear();
    writeFile(pathOf("part.par"), "[Work]\r\nVmin=100\r\nV1=x\r\n");
    open(pathOf("part.par"));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("V1, I1"))) << asked[0].toStdString();
    EXPECT_TRUE(unchanged());

    // Saved here: [Device] names the selected actuator; loaded at another
    // address, the question names both.
    setAllFields(9);
    save(pathOf("own.par"));
    const IniImage saved = IniImage::load(pathOf("own.par").toStdString());
    EXPECT_EQ(saved.readInt("Device", "Address", 0), 1);
    EXPECT_FALSE(saved.readString("Device", "Date", "").empty());
    open(pathOf("own.par"));
    EXPECT_EQ(asked.size(), 1u);  // its own actuator: no question
    form->SelectAddress(2);
    setAllFields(7);
    open(pathOf("own.par"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[1].contains(QStringLiteral("с привода 1, выбран привод 2")))
        << asked[1].toStdString();
    EXPECT_TRUE(unchanged());
    answer = true;
    open(pathOf("own.par"));
    EXPECT_EQ(fe("V1")->Value(), 9);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ParamFiles, SavedFileLoadsBackIntoTheFields)
{
    for (std::size_t i = 0; i < paramfile::ParamCount; ++i)
        fe(paramfile::ParamKeys[i].key)->SetValue(double(20 + i));
    save(pathOf("round.par"));
    setAllFields(7);
    open(pathOf("round.par"));
    for (std::size_t i = 0; i < paramfile::ParamCount; ++i)
        EXPECT_EQ(fe(paramfile::ParamKeys[i].key)->Value(), double(20 + i));
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
