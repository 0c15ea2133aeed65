// The window against a bad disk: a folder where the settings file should be,
// a full disk (a file size limit) during the shutdown save and a parameter
// file save, garbage and huge settings and parameter files, and a parameter
// file that vanishes between the dialog and the read. The operator's files
// are never truncated or lost; what cannot be read gives the defaults.
#include <QCryptographicHash>
#include <QFileDialog>
#include <QPushButton>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "apptitle.h"
#include "floatedit.h"
#include "inifile.h"
#include "journal.h"
#include "paramfields.h"
#include "paramfile.h"
#include "support/pagetest.h"
#include "support/windowfixture.h"
#include "filesizelimit.h"

using namespace uitest;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::set<std::string> entriesOf(const QString& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.toStdString()))
        names.insert(e.path().filename().string());
    return names;
}

std::string randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = char(random());
    return s;
}

// Well-formed: the file is exactly what the writer makes of its own reading.
void expectWellFormed(const std::string& bytes)
{
    EXPECT_EQ(IniImage::fromBytes(bytes).toBytes(), bytes);
}

class SettingsDiskFaults : public WindowTest {
protected:
    std::string settings() const { return settingsPath().toStdString(); }
    // Leftovers of an interrupted save (the temporary file beside the target).
    std::vector<std::string> temporaries() const
    {
        std::vector<std::string> out;
        const std::string stem = fs::path(settings()).filename().string() + ".~";
        for (const auto& name : entriesOf(programDir()))
            if (name.rfind(stem, 0) == 0)
                out.push_back(name);
        return out;
    }
};

TEST_F(SettingsDiskFaults, FolderInPlaceOfTheFileGivesDefaultsAndTouchesNothingElse)
{
    ASSERT_TRUE(fs::create_directory(settings()));
    writeFile(settings() + "/keep.txt", "the operator's");
    auto before = entriesOf(programDir());

    auto& f = createForm();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(boxes[0].message.contains(settingsPath())) << boxes[0].message.toStdString();
    EXPECT_TRUE(boxes[0].message.contains(QString::fromUtf8(std::strerror(EISDIR))));
    EXPECT_EQ(f.PortNumber, 2);
    EXPECT_EQ(f.BaudRate, 9600);
    EXPECT_EQ(f.Address, 0);
    EXPECT_FALSE(f.Master);

    closeForm();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, QStringLiteral("Error"));
    EXPECT_TRUE(boxes[1].message.contains(settingsPath())) << boxes[1].message.toStdString();
    EXPECT_EQ(f.WakePort, nullptr);  // the shutdown went on to its end
    // Beside the journal and its lock (the shutdown's stop command is
    // journalled) nothing is new.
    auto after = entriesOf(programDir());
    EXPECT_EQ(after.erase(service::journal::FileName), 1u);
    after.erase(service::journal::LockFileName);
    before.erase(service::journal::LockFileName);
    EXPECT_EQ(after, before);
    EXPECT_EQ(entriesOf(settingsPath()), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(readFile(settings() + "/keep.txt"), "the operator's");
}

TEST_F(SettingsDiskFaults, DiskFullAtShutdownKeepsTheOldFileWhole)
{
    writeSettings(
        "[General]\nPage=1\n[Port]\nPort=2\n[Params]\nAddress=1\n[Names]\nAddr1=Задвижка 1\n");
    const std::string old = readSettingsBytes();
    auto& f = createForm();
    f.Names[5] = "Новое имя";  // the save has more to write than the old file holds
    {
        FileSizeLimit full(64);
        closeForm();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].message, QStringLiteral("Cannot write file ") + settingsPath() +
                                    QStringLiteral(". ") + QString::fromUtf8(std::strerror(EFBIG)));
    EXPECT_EQ(f.WakePort, nullptr);
    EXPECT_EQ(readSettingsBytes(), old);
    EXPECT_EQ(temporaries(), std::vector<std::string>{});

    // With room again the next shutdown saves everything.
    form.reset();
    createForm().Names[5] = "Новое имя";
    closeForm();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_NE(readSettings().find("Addr5=Новое имя\n"), std::string::npos);
    EXPECT_NE(readSettings().find("Addr1=Задвижка 1\n"), std::string::npos);
}

TEST_F(SettingsDiskFaults, ReadOnlySettingsFileIsReportedAndLeftAsItIs)
{
    writeSettings("[Params]\nAddress=1\n");
    const std::string old = readSettingsBytes();
    fs::permissions(settings(),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    createForm().Names[5] = "Новое имя";
    closeForm();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message, QStringLiteral("Cannot create file ") + settingsPath() +
                                    QStringLiteral(". ") +
                                    QString::fromUtf8(std::strerror(EACCES)));
    EXPECT_EQ(readSettingsBytes(), old);
    EXPECT_EQ(temporaries(), std::vector<std::string>{});
    fs::permissions(settings(), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(SettingsDiskFaults, GarbageFilesGiveDefaultsAndAreWrittenBackWellFormed)
{
    std::string junkLines;
    for (int i = 0; junkLines.size() < 5 * 1024 * 1024; ++i)
        junkLines += "junk line " + std::to_string(i) + " \xff\xfe without a key\r\n";
    const struct {
        const char* what;
        std::string bytes;
        int port;  // the value expected after start-up
        int address;
    } rows[] = {
        {"random bytes", randomBytes(64 * 1024, 1), 2, 0},
        {"NUL bytes", std::string(4096, '\0'), 2, 0},
        // A NUL inside a value spoils it; at its ends it is blank like a space.
        {"NUL bytes inside the keys and values",
         "[Port]\r\nPort=5\0"
         "7\r\n[Params]\r\nAddr\0ess=3\r\nAddress=\0"
         "4\0\r\n"s,
         2, 4},
        {"5 MB of junk lines in a section", "[Names]\r\n" + junkLines + "[Params]\r\nAddress=9\r\n",
         2, 9},
        {"UTF-8 and Windows-1251 mixed, with the byte 0x98 that has no letter",
         "[Port]\r\nPort=\xd0\x9f\xd0\xbe\r\n[Params]\r\nAddress=6\r\n[Names]\r\nAddr1=\x98\xc0\xff"
         "\xd0\xb9\r\n\xe0\xe1\xe2=\x80\x81\r\n",
         2, 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        boxes.clear();
        writeFile(settings(), row.bytes);
        auto& f = createForm();
        EXPECT_EQ(f.PortNumber, row.port);
        EXPECT_EQ(f.BaudRate, 9600);
        EXPECT_EQ(f.Address, std::clamp(row.address, 0, 127));
        closeForm();
        EXPECT_TRUE(boxes.empty()) << boxes.front().message.toStdString();
        const std::string saved = readSettingsBytes();
        expectWellFormed(saved);
        const IniImage ini = IniImage::fromBytes(saved);
        EXPECT_EQ(ini.readInteger("Port", "Port", -1), row.port);
        EXPECT_EQ(ini.readInteger("Port", "Baud Rate", -1), 9600);
        EXPECT_EQ(ini.readInteger("Params", "Address", -1), row.address);
        form.reset();
        // And it starts again from what was saved, without complaint.
        createForm();
        EXPECT_EQ(form->Address, row.address);
        form.reset();
        EXPECT_TRUE(boxes.empty());
        removeSettings();
    }
}

TEST_F(SettingsDiskFaults, FileOverTheSizeLimitIsReportedAndNeverOverwritten)
{
    std::string huge = "[Port]\r\nPort=5\r\n[Params]\r\nAddress=3\r\n[Junk]\r\n";
    while (huge.size() <= 17u * 1024 * 1024)
        huge += std::string(1023, 'x') + "\n";
    writeFile(settings(), huge);
    const auto hash = [this] {
        return QCryptographicHash::hash(QByteArray::fromStdString(readSettingsBytes()),
                                        QCryptographicHash::Sha256);
    };
    const QByteArray before = hash();

    auto& f = createForm();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message,
              QStringLiteral("File ") + settingsPath() + QStringLiteral(" is too large"));
    EXPECT_EQ(f.PortNumber, 2);
    EXPECT_EQ(f.Address, 0);

    // What could not be read is not replaced by the defaults: the save is
    // refused with the same reason, and the file stays as the operator left it.
    closeForm();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].message, boxes[0].message);
    EXPECT_EQ(f.WakePort, nullptr);
    EXPECT_EQ(hash(), before);
    EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

class ParamFileDiskFaults : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        line.addActuator(1, "ТИРС-70 №0042");
        writeSettings("[General]\nMaster=1\n[Params]\nAddress=1\n");
        createForm();
        folder = programDir().toStdString() + "/parfaults";
        fs::remove_all(folder);
        fs::create_directories(folder);
        form->ChooseFile = [this](QFileDialog*) {
            if (beforeReturn)
                beforeReturn();
            return QString::fromStdString(chosen);
        };
    }
    void TearDown() override
    {
        fs::remove_all(folder);
        WindowTest::TearDown();
    }
    std::string pathOf(const char* name) const { return folder + "/" + name; }
    void open(const std::string& path)
    {
        chosen = path;
        widget<QPushButton>("bbFileOpen")->click();
    }
    void save(const std::string& path)
    {
        chosen = path;
        widget<QPushButton>("bbFileSave")->click();
    }
    TFloatEdit* field(std::string_view key) const { return ParamField(*form->uiParams, key); }
    void setAllFields(double v)
    {
        for (const auto& k : paramfile::ParamKeys)
            field(k.key)->SetValue(v);
    }
    void expectAllFields(double v)
    {
        for (const auto& k : paramfile::ParamKeys)
            EXPECT_EQ(field(k.key)->Value(), v) << k.key;
    }
    void expectDefaults()
    {
        for (const auto& k : paramfile::ParamKeys)
            EXPECT_EQ(field(k.key)->Value(), double(k.defaultValue)) << k.key;
    }

    std::string folder;
    std::string chosen;
    std::function<void()> beforeReturn;
};

TEST_F(ParamFileDiskFaults, GarbageIsRefusedAndChangesNoField)
{
    const struct {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"random bytes", randomBytes(32 * 1024, 2)},
        {"NUL bytes", std::string(1000, '\0')},
        {"sections with garbage values", "[Work]\r\nVmin=\xff\xfe\r\nV1=12abc\r\nI1=7\0"
                                         "7\r\n[Travel]\r\nNt=99999999999999999999\r\n"s},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeFile(pathOf("g.par"), row.bytes);
        setAllFields(7);
        boxes.clear();
        open(pathOf("g.par"));
        EXPECT_EQ(boxes.size(), 1u);  // no parameter, or a number past any field
        expectAllFields(7);
        EXPECT_EQ(readFile(pathOf("g.par")), row.bytes);  // reading changed nothing
    }
}

TEST_F(ParamFileDiskFaults, HugeFileIsReportedAndChangesNoField)
{
    std::string huge = "[Work]\r\nVmin=1\r\nV1=2\r\n";
    huge += std::string(17u * 1024 * 1024, ';');
    writeFile(pathOf("huge.par"), huge);
    setAllFields(7);
    open(pathOf("huge.par"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].message.contains(QStringLiteral("is too large")))
        << boxes[0].message.toStdString();
    expectAllFields(7);

    // Saving into it is refused too, and it stays whole.
    save(pathOf("huge.par"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(fs::file_size(pathOf("huge.par")), huge.size());
}

TEST_F(ParamFileDiskFaults, FileThatVanishesAfterTheDialogReadsAsEmpty)
{
    writeFile(pathOf("gone.par"), "[Work]\r\nVmin=55\r\n");
    beforeReturn = [this] { fs::remove(pathOf("gone.par")); };
    setAllFields(7);
    open(pathOf("gone.par"));
    EXPECT_TRUE(boxes.empty()) << boxes.front().message.toStdString();
    expectDefaults();
    EXPECT_FALSE(fs::exists(pathOf("gone.par")));  // reading creates nothing
}

TEST_F(ParamFileDiskFaults, LinkPlantedByAnotherUserIsReplacedNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's link needs the superuser";
    const std::string theirs = pathOf("theirs.txt");
    writeFile(theirs, "not a parameter file");
    fs::create_symlink(theirs, pathOf("p.par"));
    ASSERT_EQ(::lchown(pathOf("p.par").c_str(), 65534, 65534), 0);
    setAllFields(123);
    save(pathOf("p.par"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(readFile(theirs), "not a parameter file");
    EXPECT_FALSE(fs::is_symlink(pathOf("p.par")));
    EXPECT_EQ(IniImage::load(pathOf("p.par")).readInteger("Work", "Vmin", 0), 123);
}

TEST_F(ParamFileDiskFaults, FailedSaveLeavesTheOldFileByteIdentical)
{
    const std::string old = "[Work]\r\nVmin=55\r\n\r\n[Mine]\r\nNote=kept\r\n\r\n";
    writeFile(pathOf("p.par"), old);
    setAllFields(123);
    {
        FileSizeLimit full(40);
        save(pathOf("p.par"));
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].message, QStringLiteral("Cannot write file ") +
                                    QString::fromStdString(pathOf("p.par")) + QStringLiteral(". ") +
                                    QString::fromUtf8(std::strerror(EFBIG)));
    EXPECT_EQ(readFile(pathOf("p.par")), old);
    EXPECT_EQ(entriesOf(QString::fromStdString(folder)), std::set<std::string>{"p.par"});

    // The same save with room: every field, and the other section kept.
    save(pathOf("p.par"));
    EXPECT_EQ(boxes.size(), 1u);
    const IniImage ini = IniImage::load(pathOf("p.par"));
    EXPECT_EQ(ini.readInteger("Work", "Vmin", 0), 123);
    EXPECT_EQ(ini.readInteger("Travel", "Nt", 0), 123);
    EXPECT_EQ(ini.readString("Mine", "Note", ""), "kept");
}

}  // namespace
