// Who holds the line: a scan or a backup alone, a poll never inside
// another action, short actions nested.
#include "lineowner.h"

#include <gtest/gtest.h>

#include <vector>

using service::LineOwner;
using service::LineUse;

TEST(LineOwner, ScanOrBackupHoldTheLineAlone)
{
    for (LineUse alone : {LineUse::Scan, LineUse::Backup}) {
        LineOwner owner;
        ASSERT_TRUE(owner.take(alone));
        EXPECT_TRUE(owner.exclusive());
        for (LineUse other : {LineUse::Poll, LineUse::Scan, LineUse::Backup, LineUse::Compare,
                              LineUse::Read, LineUse::Write})
            EXPECT_FALSE(owner.take(other)) << static_cast<int>(other);
        EXPECT_EQ(owner.holder(), alone);
        owner.release();
        EXPECT_EQ(owner.holder(), LineUse::Free);
        EXPECT_TRUE(owner.take(LineUse::Poll));
    }
}

TEST(LineOwner, PollWaitsAndShortActionsNest)
{
    LineOwner owner;
    std::vector<LineUse> seen;
    owner.follow([&](LineUse use) { seen.push_back(use); });
    {
        LineOwner::Hold write(owner, LineUse::Write);
        ASSERT_TRUE(write);
        EXPECT_FALSE(owner.exclusive());
        EXPECT_FALSE(LineOwner::Hold(owner, LineUse::Poll));
        EXPECT_FALSE(LineOwner::Hold(owner, LineUse::Scan));
        {
            LineOwner::Hold compare(owner, LineUse::Compare);
            EXPECT_TRUE(compare);
        }
        // The inner release leaves the write holding the line.
        EXPECT_EQ(owner.holder(), LineUse::Write);
    }
    EXPECT_EQ(owner.holder(), LineUse::Free);
    EXPECT_EQ(seen, (std::vector<LineUse>{LineUse::Write, LineUse::Free}));
    owner.release();  // one release too many changes nothing
    EXPECT_EQ(owner.holder(), LineUse::Free);
    EXPECT_TRUE(owner.take(LineUse::Scan));
}
