// A port whose device goes away and comes back behind the same name (an
// adapter replugged, its link re-created) is opened again by that name.
#include <gtest/gtest.h>

#include <filesystem>

#include "portlinks.h"
#include "portopen.h"
#include "simport.h"
#include "status.h"

namespace fs = std::filesystem;

namespace {

TEST(ReopenLostPort, ALineBackBehindItsNameIsOpenedAgain)
{
    sim::Line line;
    addStillActuator(line, 3, "ТИРС-70 №0003");
    sim::PtyLine pty(line);
    ASSERT_TRUE(pty.start());
    const fs::path link = fs::temp_directory_path() / ("reopen-" + std::to_string(::getpid()));
    support::replaceWithLink(link, pty.slavePath());
    TWakePort port(8);
    port.AnswerTimeout = 30;
    ASSERT_TRUE(service::openPort(port, link.string(), 9600).opened);
    EXPECT_EQ(service::reopenLostPort(port), service::Reopen::NotLost);

    pty.unplug();
    EXPECT_THROW(service::readStatus(port, 3), EHardwareException);  // finds it gone
    EXPECT_EQ(service::reopenLostPort(port), service::Reopen::StillLost);

    ASSERT_TRUE(pty.start());
    support::replaceWithLink(link, pty.slavePath());
    EXPECT_EQ(service::reopenLostPort(port), service::Reopen::Reopened);
    EXPECT_NO_THROW(service::readStatus(port, 3));
    EXPECT_EQ(service::reopenLostPort(port), service::Reopen::NotLost);
    port.Close();
    fs::remove(link);
}

}  // namespace
