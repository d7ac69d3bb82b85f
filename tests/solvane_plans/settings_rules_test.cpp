#include <gtest/gtest.h>

#include <cstddef>

#include "fake_power.h"
#include "plans/guid_text.h"
#include "plans/settings.h"

using namespace plans;

namespace {

// The stored record is forty bytes in this order, checked when this file compiles.
static_assert(sizeof(SettingsBlob) == 40);
static_assert(offsetof(SettingsBlob, valid) == 0);
static_assert(offsetof(SettingsBlob, dwFlagWord) == 4);
static_assert(offsetof(SettingsBlob, left) == 8);
static_assert(offsetof(SettingsBlob, top) == 12);
static_assert(offsetof(SettingsBlob, width) == 16);
static_assert(offsetof(SettingsBlob, height) == 20);
static_assert(offsetof(SettingsBlob, colorIndex) == 24);
static_assert(offsetof(SettingsBlob, reserved) == 28);

TEST(FlagWord, EcoModeValuesSelectTheVariant) {
    EXPECT_EQ(EcoModeFlags(0), 0u);
    EXPECT_EQ(EcoModeFlags(1), FLAG_ECO);
    EXPECT_EQ(EcoModeFlags(2), FLAG_ECO | FLAG_THREE_MODE);
    EXPECT_EQ(EcoModeFlags(3), FLAG_ECO);  // any other nonzero value counts as two modes
    EXPECT_EQ(EcoModeFlags(0xFFFFFFFF), FLAG_ECO);
}

TEST(FlagWord, StoredPanelBitsAreKeptRuntimeBitsRecomputedOrCleared) {
    const DWORD panelBits = FLAG_TOPMOST | FLAG_TRAY_ONLY | FLAG_LAYOUT_ALT1 | FLAG_LAYOUT_ALT2 |
                            FLAG_TRANSPARENT | FLAG_TOOL_WINDOW | FLAG_PANEL_STATE | 0x20;
    const DWORD stale = FLAG_CANTCHGPP | FLAG_SAVE_DISPLAY | FLAG_ECO | FLAG_METER | FLAG_BATTERY |
                        FLAG_THREE_MODE | FLAG_WIRELESS | FLAG_CPU_DRIVER | FLAG_EXT_MONITOR;
    EXPECT_EQ(MergeStartFlagWord(panelBits | stale, 0), panelBits);
    EXPECT_EQ(MergeStartFlagWord(0, FLAG_BATTERY | FLAG_CPU_DRIVER | FLAG_CANTCHGPP),
              FLAG_BATTERY | FLAG_CPU_DRIVER);  // only recomputable bits come from the probe
    EXPECT_EQ(MergeStartFlagWord(kFirstStartFlagWord, FLAG_ECO | FLAG_THREE_MODE),
              0x282u | FLAG_ECO | FLAG_THREE_MODE);
}

TEST(FirstStart, PanelSitsAtBottomRightTwentySixPixelsAboveTheWorkAreaBottom) {
    const RECT work = {0, 0, 1280, 994};
    SettingsBlob blob = MakeFirstStartBlob(work, 300, 120);
    EXPECT_EQ(blob.valid, 1);
    EXPECT_EQ(blob.dwFlagWord, 0x282u);
    EXPECT_EQ(blob.left, 980);
    EXPECT_EQ(blob.top, 994 - 120 - 26);
    EXPECT_EQ(blob.width, 300);
    EXPECT_EQ(blob.height, 120);
    EXPECT_EQ(blob.colorIndex, 0);  // 0x282 has no layout bit 0x4
    for (BYTE b : blob.reserved) {
        EXPECT_EQ(b, 0);
    }
    const RECT offset = {100, 50, 1700, 1000};
    blob = MakeFirstStartBlob(offset, 200, 100);
    EXPECT_EQ(blob.left, 1500);
    EXPECT_EQ(blob.top, 874);
}

TEST(SaveColor, ColourGoesIntoTheHalfOfTheLayout) {
    EXPECT_EQ(MergeSaveColor(0x40000, 0x282, 0), 0x40000u);
    EXPECT_EQ(MergeSaveColor(0x40000, 0x282, 3), 0x40003u);
    EXPECT_EQ(MergeSaveColor(0x40003, FLAG_LAYOUT_ALT1, 7), 0x70003u);
    EXPECT_EQ(MergeSaveColor(0x40003, FLAG_LAYOUT_ALT2, 9), 0x40009u);
    EXPECT_EQ(PanelLayout(FLAG_LAYOUT_ALT1 | FLAG_LAYOUT_ALT2), 1);
    EXPECT_EQ(PanelLayout(FLAG_LAYOUT_ALT2), 2);
    EXPECT_EQ(PanelLayout(0x282), 0);
}

TEST(ModeTable, ThreeModeSlotsFollowLedNo) {
    EXPECT_EQ(ModeSlotCount(true), 3);
    for (DWORD led = 1; led <= 3; ++led) {
        EXPECT_EQ(LedNoToSlot(led, true), static_cast<int>(led));
        EXPECT_EQ(SlotToLedNo(static_cast<int>(led), true), led);
    }
    EXPECT_EQ(LedNoToSlot(0, true), 0);
    EXPECT_EQ(LedNoToSlot(4, true), 0);
    EXPECT_EQ(SlotToLedNo(4, true), 0u);
}

TEST(ModeTable, TwoModeSlotOneIsLedThreeSlotTwoIsLedOne) {
    EXPECT_EQ(ModeSlotCount(false), 2);
    EXPECT_EQ(LedNoToSlot(3, false), 1);
    EXPECT_EQ(LedNoToSlot(1, false), 2);
    EXPECT_EQ(LedNoToSlot(2, false), 0);
    EXPECT_EQ(LedNoToSlot(0, false), 0);
    EXPECT_EQ(SlotToLedNo(1, false), 3u);
    EXPECT_EQ(SlotToLedNo(2, false), 1u);
    EXPECT_EQ(SlotToLedNo(3, false), 0u);
}

TEST(PinnedPlans, DefaultsPerVariant) {
    GUID pinned[kMaxPinnedPlans];
    EXPECT_EQ(DefaultPinnedPlans(FLAG_ECO | FLAG_THREE_MODE, pinned), 3);
    EXPECT_TRUE(IsEqualGUID(pinned[0], fakes::g::Balanced));
    EXPECT_TRUE(IsEqualGUID(pinned[1], fakes::g::PowerSaver));
    EXPECT_TRUE(IsEqualGUID(pinned[2], fakes::g::HighPerformance));
    EXPECT_EQ(DefaultPinnedPlans(FLAG_ECO, pinned), 2);
    EXPECT_TRUE(IsNullGuid(pinned[0]));
    EXPECT_TRUE(IsNullGuid(pinned[1]));
    EXPECT_EQ(DefaultPinnedPlans(0, pinned), 2);
}

TEST(PinnedPlans, SchemeListEntriesBracedUnbracedAndGarbage) {
    GUID pinned[kMaxPinnedPlans];
    DefaultPinnedPlans(FLAG_ECO | FLAG_THREE_MODE, pinned);
    const wchar_t block[] = L"{00000001-1111-2222-3333-444444444444}\0bad\0"
                            L"00000003-1111-2222-3333-444444444444\0";
    ApplySchemeList(block, ARRAYSIZE(block), 3, pinned);
    EXPECT_TRUE(IsEqualGUID(pinned[0], fakes::MakeGuid(1)));
    EXPECT_TRUE(IsNullGuid(pinned[1]));
    EXPECT_TRUE(IsEqualGUID(pinned[2], fakes::MakeGuid(3)));
    // fewer strings than entries: the missing entries match no plan
    const wchar_t one[] = L"00000005-1111-2222-3333-444444444444\0";
    ApplySchemeList(one, ARRAYSIZE(one), 3, pinned);
    EXPECT_TRUE(IsEqualGUID(pinned[0], fakes::MakeGuid(5)));
    EXPECT_TRUE(IsNullGuid(pinned[1]));
    EXPECT_TRUE(IsNullGuid(pinned[2]));
}

TEST(ProcessorClock, TextAfterTheLastBlankBeforeADigit) {
    struct {
        const wchar_t* name;
        DWORD mhz;
        const wchar_t* text;
    } cases[] = {
        {L"AMD Phenom(tm) II X4 945 Processor", 945, L"945"},  // no unit: the leading digits
        {L"Intel(R) Core(TM)2 Duo CPU T7300 @ 2.00GHz", 2000, L"2.00GHz"},
        {L"Intel(R) Core(TM) i5 CPU M 520 @ 2.40GHz", 2400, L"2.40GHz"},
        {L"Intel(R) Core(TM) i7 CPU @ 2.01GHz", 2010, L"2.01GHz"},  // rounded, not 2009
        {L"Intel(R) Core(TM)2 CPU T5500 @ 1.66GHz", 1660, L"1.66GHz"},
        {L"AMD Athlon(tm) II Neo K325 1.3 GHz", 1300, L"1.3"},     // "GHz" after the number counts
        {L"Genuine Intel(R) CPU 1600MHz", 1600, L"1600MHz"},
        {L"Pentium 4 1600MHz", 1600, L"1600MHz"},
        {L"AMD Athlon(tm) 64 X2 Dual Core Processor 4200+", 4200, L"4200+"},
        {L"Pentium 4 2.80GHz extra", 2800, L"2.80GHz"},
        {L"Intel Core 2 Duo", 2, L"2"},                            // the rule, not a clock
        {L"CPU 99999999999999GHz", 0, L"99999999999999GHz"},       // beyond 32 bits: no clock
        {L"1600MHz", 0, L""},                                      // no blank before the digits
        {L"AMD Ryzen Processor", 0, L""},
        {L"Generic processor", 0, L""},
        {L"", 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        wchar_t text[kMhzTextChars] = L"x";
        EXPECT_EQ(FrequencyFromName(c.name, text, ARRAYSIZE(text)), c.mhz);
        EXPECT_STREQ(text, c.text);
    }
    wchar_t small[4] = L"x";
    EXPECT_EQ(FrequencyFromName(L"CPU @ 2.40GHz", small, ARRAYSIZE(small)), 2400u);
    EXPECT_STREQ(small, L"2.4");  // the text is cut, the clock is not
    wchar_t none[8] = L"x";
    EXPECT_EQ(FrequencyFromName(nullptr, none, ARRAYSIZE(none)), 0u);
    EXPECT_STREQ(none, L"");
    EXPECT_EQ(FrequencyFromName(L"CPU 2.40GHz", nullptr, 0), 0u);
}

TEST(ProcessorClock, LeadingNumberOfAClockText) {
    EXPECT_EQ(LeadingNumber(L"2400MHz"), 2400u);
    EXPECT_EQ(LeadingNumber(L" 800 MHz"), 800u);
    EXPECT_EQ(LeadingNumber(L"MHz"), 0u);
    EXPECT_EQ(LeadingNumber(nullptr), 0u);
}

}  // namespace
