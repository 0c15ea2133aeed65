// The Windows port list against a fake registry: number order, each port
// once, friendly names where the system gives one, other names left out.
#include <gtest/gtest.h>

#include "windowsports.h"

namespace {

std::vector<std::pair<int, std::string>> listed(const WindowsPortSource& source)
{
    std::vector<std::pair<int, std::string>> out;
    for (const WindowsPort& p : ListWindowsPorts(source))
        out.emplace_back(p.number, p.label);
    return out;
}

}  // namespace

TEST(WindowsPorts, NumberOrderFriendlyNamesAndOnlyComPorts)
{
    const WindowsPortSource source{
        [] { return std::vector<std::string>{"COM10", "COM3", "CNCA0", "COM1", "COM3", "COM"}; },
        [] {
            return std::map<std::string, std::string>{
                {"COM3", "USB Serial Port (COM3)"},
                {"COM10", "Преобразователь RS-485"},
                {"COM7", "Absent Port (COM7)"},
            };
        }};
    const std::vector<std::pair<int, std::string>> expected{
        {1, "COM1"}, {3, "COM3 — USB Serial Port"}, {10, "COM10 — Преобразователь RS-485"}};
    EXPECT_EQ(listed(source), expected);
}

TEST(WindowsPorts, NoRegistryKeyNoPorts)
{
    EXPECT_TRUE(ListWindowsPorts(WindowsPortSource{}).empty());
}
