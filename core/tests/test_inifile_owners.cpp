// Saving where several users meet: the file's owner, group and mode survive
// a save, a read-only file is left alone, a folder the user may not write
// gets the user's own file rewritten in place, and a link is followed only
// when it and its file are the user's: else a save takes the link's place and
// an append is refused. Another user's file is never written into. A file of
// very many sections reads in time linear in its size.
#include "filebytes.h"
#include "inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The other user: the system's "nobody".
constexpr uid_t kOtherUid = 65534;
constexpr gid_t kOtherGid = 65534;

bool superuser()
{
    return ::geteuid() == 0;
}

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

IniImage sample()
{
    IniImage ini;
    ini.writeInteger("Port", "Port", 3);
    return ini;
}
const std::string kSampleBytes = "[Port]\r\nPort=3\r\n\r\n";

// The message of the IniFileError that save raises ("" when none).
std::string saveError(const fs::path& path)
{
    try {
        sample().save(path.string());
    } catch (const IniFileError& e) {
        return e.what();
    }
    return {};
}

// Runs f as the other user when this is the superuser (in a child process
// that gives its rights away), else as this user. True when f returned true.
bool asPlainUser(const std::function<bool()>& f)
{
    if (!superuser())
        return f();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(kOtherGid) == 0 && ::setuid(kOtherUid) == 0 && f();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class IniOwners : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/core_inifile_owners.XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
        fs::permissions(dir_, fs::perms::all);  // the other user may work here too
    }
    void TearDown() override
    {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(dir_, ec))
            fs::permissions(e.path(), fs::perms::owner_all,
                            fs::perm_options::add | fs::perm_options::nofollow, ec);
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
};

TEST_F(IniOwners, ReplacedFileKeepsOwnerGroupAndMode)
{
    const fs::path path = dir_ / "shared.ini";
    spit(path, "[A]\r\n");
    const uid_t uid = superuser() ? kOtherUid : ::geteuid();
    const gid_t gid = superuser() ? kOtherGid : ::getegid();
    ASSERT_EQ(::chown(path.c_str(), uid, gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(saveError(path), "");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(slurp(path), kSampleBytes);
}

TEST_F(IniOwners, ReadOnlyFileIsLeftAsItIs)
{
    const fs::path path = dir_ / "readonly.ini";
    spit(path, "[A]\r\nk=old\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(saveError(path), "Cannot create file " + path.string() + ". Permission denied");
    EXPECT_EQ(slurp(path), "[A]\r\nk=old\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(IniOwners, FileInAFolderTheUserMayNotWriteIsWrittenInPlace)
{
    const fs::path folder = dir_ / "locked";
    fs::create_directory(folder);
    const fs::path path = folder / "panel.ini";
    spit(path, "[A]\r\nk=old\r\n");
    if (superuser()) {
        ASSERT_EQ(::chown(path.c_str(), kOtherUid, kOtherGid), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    EXPECT_TRUE(asPlainUser([&] { return saveError(path).empty(); }));
    EXPECT_EQ(slurp(path), kSampleBytes);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(IniOwners, OtherUsersFileInAFolderTheUserMayNotWriteIsNotWritten)
{
    if (!superuser())
        GTEST_SKIP() << "another user's file needs the superuser";
    const fs::path folder = dir_ / "locked";
    fs::create_directory(folder);
    const fs::path path = folder / "panel.ini";
    spit(path, "[A]\r\nk=theirs\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);  // anybody may write it: the owner is the superuser
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_TRUE(asPlainUser([&] {
        return saveError(path) ==
               "Cannot create file " + path.string() + ". The file belongs to another user";
    }));
    EXPECT_EQ(slurp(path), "[A]\r\nk=theirs\r\n");
}

// The links a save or an append may not follow: somebody else's link, and
// the user's own link to somebody else's file.
class PlantedLinks : public IniOwners {
protected:
    void SetUp() override
    {
        IniOwners::SetUp();
        if (!superuser())
            GTEST_SKIP() << "planting another user's link needs the superuser";
        theirs_ = dir_ / "theirs.ini";
        mine_ = dir_ / "mine.ini";
        spit(theirs_, "[A]\r\nk=theirs\r\n");
        spit(mine_, "[A]\r\nk=mine\r\n");
        ASSERT_EQ(::chown(theirs_.c_str(), kOtherUid, kOtherGid), 0);
    }
    // Plants panel.ini -> target, the link owned by linkUid.
    fs::path plant(const fs::path& target, uid_t linkUid)
    {
        const fs::path link = dir_ / "panel.ini";
        fs::remove(link);
        fs::create_symlink(target, link);
        EXPECT_EQ(::lchown(link.c_str(), linkUid, linkUid == 0 ? 0 : kOtherGid), 0);
        return link;
    }
    static std::string appendError(const fs::path& path)
    {
        try {
            filebytes::append(path.string(), "row\n", "header\n");
        } catch (const IniFileError& e) {
            return e.what();
        }
        return {};
    }
    fs::path theirs_, mine_;
};

TEST_F(PlantedLinks, SaveReplacesALinkItMayNotFollow)
{
    struct Row {
        const char* name;
        fs::path target;
        uid_t linkOwner;
        std::string targetBytes;
    };
    const Row rows[] = {
        {"another user's link to the user's file", mine_, kOtherUid, "[A]\r\nk=mine\r\n"},
        {"the user's link to another user's file", theirs_, 0, "[A]\r\nk=theirs\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const fs::path link = plant(r.target, r.linkOwner);
        EXPECT_EQ(saveError(link), "");
        EXPECT_FALSE(fs::is_symlink(link));
        EXPECT_EQ(slurp(link), kSampleBytes);
        EXPECT_EQ(slurp(r.target), r.targetBytes);
        struct stat st {};
        ASSERT_EQ(::stat(link.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, ::geteuid());
    }

    // The user's own link to the user's own file is followed.
    const fs::path link = plant(mine_, 0);
    EXPECT_EQ(saveError(link), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(mine_), kSampleBytes);
}

TEST_F(PlantedLinks, AppendRefusesALinkItMayNotFollowAndAnotherUsersFile)
{
    fs::path link = plant(mine_, kOtherUid);
    EXPECT_EQ(appendError(link), "Cannot write file " + link.string() +
                                     ". The link in its place belongs to another user");
    link = plant(theirs_, 0);
    EXPECT_EQ(appendError(link), "Cannot write file " + link.string() +
                                     ". The link in its place leads to a file of another user");
    EXPECT_EQ(appendError(theirs_),
              "Cannot write file " + theirs_.string() + ". The file belongs to another user");
    EXPECT_EQ(slurp(theirs_), "[A]\r\nk=theirs\r\n");
    EXPECT_EQ(slurp(mine_), "[A]\r\nk=mine\r\n");
    EXPECT_TRUE(fs::is_symlink(link));

    // The user's own link to the user's own file is followed.
    link = plant(mine_, 0);
    EXPECT_EQ(appendError(link), "");
    EXPECT_EQ(slurp(mine_), "[A]\r\nk=mine\r\nrow\n");
}

TEST(IniManySections, LoadIsLinearInTheFileSize)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "[S" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    const auto start = std::chrono::steady_clock::now();
    const IniImage ini = IniImage::fromBytes(bytes);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ini.sections().size(), 100000u);
    EXPECT_EQ(ini.readInteger("s99999", "K", 0), 99999);
    // A lookup per section, each over all sections before it, took 17 s here;
    // a generous bound, not a benchmark.
    EXPECT_LT(took, std::chrono::seconds(5));
}

}  // namespace
