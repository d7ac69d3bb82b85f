// The chassis type through the real WMI call, and which types count as a desktop.
#include <gtest/gtest.h>

#include "peakcut/peakcut.h"

namespace {

TEST(Chassis, WmiAnswersAChassisType) {
    const DWORD type = peakcut::QueryChassisType();
    RecordProperty("chassis", static_cast<int>(type));
    // Win32_SystemEnclosure always has a row with at least one type (2 "unknown" at worst).
    EXPECT_GE(type, 1u);
    EXPECT_LE(type, 0xFFFFu);
}

TEST(Chassis, DesktopKinds) {
    const struct {
        DWORD type;
        bool desktop;
    } cases[] = {{1, false}, {2, false}, {3, true},  {4, true},  {5, false}, {6, true},  {7, true},
                 {8, false}, {9, false}, {10, false}, {12, false}, {13, true}, {14, false}, {15, true},
                 {16, false}, {31, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(peakcut::IsDesktopChassisType(c.type), c.desktop) << c.type;
    }
}

}  // namespace
