// Helpers of the page tests: the command codes on the wire, typing into a
// numeric field as the operator does, and reading request data.
#pragma once

#include <QTest>

#include <cstdint>
#include <vector>

#include <sim/simline.h>

#include "floatedit.h"

namespace uitest {

namespace wire {
constexpr int GetInfo = 3, SetAddr = 4, SetM = 6, GetM = 7, SetA = 8, GetA = 9, SetP = 10,
              GetP = 11, SetL = 12, GetL = 13, SetW = 14, GetW = 15, SetS = 16, GetS = 17,
              SetN = 18, GetN = 19, SetT = 20, GetT = 21, GetI = 22, SetR = 23, GetR = 24,
              GetRS = 25;
}  // namespace wire

// Replaces the field's text and commits it with Enter.
inline void typeInto(TFloatEdit* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

inline std::vector<int> commandsOf(const std::vector<sim::LoggedRequest>& log)
{
    std::vector<int> codes;
    for (const auto& r : log)
        codes.push_back(r.command);
    return codes;
}

inline sim::Faults silentFaults()
{
    sim::Faults f;
    f.silent = true;
    return f;
}

inline sim::Faults errorFaults(int code)
{
    sim::Faults f;
    f.errorCode = code;
    return f;
}

// The 16-bit value at byte offset i, low byte first.
inline int wordAt(const std::vector<std::uint8_t>& data, std::size_t i)
{
    return data.at(i) | (data.at(i + 1) << 8);
}

}  // namespace uitest
