#include "paramedits.h"

#include <gtest/gtest.h>

namespace {

constexpr std::size_t kV1 = 1, kNt = 18;

TEST(ParamEdits, AFieldIsChangedUntilReadOrWrittenAndTypingBackUndoesIt)
{
    ParamEdits e;
    EXPECT_FALSE(e.pending());
    e.settled(kV1, 200);
    e.edited(kV1, 300);
    EXPECT_TRUE(e.changed(kV1));
    EXPECT_FALSE(e.changed(kNt));
    EXPECT_TRUE(e.anyChanged());
    EXPECT_TRUE(e.pending());
    e.edited(kV1, 200);  // the value the drive holds again
    EXPECT_FALSE(e.pending());
    e.edited(kV1, 250);
    e.settled(kV1, 250);  // written (or read back as it is)
    EXPECT_FALSE(e.changed(kV1));
    EXPECT_FALSE(e.pending());
}

TEST(ParamEdits, AFileIsPendingUntilEveryFieldHasBeenReadOrWritten)
{
    ParamEdits e;
    paramfile::ParamValues file{};
    file.fill(100);
    e.loaded(file);
    EXPECT_FALSE(e.anyChanged());  // nothing marked ...
    EXPECT_TRUE(e.fromFile());     // ... yet the drive has not got it
    EXPECT_TRUE(e.pending());
    e.edited(kNt, 5);
    EXPECT_TRUE(e.changed(kNt));  // changed against the file
    for (std::size_t i = 0; i + 1 < paramfile::ParamCount; ++i)
        e.settled(i, 7);  // a read that stopped before the last field
    EXPECT_TRUE(e.fromFile());
    EXPECT_TRUE(e.changed(kNt));
    e.settled(kNt, 7);
    EXPECT_FALSE(e.pending());
}

}  // namespace
