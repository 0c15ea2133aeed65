#include "portproblem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// "COMn" entries live in ports/ beside the test program.
fs::path portsFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "ports";
}

class PortProblemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(portsFolder());
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = ptsname(master);
    }
    void TearDown() override
    {
        fs::remove_all(portsFolder());
        close(master);
    }
    void link(const std::string& com, const std::string& target)
    {
        fs::remove(portsFolder() / com);
        fs::create_symlink(target, portsFolder() / com);
    }
    int master = -1;
    std::string slave;
};

TEST_F(PortProblemTest, NamesTheReason)
{
    link("COM3", slave);
    EXPECT_TRUE(PortProblem("COM3").none());

    link("COM4", "/nonexistent/ttyUSB9");
    const PortProblemInfo missing = PortProblem("COM4");
    EXPECT_EQ(missing.reason, "устройство не найдено");
    EXPECT_EQ(missing.path, (portsFolder() / "COM4").string());
    EXPECT_EQ(missing.text(), "устройство не найдено: " + missing.path);

    EXPECT_EQ(PortProblem("None").text(), "неизвестный порт");
}

TEST_F(PortProblemTest, APortLockedByAnotherProgramIsBusy)
{
    link("COM5", slave);
    const int holder = open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(PortProblem("COM5").text(),
              "занят другой программой: " + (portsFolder() / "COM5").string());
    close(holder);
    EXPECT_TRUE(PortProblem("COM5").none());
}

}  // namespace
