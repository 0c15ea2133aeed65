#include <gtest/gtest.h>
TEST(Tirsctl, Placeholder) {}
