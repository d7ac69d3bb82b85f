// Plan files: the parser and PowerImportPowerScheme.
#include "test_support.h"

#include <cstring>

#include "common/handles.h"
#include "sim/powrprof/plan_file.h"
#include "sim/powrprof/power_guids.h"

using namespace simpower;
using namespace simpower_test;

namespace {

constexpr GUID ECO_PLAN = {0x6b2f5e10, 0x77aa, 0x4c3b, {0x9e, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

const wchar_t GOOD_PLAN[] =
    L"; ECO plan of the simulated PC\r\n"
    L"[PowerPlan]\r\n"
    L"Version=1\r\n"
    L"Name=ECOモード\r\n"
    L"Description=省電力を優先します\r\n"
    L"\r\n"
    L"[Settings]\r\n"
    L"7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bcb=60,30\r\n"
    L"{54533251-82BE-4824-96C1-47B60B740D00}\\{BC5038F7-23E0-4960-96DA-33ABAF5935EC} = 0x64 , 50\r\n"
    L"238c9fa8-0aad-41ed-83f4-97be242c8f20\\29f6c1db-86da-48c5-9fdb-f2b67b1f44da=1200,600\r\n";

std::vector<BYTE> Utf8(const char* text) { return std::vector<BYTE>(text, text + strlen(text)); }

DWORD Parse(const std::vector<BYTE>& bytes, PlanFile& plan) { return ParsePlanFile(bytes.data(), bytes.size(), plan); }

DWORD ParseWide(const std::wstring& text, PlanFile& plan) {
    std::vector<BYTE> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    return Parse(bytes, plan);
}

DWORD Ac(const GUID& plan, const GUID& sub, const GUID& setting) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(ERROR_SUCCESS, PowerReadACValueIndex(nullptr, &plan, &sub, &setting, &v));
    return v;
}
DWORD Dc(const GUID& plan, const GUID& sub, const GUID& setting) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(ERROR_SUCCESS, PowerReadDCValueIndex(nullptr, &plan, &sub, &setting, &v));
    return v;
}

TEST(PlanFileParser, ReadsNamesAndValuesOfAGoodFile) {
    PlanFile plan;
    ASSERT_EQ(ERROR_SUCCESS, ParseWide(GOOD_PLAN, plan));
    EXPECT_EQ(L"ECOモード", plan.name);
    EXPECT_EQ(L"省電力を優先します", plan.description);
    ASSERT_EQ(3u, plan.settings.size());
    EXPECT_TRUE(IsEqualGUID(SUB_PROCESSOR, plan.settings[1].subgroup));
    EXPECT_TRUE(IsEqualGUID(SET_PROC_MAX, plan.settings[1].setting));
    EXPECT_EQ(100u, plan.settings[1].ac);
    EXPECT_EQ(50u, plan.settings[1].dc);
    EXPECT_EQ(600u, plan.settings[2].dc);
}

TEST(PlanFileParser, AcceptsUtf8AndAPlanWithoutSettings) {
    PlanFile plan;
    ASSERT_EQ(ERROR_SUCCESS, Parse(Utf8("\xEF\xBB\xBF[PowerPlan]\nVersion=1\nName=Std\n"), plan));
    EXPECT_EQ(L"Std", plan.name);
    EXPECT_TRUE(plan.description.empty());
    EXPECT_TRUE(plan.settings.empty());
}

TEST(PlanFileParser, RefusesMalformedFiles) {
    const char* bad[] = {
        "",
        "Version=1\nName=x\n",                                          // no header
        "[PowerPlan]\nName=x\n",                                        // no version
        "[PowerPlan]\nVersion=2\nName=x\n",                             // unknown version
        "[PowerPlan]\nVersion=1\n",                                     // no name
        "[PowerPlan]\nVersion=1\nName=\n",                              // empty name
        "[PowerPlan]\nVersion=1\nName=x\nColour=red\n",                 // unknown key
        "[PowerPlan]\nVersion=1\nName=x\n[Other]\n",                    // unknown section
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\njunk\n",           // line without '='
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\n"
        "7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bc=1,2\n",  // short GUID
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\n"
        "7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bcb=1\n",   // DC missing
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\n"
        "7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bcb=-1,2\n",  // negative
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\n"
        "7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bcb=4294967296,2\n",  // > 32 bits
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\n"
        "7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bcb=1,2\n"
        "7516B95F-F776-4464-8C53-06167F40CC99\\ADED5E82-B909-4619-9949-F5D71DAC0BCB=3,4\n",  // twice
        "[PowerPlan]\nVersion=1\nName=x\n[Settings]\n"
        "aded5e82-b909-4619-9949-f5d71dac0bcb=1,2\n",                    // no subgroup
        "[PowerPlan]\nVersion=1\nName=x\nName=y\n",                     // two names
        "\xFF\xFE[",                                                    // odd UTF-16
        "[PowerPlan]\nVersion=1\nName=\xC3\x28\n",                      // broken UTF-8
    };
    for (const char* text : bad) {
        PlanFile plan;
        plan.name = L"unchanged";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), Parse(Utf8(text), plan)) << text;
        EXPECT_EQ(L"unchanged", plan.name);
    }
    std::vector<BYTE> withNul = Utf8("[PowerPlan]\nVersion=1\nName=a");
    withNul.push_back(0);
    withNul.push_back('b');
    PlanFile plan;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), Parse(withNul, plan));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ParsePlanFile(nullptr, 0, plan));
    std::wstring longName = L"[PowerPlan]\nVersion=1\nName=" + std::wstring(PLAN_NAME_MAX_CCH + 1, L'n') + L"\n";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ParseWide(longName, plan));
}

class PowrprofImport : public FreshPowerStore {};

TEST_F(PowrprofImport, GoodFileCreatesThePlanUnderTheRequestedGuid) {
    TempFile file(L"eco-good");
    file.WriteUtf16(GOOD_PLAN);
    GUID target = ECO_PLAN;
    GUID* targetPtr = &target;
    ASSERT_EQ(ERROR_SUCCESS, PowerImportPowerScheme(nullptr, file.Path(), &targetPtr));
    EXPECT_EQ(&target, targetPtr);
    DWORD rc = 0;
    EXPECT_EQ(L"ECOモード", ReadName(&ECO_PLAN, nullptr, nullptr, rc));
    EXPECT_EQ(L"省電力を優先します", ReadDescription(&ECO_PLAN, rc));
    EXPECT_EQ(60u, Ac(ECO_PLAN, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(30u, Dc(ECO_PLAN, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(100u, Ac(ECO_PLAN, SUB_PROCESSOR, SET_PROC_MAX));
    EXPECT_EQ(50u, Dc(ECO_PLAN, SUB_PROCESSOR, SET_PROC_MAX));
    // A setting the file leaves out reads the setting's default.
    EXPECT_EQ(600u, Ac(ECO_PLAN, SUB_DISPLAY, SET_DISPLAY_OFF));
    EXPECT_EQ(4u, EnumeratePlans().size());
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &ECO_PLAN));

    // The same GUID again: refused, the plan stays as it is.
    ASSERT_EQ(ERROR_SUCCESS, WriteName(ECO_PLAN, L"renamed"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), PowerImportPowerScheme(nullptr, file.Path(), &targetPtr));
    EXPECT_EQ(L"renamed", ReadName(&ECO_PLAN, nullptr, nullptr, rc));
}

TEST_F(PowrprofImport, NullTargetGetsANewAllocatedGuid) {
    TempFile file(L"eco-new");
    file.WriteUtf16(GOOD_PLAN);
    GUID* created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, PowerImportPowerScheme(nullptr, file.Path(), &created));
    ASSERT_NE(nullptr, created);
    common::UniqueLocal owner(created);
    EXPECT_EQ(60u, Ac(*created, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(4u, EnumeratePlans().size());
}

TEST_F(PowrprofImport, MalformedOrMissingFilesCreateNothing) {
    TempFile file(L"eco-bad");
    GUID target = ECO_PLAN;
    GUID* targetPtr = &target;
    file.WriteUtf16(L"[PowerPlan]\r\nVersion=1\r\n[Settings]\r\n");  // no name
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), PowerImportPowerScheme(nullptr, file.Path(), &targetPtr));
    // Well-formed, but a brightness of 101 % is beyond what the setting takes.
    file.WriteUtf16(L"[PowerPlan]\r\nVersion=1\r\nName=x\r\n[Settings]\r\n"
                    L"7516b95f-f776-4464-8c53-06167f40cc99\\aded5e82-b909-4619-9949-f5d71dac0bcb=101,30\r\n");
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), PowerImportPowerScheme(nullptr, file.Path(), &targetPtr));
    file.WriteBytes({0xFF, 0xFE, '[', 0, 'P'});
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), PowerImportPowerScheme(nullptr, file.Path(), &targetPtr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              PowerImportPowerScheme(nullptr, L"C:\\windows\\temp\\no-such-plan-file.pow", &targetPtr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), PowerImportPowerScheme(nullptr, nullptr, &targetPtr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), PowerImportPowerScheme(nullptr, file.Path(), nullptr));
    EXPECT_EQ(3u, EnumeratePlans().size());
    DWORD rc = 0;
    ReadName(&ECO_PLAN, nullptr, nullptr, rc);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), rc);
    EXPECT_EQ(&target, targetPtr);
}

}  // namespace
