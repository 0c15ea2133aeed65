// Saving through a symbolic link whose file is not there: the settings file
// may be a link to a share that is not mounted yet. The link is the
// operator's configuration and must survive every save. An append the disk
// takes only part of leaves the file as it was.
#include "filebytes.h"
#include "inifile.h"
#include "filesizelimit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class DanglingLinkSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/core_inifile_diskfaults.XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static IniImage sample()
    {
        IniImage ini;
        ini.writeInteger("Port", "Port", 3);
        return ini;
    }
    fs::path dir_;
};

TEST_F(DanglingLinkSave, FileNamedByTheLinkIsCreatedAndTheLinkStays)
{
    struct Row {
        const char* name;
        std::string target;  // as written into the link
        fs::path file;       // where the contents must land
    };
    const Row rows[] = {
        {"absolute", (dir_ / "real.ini").string(), dir_ / "real.ini"},
        {"relative", "sub/real.ini", dir_ / "sub" / "real.ini"},
    };
    fs::create_directories(dir_ / "sub");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const fs::path link = dir_ / "panel.ini";
        fs::remove(link);
        fs::create_symlink(r.target, link);
        EXPECT_EQ(IniImage::load(link.string()).sections(),
                  std::vector<std::string>{});  // missing: empty
        sample().save(link.string());
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link).string(), r.target);
        EXPECT_EQ(slurp(r.file), "[Port]\r\nPort=3\r\n\r\n");
        EXPECT_EQ(IniImage::load(link.string()).readInteger("Port", "Port", 0), 3);
        fs::remove(r.file);
    }
}

TEST_F(DanglingLinkSave, ChainOfLinksIsFollowedToTheEnd)
{
    const fs::path first = dir_ / "panel.ini", second = dir_ / "second.ini";
    fs::create_symlink(second, first);
    fs::create_symlink(dir_ / "real.ini", second);
    sample().save(first.string());
    EXPECT_TRUE(fs::is_symlink(first));
    EXPECT_TRUE(fs::is_symlink(second));
    EXPECT_EQ(slurp(dir_ / "real.ini"), "[Port]\r\nPort=3\r\n\r\n");
}

TEST_F(DanglingLinkSave, MissingFolderFailsAndLeavesTheLinkAlone)
{
    const fs::path link = dir_ / "panel.ini";
    const fs::path target = dir_ / "share" / "panel.ini";  // the share is not mounted
    fs::create_symlink(target, link);
    std::string message;
    try {
        sample().save(link.string());
    } catch (const IniFileError& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "Cannot create file " + link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), target);
    EXPECT_FALSE(fs::exists(dir_ / "share"));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"panel.ini"});
}

TEST_F(DanglingLinkSave, AppendCutShortLeavesNoFragment)
{
    const fs::path path = dir_ / "journal.csv";
    filebytes::append(path.string(), "2026-12-08T18:40:50;one\n", "time;what\n");
    const std::string before = slurp(path);
    ASSERT_EQ(before, "time;what\n2026-12-08T18:40:50;one\n");
    std::string message;
    {
        FileSizeLimit full(before.size() + 10);
        try {
            filebytes::append(path.string(), "2026-12-08T18:40:51;two\n", "time;what\n");
        } catch (const IniFileError& e) {
            message = e.what();
        }
    }
    EXPECT_EQ(message.rfind("Cannot write file " + path.string() + ". ", 0), 0u) << message;
    EXPECT_EQ(slurp(path), before);

    filebytes::append(path.string(), "2026-12-08T18:40:52;three\n", "time;what\n");
    EXPECT_EQ(slurp(path), before + "2026-12-08T18:40:52;three\n");
}

TEST_F(DanglingLinkSave, AnUnsyncedReplacementIsWholeAndTheSyncAtTheEndNamesWhatFails)
{
    // A backup's files: replaced as replace does, synced all at once after.
    const fs::path first = dir_ / "A1.par", second = dir_ / "A2.par";
    filebytes::replace(first.string(), "old");
    filebytes::replaceUnsynced(first.string(), "[Device]\nAddress=1\n");
    filebytes::replaceUnsynced(second.string(), "[Device]\nAddress=2\n");
    EXPECT_EQ(slurp(first), "[Device]\nAddress=1\n");
    EXPECT_EQ(slurp(second), "[Device]\nAddress=2\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
    EXPECT_NO_THROW(filebytes::sync({first.string(), second.string()}));

    const fs::path missing = dir_ / "A3.par";
    std::string message;
    try {
        filebytes::sync({first.string(), missing.string()});
    } catch (const IniFileError& e) {
        message = e.what();
    }
    EXPECT_EQ(message.rfind("Cannot write file " + missing.string() + ". ", 0), 0u) << message;
}

}  // namespace
