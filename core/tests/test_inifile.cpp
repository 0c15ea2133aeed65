#include "inifile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct RoundTripRow {
    const char* name;
    std::string in;
    std::string out;
};

// Files read and written again unchanged: what the rules keep and drop.
TEST(IniImageRoundTrip, RewritesFilesByteForByte)
{
    const RoundTripRow rows[] = {
        {"empty", "", ""},
        {"onlyBlanksAndComments", "\r\n  \r\n; note\r\n", ""},
        {"canonicalFileStays", "[General]\r\nLeft=421\r\n\r\n[Port]\r\nPort=2\r\n\r\n",
         "[General]\r\nLeft=421\r\n\r\n[Port]\r\nPort=2\r\n\r\n"},
        {"lfOnlyBecomesCrlf", "[A]\nk=v\n", "[A]\r\nk=v\r\n\r\n"},
        {"noFinalLineEnd", "[A]\r\nk=v", "[A]\r\nk=v\r\n\r\n"},
        {"linesBeforeFirstSectionDropped", "k=1\r\nloose\r\n[A]\r\nx=2\r\n", "[A]\r\nx=2\r\n\r\n"},
        {"commentsAndEmptyLinesDropped", "[A]\r\n; c\r\n\r\nx=1\r\n   ;indented\r\ny=2\r\n",
         "[A]\r\nx=1\r\ny=2\r\n\r\n"},
        {"blanksAroundEqualsRemoved", "[A]\r\n  key  =  some value  \r\n",
         "[A]\r\nkey=some value\r\n\r\n"},
        {"tabsTrimmed", "\t[A]\t\r\n\tk\t=\tv\t\r\n", "[A]\r\nk=v\r\n\r\n"},
        {"sectionNameTrimmed", "[  Params  ]\r\n", "[Params]\r\n\r\n"},
        {"valueKeepsFurtherEquals", "[A]\r\nk = a=b = c\r\n", "[A]\r\nk=a=b = c\r\n\r\n"},
        {"emptyValueKept", "[Names]\r\nAddr1=\r\nAddr2 =\r\n",
         "[Names]\r\nAddr1=\r\nAddr2=\r\n\r\n"},
        {"lineWithoutEqualsCarried", "[A]\r\n  just text  \r\nk=v\r\n",
         "[A]\r\njust text\r\nk=v\r\n\r\n"},
        {"emptySectionKept", "[A]\r\n[B]\r\nk=v\r\n", "[A]\r\n\r\n[B]\r\nk=v\r\n\r\n"},
        {"bracketWithoutCloseIsALine", "[A]\r\n[B\r\n", "[A]\r\n[B\r\n\r\n"},
        {"repeatedSectionMergedIntoFirst", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n",
         "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n"},
        {"duplicateKeysKept", "[A]\r\nx=1\r\nX=2\r\n", "[A]\r\nx=1\r\nX=2\r\n\r\n"},
        {"cyrillicBytesKept",
         "[Names]\r\nAddr1=\xC7\xE0\xE4\xE2\xE8\xE6\xEA\xE0 \xB9"
         "1\r\n",
         "[Names]\r\nAddr1=\xC7\xE0\xE4\xE2\xE8\xE6\xEA\xE0 \xB9"
         "1\r\n\r\n"},
        {"semicolonInsideValueKept", "[A]\r\nk=a;b\r\n", "[A]\r\nk=a;b\r\n\r\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(IniImage::fromBytes(r.in).toBytes(), r.out);
    }
}

TEST(IniImageRead, MatchesNamesWithoutCase)
{
    const auto ini = IniImage::fromBytes("[work]\r\nvmin=90\r\n[Names]\r\nAddr1=\xD6\xE5\xF5\r\n");
    EXPECT_EQ(ini.readInteger("Work", "Vmin", 80), 90);
    EXPECT_EQ(ini.readInteger("WORK", "VMIN", 80), 90);
    EXPECT_EQ(ini.readString("names", "ADDR1", ""), "Цех");
    EXPECT_EQ(ini.readInteger("Work", "V1", 200), 200);
    EXPECT_EQ(ini.readInteger("Play", "Vmin", 7), 7);
    EXPECT_FALSE(ini.value("Work", "missing"));
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"work", "Names"}));
}

TEST(IniImageRead, ConvertsOrGivesTheDefault)
{
    const auto ini = IniImage::fromBytes(
        "[P]\r\n"
        "dec=42\r\nneg=-7\r\nhex=0x64\r\nhexUpper=0X1F\r\ndollar=$FF\r\nfrac=80.5\r\nempty=\r\n"
        "word=abc\r\nhuge=99999999999999999999\r\n"
        "t1=1\r\nt5=5\r\nf0=0\r\ntneg=-1\r\nbword=yes\r\nbhex=$0\r\n"
        "mm=0.00083\r\ncomma=0,5\r\nexp=1E-5\r\nfint=3\r\nfbad=1.2.3\r\n"
        "line without equals\r\n");
    struct IntRow {
        const char* key;
        long long expected;
    };
    const IntRow ints[] = {{"dec", 42},
                           {"neg", -7},
                           {"hex", 100},
                           {"hexUpper", 31},
                           {"dollar", 255},
                           {"frac", -1},
                           {"empty", -1},
                           {"word", -1},
                           {"huge", -1},
                           {"missing", -1},
                           {"line without equals", -1}};
    for (const auto& r : ints)
        EXPECT_EQ(ini.readInteger("P", r.key, -1), r.expected) << r.key;

    struct BoolRow {
        const char* key;
        bool def;
        bool expected;
    };
    const BoolRow bools[] = {
        {"t1", false, true},     {"t5", false, true},     {"tneg", false, true},
        {"f0", true, false},     {"bhex", true, false},   {"bword", true, true},
        {"bword", false, false}, {"missing", true, true}, {"empty", false, false}};
    for (const auto& r : bools)
        EXPECT_EQ(ini.readBool("P", r.key, r.def), r.expected) << r.key;

    struct FloatRow {
        const char* key;
        double expected;
    };
    const FloatRow floats[] = {{"mm", 0.00083}, {"comma", 9.5}, {"exp", 1e-5},   {"fint", 3.0},
                               {"fbad", 9.5},   {"empty", 9.5}, {"missing", 9.5}};
    for (const auto& r : floats)
        EXPECT_EQ(ini.readFloat("P", r.key, 9.5), r.expected) << r.key;

    EXPECT_EQ(ini.readString("P", "empty", "def"), "");
    EXPECT_EQ(ini.readString("P", "missing", "def"), "def");
}

TEST(IniImageWrite, ExistingKeysStayNewOnesGoToTheEnd)
{
    auto ini = IniImage::fromBytes("[General]\r\nLeft=1\r\nOwn=keep\r\nTop=2\r\n[Unknown]\r\nu="
                                   "1\r\nfree text\r\n[Params]\r\nAddress=5\r\n");
    ini.writeInteger("general", "TOP", 276);
    ini.writeInteger("General", "Page", 3);
    ini.writeBool("General", "AutoPar", true);
    ini.writeBool("General", "AutoRel", false);
    ini.writeFloat("Params", "MMPerStep", 0.00083);
    ini.writeInteger("Params", "Address", -12);
    ini.writeString("Names", "Addr1", "Насос №2");
    ini.writeString("Names", "Addr2", "");
    EXPECT_EQ(
        ini.toBytes(),
        "[General]\r\nLeft=1\r\nOwn=keep\r\nTop=276\r\nPage=3\r\nAutoPar=1\r\nAutoRel=0\r\n\r\n"
        "[Unknown]\r\nu=1\r\nfree text\r\n\r\n"
        "[Params]\r\nAddress=-12\r\nMMPerStep=0.00083\r\n\r\n"
        "[Names]\r\nAddr1=\xCD\xE0\xF1\xEE\xF1 \xB9"
        "2\r\nAddr2=\r\n\r\n");
}

TEST(IniImageWrite, KeepsTheSpellingOfAnExistingKey)
{
    auto ini = IniImage::fromBytes("[work]\r\nvmin=90\r\n");
    ini.writeInteger("Work", "Vmin", 100);
    EXPECT_EQ(ini.toBytes(), "[work]\r\nvmin=100\r\n\r\n");
}

TEST(IniImageWrite, FloatsInShortestGeneralForm)
{
    struct Row {
        double value;
        const char* text;
    };
    const Row rows[] = {{0.00083, "0.00083"}, {1.0, "1"},
                        {-2.5, "-2.5"},       {0.1 + 0.2, "0.3"},
                        {1e-5, "1E-5"},       {1.0 / 3.0, "0.333333333333333"},
                        {1e20, "1E20"},       {123456.75, "123456.75"}};
    for (const auto& r : rows) {
        IniImage ini;
        ini.writeFloat("P", "x", r.value);
        EXPECT_EQ(ini.value("P", "x"), r.text);
        EXPECT_EQ(IniImage::fromBytes(ini.toBytes()).readFloat("P", "x", -1), std::stod(r.text));
    }
}

TEST(IniImageWrite, UnmappableCharactersAndLineBreaksAreNeutralised)
{
    IniImage ini;
    ini.writeString("Names", "Addr1", "café 中");
    ini.writeString("Names", "Addr2", "two\r\nlines\n[General]");
    EXPECT_EQ(ini.toBytes(), "[Names]\r\nAddr1=caf? ?\r\nAddr2=two  lines [General]\r\n\r\n");
    const auto back = IniImage::fromBytes(ini.toBytes());
    EXPECT_EQ(back.sections(), std::vector<std::string>{"Names"});
}

class IniImageFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "inifile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void spit(const fs::path& p, const std::string& bytes)
    {
        std::ofstream out(p, std::ios::binary);
        out << bytes;
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

TEST_F(IniImageFiles, MissingFileReadsAsEmpty)
{
    const auto ini = IniImage::load((dir_ / "absent.ini").string());
    EXPECT_TRUE(ini.sections().empty());
    EXPECT_EQ(ini.readInteger("Port", "Port", 2), 2);
}

TEST_F(IniImageFiles, SaveThenLoadGivesTheSameBytes)
{
    const auto path = dir_ / "tirspanel.ini";
    spit(path, "junk\r\n[Port]\r\n; comment\r\nPort = 3\r\n");
    auto ini = IniImage::load(path.string());
    ini.writeInteger("Port", "Baud Rate", 9600);
    ini.save(path.string());
    EXPECT_EQ(slurp(path), "[Port]\r\nPort=3\r\nBaud Rate=9600\r\n\r\n");
    EXPECT_EQ(IniImage::load(path.string()).toBytes(), slurp(path));
    EXPECT_EQ(entries(), std::vector<std::string>{"tirspanel.ini"});  // no temporary left
}

TEST_F(IniImageFiles, SaveKeepsPermissionsAndFollowsALink)
{
    const auto real = dir_ / "real.ini";
    const auto link = dir_ / "link.ini";
    spit(real, "[A]\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);
    IniImage ini;
    ini.writeInteger("A", "k", 1);
    ini.save(link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "[A]\r\nk=1\r\n\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniImageFiles, DirectoryCannotBeReadOrReplaced)
{
    const auto sub = dir_ / "settings.ini";
    fs::create_directory(sub);
    try {
        IniImage::load(sub.string());
        ADD_FAILURE() << "a directory loaded";
    } catch (const IniFileError& e) {
        EXPECT_NE(std::string(e.what()).find(sub.string()), std::string::npos) << e.what();
    }
    IniImage ini;
    ini.writeInteger("A", "k", 1);
    try {
        ini.save(sub.string());
        ADD_FAILURE() << "saved over a directory";
    } catch (const IniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + sub.string());
    }
    EXPECT_TRUE(fs::is_directory(sub));
    EXPECT_EQ(entries(), std::vector<std::string>{"settings.ini"});
}

TEST_F(IniImageFiles, MissingFolderCannotBeCreated)
{
    const auto path = dir_ / "nowhere" / "x.par";
    IniImage ini;
    try {
        ini.save(path.string());
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const IniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + path.string());
    }
}

// A write that fails half-way (here: the file size limit, which binds the
// superuser too) leaves the old file as it was and no temporary behind.
TEST_F(IniImageFiles, FailedWriteLeavesTheOldFile)
{
    const auto path = dir_ / "keep.ini";
    spit(path, "[A]\r\nk=old\r\n");
    IniImage ini;
    ini.writeString("A", "k", std::string(4096, 'x'));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        ini.save(path.string());
    } catch (const IniFileError& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(message.rfind("Cannot write file " + path.string(), 0), 0u) << message;
    EXPECT_EQ(slurp(path), "[A]\r\nk=old\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"keep.ini"});
}

TEST_F(IniImageFiles, FifoIsRefusedWithoutWaiting)
{
    const auto path = dir_ / "fifo.ini";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(IniImage::load(path.string()), IniFileError);
}

TEST_F(IniImageFiles, HugeFileIsRefused)
{
    const auto path = dir_ / "huge.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << "[A]\r\n";
    }
    fs::resize_file(path, 17 * 1024 * 1024);
    EXPECT_THROW(IniImage::load(path.string()), IniFileError);
}

}  // namespace
