// The monitor capability string: model and VCP code parsing (with a fuzz run whose strings end
// right before an inaccessible page, so that any read past the end crashes the test) and the
// conversions between monitor values and percentages.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "display/monitors.h"

namespace {

TEST(CapsModel, ModelIsTheTextUpToItsClosingParenthesis) {
    struct Case {
        const wchar_t* caps;
        bool found;
        const wchar_t* model;
    };
    const Case cases[] = {
        {L"(prot(monitor)type(lcd)model(SV-E2410)vcp(10))", true, L"SV-E2410"},
        {L"(prot(monitor)type(lcd)vcp(10))", false, L""},
        {L"(model()vcp(10))", false, L""},
        {L"(vcp(10)model(", false, L""},
        {L"(vcp(10)model(SV-E24", false, L""},
        {L"model(ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789)", true, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
        {L"", false, L""},
    };
    for (const Case& c : cases) {
        wchar_t model[display::kModelChars] = L"stale";
        EXPECT_EQ(display::GetMonitorModelFromCapstr(c.caps, model, ARRAYSIZE(model)), c.found) << c.caps;
        EXPECT_STREQ(model, c.model) << c.caps;
    }
}

TEST(CapsVcp, CodeIsFoundOnlyInTheVcpListOutsideValueLists) {
    struct Case {
        const wchar_t* caps;
        BYTE code;
        bool listed;
    };
    const Case cases[] = {
        {L"vcp(02 04 10 12)", 0x10, true},
        {L"vcp(02 14(05 08 0B) 16)", 0x10, false},
        {L"vcp(02 14(05 08 0B) 16)", 0x16, true},
        {L"vcp(02 14(05 10 0B) 16)", 0x10, false},
        {L"cmds(10)vcp(02 04)", 0x10, false},
        {L"vcp(0210)", 0x10, true},
        {L"vcp(02 14(05 08", 0x10, false},
        {L"vcp(02 1", 0x10, false},
        {L"vcp(", 0x10, false},
        {L"vcp(02 ", 0x10, false},
        {L"vcp(02 0x10)", 0x10, false},
        {L"model(X)", 0x10, false},
        {L"vcp(aC Ae 10)", 0xAE, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(display::CheckSupportVCPCode(c.caps, c.code), c.listed) << c.caps;
    }
}

// A wide string whose terminator is the last character before a no-access page.
class GuardedText {
public:
    GuardedText() {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        m_page = info.dwPageSize;
        m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * m_page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(m_base + m_page, m_page, PAGE_NOACCESS, &old);
    }
    ~GuardedText() { VirtualFree(m_base, 0, MEM_RELEASE); }
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    bool Ready() const { return m_base != nullptr; }
    size_t MaxChars() const { return m_page / sizeof(wchar_t) - 1; }
    const wchar_t* Place(const std::wstring& text) {
        auto* end = reinterpret_cast<wchar_t*>(m_base + m_page);
        wchar_t* start = end - (text.size() + 1);
        wmemcpy(start, text.c_str(), text.size());
        start[text.size()] = L'\0';
        return start;
    }

private:
    BYTE* m_base = nullptr;
    DWORD m_page = 0;
};

TEST(CapsFuzz, MutatedStringsNeverReadPastTheirEnd) {
    GuardedText guard;
    ASSERT_TRUE(guard.Ready());
    const std::wstring seeds[] = {
        L"(prot(monitor)type(lcd)model(SV-E2410)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(05 08 0B) 16 18 "
        L"1A 52 60(01 03 11) AC AE B2 B6 C6 C8 C9 D6(01 04 05) DF)mswhql(1)asset_eep(40)mccs_ver(2.1))",
        L"(prot(monitor)type(LCD)model(SV-W2790)vcp(02 04 05 08 0B 0C 10 12 14(01 05 06 08 0B) 16)mccs_ver(2.2))",
        L"model(vcp(10)(",
    };
    const wchar_t alphabet[] = L"()0123456789ABCDEFabcdef vcpmodel\t\r\n";
    std::mt19937 random(20261207);
    size_t found = 0;
    for (int round = 0; round < 12000; ++round) {
        std::wstring text = seeds[round % ARRAYSIZE(seeds)];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = random() % text.size();
            switch (random() % 4) {
            case 0:
                text.erase(at);  // cut: the text now ends wherever the cut fell
                break;
            case 1:
                text[at] = alphabet[random() % (ARRAYSIZE(alphabet) - 1)];
                break;
            case 2:
                text.insert(at, 1, alphabet[random() % (ARRAYSIZE(alphabet) - 1)]);
                break;
            default:
                text.erase(at, 1 + random() % 6);
                break;
            }
        }
        if (text.size() > guard.MaxChars()) {
            text.resize(guard.MaxChars());
        }
        const wchar_t* placed = guard.Place(text);
        wchar_t model[display::kModelChars] = {};
        if (display::GetMonitorModelFromCapstr(placed, model, ARRAYSIZE(model))) {
            ++found;
            ASSERT_LE(wcslen(model), 32u);
            ASSERT_NE(text.find(model), std::wstring::npos) << "the model is a piece of the text";
        }
        display::CheckSupportVCPCode(placed, display::kVcpBrightness);
    }
    EXPECT_GT(found, 0u) << "some mutations keep a model";
}

TEST(MonitorConversion, PercentAndValueFollowTheMonitorMaximum) {
    struct Case {
        DWORD maximum;
        DWORD percent;
        DWORD value;        // percent -> value
        DWORD valueBack;    // value -> percent
        DWORD percentBack;
    };
    const Case cases[] = {
        {100, 37, 37, 37, 37},  {50, 37, 19, 19, 38},  {50, 100, 50, 50, 100},
        {50, 0, 0, 0, 0},       {255, 50, 128, 128, 50}, {0, 37, 37, 37, 37},  // maximum 0 counts as 100
    };
    for (const Case& c : cases) {
        EXPECT_EQ(display::ConvertPersentToBrightness(c.percent, c.maximum), c.value)
            << c.percent << "% of " << c.maximum;
        EXPECT_EQ(display::ConvertBrightnessToPersent(c.valueBack, c.maximum), c.percentBack)
            << c.valueBack << " of " << c.maximum;
    }
}

}  // namespace
