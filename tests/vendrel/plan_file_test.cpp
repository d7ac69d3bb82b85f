#include <gtest/gtest.h>

#include <rpc.h>

#include "common/ini.h"
#include "fake_power.h"
#include "test_support.h"
#include "vendrel/plan_file.h"

using namespace vendrel;
using namespace vendrel_test;

namespace {
GUID G(const wchar_t* text) {
    GUID guid = {};
    UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<wchar_t*>(text)), &guid);
    return guid;
}

const GUID kBalanced = G(L"381b4222-f694-41f0-9685-ff5bb260df2e");
const GUID kSaver = G(L"a1841308-3541-4fab-bc81-f71556f20b4a");
const GUID kEco1 = G(L"9b7d845b-af66-4d2a-b476-d4dab840abf8");
const GUID kEco2 = G(L"6658a2a5-119c-4e4e-931b-972bcfdd14a6");
const GUID kEco3 = G(L"b06fb371-2c24-43a7-b87b-5eede712b549");
const GUID kSubVideo = G(L"7516b95f-f776-4464-8c53-06167f40cc99");
const GUID kVideoIdle = G(L"3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e");
const GUID kSubSleep = G(L"238c9fa8-0aad-41ed-83f4-97be242c8f20");
const GUID kStandbyIdle = G(L"29f6c1db-86da-48c5-9fdb-f2b67b1f44da");

// The three-mode plans: shared value and definition sections, aliases.
const wchar_t kThreePlans[] =
    L"[PLANS_INFO]\r\nCOUNT=3\r\nREPLACE=1\r\n"
    L"[ALIASES]\r\nECO=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\n"
    L"BAL=381b4222-f694-41f0-9685-ff5bb260df2e\r\n"
    L"[PLAN_0]\r\nGUID=@ECO\r\nBASE_GUID=@BAL\r\nNAME=省電力モード\r\nDESC=消費電力を抑えます\r\n"
    L"SETTING=2\r\nSETTING_0=VIDEO_SHORT\r\nSETTING_1=SLEEP_SHORT\r\n"
    L"[PLAN_1]\r\nGUID=6658a2a5-119c-4e4e-931b-972bcfdd14a6\r\nBASE_GUID=@BAL\r\nNAME=標準モード\r\n"
    L"SETTING=1\r\nSETTING_0=VIDEO_SHORT\r\n"
    L"[PLAN_2]\r\nGUID=b06fb371-2c24-43a7-b87b-5eede712b549\r\n"
    L"BASE_GUID=a1841308-3541-4fab-bc81-f71556f20b4a\r\nNAME=高性能モード\r\n"
    L"SETTING=1\r\nSETTING_0=VIDEO_LONG\r\n"
    L"[VIDEO_SHORT]\r\nSETTING=VIDEOIDLE\r\nACINDEX=300\r\nDCINDEX=120\r\n"
    L"[VIDEO_LONG]\r\nSETTING=VIDEOIDLE\r\nACINDEX=1200\r\n"
    L"[SLEEP_SHORT]\r\nSETTING=STANDBYIDLE\r\nDCINDEX=600\r\n"
    L"[VIDEOIDLE]\r\nSUBGROUP_GUID=7516b95f-f776-4464-8c53-06167f40cc99\r\n"
    L"SETTING_GUID=3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e\r\n"
    L"[STANDBYIDLE]\r\nSUBGROUP_GUID=238c9fa8-0aad-41ed-83f4-97be242c8f20\r\n"
    L"SETTING_GUID=29f6c1db-86da-48c5-9fdb-f2b67b1f44da\r\n";

class PlanFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        api.AddPlan(kBalanced, L"Balanced");
        api.AddPlan(kSaver, L"Power saver");
    }
    std::wstring Write(const std::wstring& text) {
        std::wstring path = folder.File(L"plans" + std::to_wstring(fileNumber++) + L".ini");
        EXPECT_TRUE(WriteUnicodeFile(path, text));
        return path;
    }
    ScratchFolder folder;
    FakePowerApi api;
    int fileNumber = 0;
};
}  // namespace

TEST_F(PlanFileTest, CreatesPlansWithAliasesAndSharedSections) {
    const std::wstring path = Write(kThreePlans);
    EXPECT_EQ(3, CreatePlansFromFile(path.c_str(), api));
    ASSERT_TRUE(api.Has(kEco1));
    ASSERT_TRUE(api.Has(kEco2));
    ASSERT_TRUE(api.Has(kEco3));
    const FakePlan& eco1 = api.plans[kEco1];
    EXPECT_EQ(L"省電力モード", eco1.name);
    EXPECT_EQ(L"消費電力を抑えます", eco1.description);
    EXPECT_EQ(300u, eco1.ac.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(120u, eco1.dc.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(600u, eco1.dc.at({kSubSleep, kStandbyIdle}));
    EXPECT_EQ(0u, eco1.ac.count({kSubSleep, kStandbyIdle}));  // no ACINDEX: not written
    // The shared value section gives plan 1 the same values.
    EXPECT_EQ(300u, api.plans[kEco2].ac.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(120u, api.plans[kEco2].dc.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(L"", api.plans[kEco2].description);  // no DESC: copied plan keeps its own
    EXPECT_EQ(1200u, api.plans[kEco3].ac.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(0u, api.plans[kEco3].dc.count({kSubVideo, kVideoIdle}));
    // Nothing written to the base plans.
    EXPECT_EQ(L"Balanced", api.plans[kBalanced].name);
    EXPECT_TRUE(api.plans[kBalanced].ac.empty());
    EXPECT_TRUE(api.WritesOnlyToDuplicatedPlans());
    EXPECT_EQ(1, api.replaceCalls);
    // Replace comes after all plans.
    EXPECT_EQ(FakePowerApi::Op::Replace, api.calls.back().op);
}

TEST_F(PlanFileTest, SecondRunUpdatesExistingPlans) {
    const std::wstring first = Write(kThreePlans);
    ASSERT_EQ(3, CreatePlansFromFile(first.c_str(), api));
    std::wstring changed = kThreePlans;
    changed.replace(changed.find(L"ACINDEX=300"), 11, L"ACINDEX=900");
    changed.replace(changed.find(L"NAME=標準モード"), 10, L"NAME=通常モード");
    const std::wstring second = Write(changed);
    api.calls.clear();
    EXPECT_EQ(3, CreatePlansFromFile(second.c_str(), api));
    for (const auto& call : api.calls) {
        if (call.op == FakePowerApi::Op::Duplicate) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), call.result);
        }
    }
    EXPECT_EQ(900u, api.plans[kEco1].ac.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(900u, api.plans[kEco2].ac.at({kSubVideo, kVideoIdle}));
    EXPECT_EQ(L"通常モード", api.plans[kEco2].name);
}

TEST_F(PlanFileTest, PlanWithoutUsableBaseIsSkippedAndLaterPlansFollow) {
    const std::wstring path = Write(
        L"[PLANS_INFO]\r\nCOUNT=4\r\n"
        L"[PLAN_0]\r\nGUID=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\nNAME=A\r\n"  // no BASE_GUID
        L"[PLAN_1]\r\nGUID=6658a2a5-119c-4e4e-931b-972bcfdd14a6\r\n"
        L"BASE_GUID=11111111-2222-3333-4444-555555555555\r\nNAME=B\r\n"       // base missing
        L"[PLAN_2]\r\nGUID=@NOPE\r\nBASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\n"
        L"[PLAN_3]\r\nGUID=b06fb371-2c24-43a7-b87b-5eede712b549\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nNAME=C\r\n");
    EXPECT_EQ(1, CreatePlansFromFile(path.c_str(), api));
    EXPECT_FALSE(api.Has(kEco1));
    EXPECT_FALSE(api.Has(kEco2));
    ASSERT_TRUE(api.Has(kEco3));
    EXPECT_EQ(L"C", api.plans[kEco3].name);
    EXPECT_EQ(0, api.replaceCalls);
    // PLAN_0 and PLAN_2 fail before any call; PLAN_1 fails in the duplicate call.
    EXPECT_EQ(2u, api.Count(FakePowerApi::Op::Duplicate));
    EXPECT_EQ(1u, api.Count(FakePowerApi::Op::Name));
    EXPECT_TRUE(api.WritesOnlyToDuplicatedPlans());
}

TEST_F(PlanFileTest, PlanThatNamesItsOwnBaseOrTheNullGuidIsSkipped) {
    const std::wstring path = Write(
        L"[PLANS_INFO]\r\nCOUNT=2\r\n"
        L"[PLAN_0]\r\nGUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nNAME=Hijacked\r\n"
        L"[PLAN_1]\r\nGUID=00000000-0000-0000-0000-000000000000\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nNAME=Null\r\n");
    EXPECT_EQ(0, CreatePlansFromFile(path.c_str(), api));
    EXPECT_EQ(L"Balanced", api.plans[kBalanced].name);
    EXPECT_TRUE(api.calls.empty());
}

TEST_F(PlanFileTest, CountsAreBounded) {
    // A count of four billion must not loop: only the bound is visited.
    std::wstring text =
        L"[PLANS_INFO]\r\nCOUNT=4294967295\r\n"
        L"[PLAN_0]\r\nGUID=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nSETTING=99999999999\r\n"
        L"SETTING_0=V\r\nSETTING_255=V2\r\nSETTING_256=V3\r\n"
        L"[V]\r\nSETTING=D\r\nACINDEX=1\r\n[V2]\r\nSETTING=D\r\nDCINDEX=2\r\n"
        L"[V3]\r\nSETTING=D\r\nACINDEX=3\r\n"
        L"[D]\r\nSUBGROUP_GUID=7516b95f-f776-4464-8c53-06167f40cc99\r\n"
        L"SETTING_GUID=3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e\r\n"
        L"[PLAN_255]\r\nGUID=6658a2a5-119c-4e4e-931b-972bcfdd14a6\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\n"
        L"[PLAN_256]\r\nGUID=b06fb371-2c24-43a7-b87b-5eede712b549\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\n";
    const std::wstring path = Write(text);
    EXPECT_EQ(2, CreatePlansFromFile(path.c_str(), api));
    EXPECT_TRUE(api.Has(kEco2));   // PLAN_255: inside the bound
    EXPECT_FALSE(api.Has(kEco3));  // PLAN_256: beyond it
    EXPECT_EQ(1u, api.plans[kEco1].ac.at({kSubVideo, kVideoIdle}));   // SETTING_0
    EXPECT_EQ(2u, api.plans[kEco1].dc.at({kSubVideo, kVideoIdle}));   // SETTING_255
    EXPECT_EQ(1u, api.Count(FakePowerApi::Op::Ac));                    // SETTING_256 never read

    const std::wstring negative = Write(
        L"[PLANS_INFO]\r\nCOUNT=-1\r\n"
        L"[PLAN_0]\r\nGUID=b06fb371-2c24-43a7-b87b-5eede712b549\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\n");
    EXPECT_EQ(0, CreatePlansFromFile(negative.c_str(), api));
    EXPECT_FALSE(api.Has(kEco3));
}

TEST_F(PlanFileTest, SettingEntriesStopAtGapsAndNeedASettingGuid) {
    const std::wstring path = Write(
        L"[PLANS_INFO]\r\nCOUNT=1\r\n"
        L"[PLAN_0]\r\nGUID=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nSETTING=4\r\n"
        L"SETTING_0=NODEF\r\nSETTING_1=NOGUID\r\nSETTING_3=NOSUB\r\n"
        L"[NODEF]\r\nACINDEX=5\r\n"
        L"[NOGUID]\r\nSETTING=D_NOGUID\r\nACINDEX=6\r\n[D_NOGUID]\r\n"
        L"SUBGROUP_GUID=7516b95f-f776-4464-8c53-06167f40cc99\r\nSETTING_GUID=zz\r\n"
        L"[NOSUB]\r\nSETTING=D_NOSUB\r\nACINDEX=7\r\nDCINDEX=8\r\n"
        L"[D_NOSUB]\r\nSETTING_GUID=29f6c1db-86da-48c5-9fdb-f2b67b1f44da\r\n");
    EXPECT_EQ(1, CreatePlansFromFile(path.c_str(), api));
    const FakePlan& plan = api.plans[kEco1];
    ASSERT_EQ(1u, plan.ac.size());
    EXPECT_EQ(7u, plan.ac.at({GUID{}, kStandbyIdle}));  // no subgroup: the null subgroup
    EXPECT_EQ(8u, plan.dc.at({GUID{}, kStandbyIdle}));
}

TEST_F(PlanFileTest, GuidReaderFollowsOneAliasOnly) {
    const std::wstring path = Write(
        L"[S]\r\nA=@ECO\r\nB=@TWICE\r\nC=@\r\nD=@MISSING\r\nE={9b7d845b-af66-4d2a-b476-d4dab840abf8}\r\n"
        L"F=9B7D845B-AF66-4D2A-B476-D4DAB840ABF8\r\nG=\r\n"
        L"[ALIASES]\r\nECO=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\nTWICE=@ECO\r\n");
    CIniCtl ini(path.c_str());
    GUID guid = kBalanced;
    EXPECT_TRUE(ReadPlanFileGuid(ini, L"S", L"A", &guid));
    EXPECT_TRUE(IsEqualGUID(kEco1, guid));
    EXPECT_TRUE(ReadPlanFileGuid(ini, L"S", L"F", &guid));
    EXPECT_TRUE(IsEqualGUID(kEco1, guid));
    for (const wchar_t* key : {L"B", L"C", L"D", L"E", L"G", L"NOKEY"}) {
        guid = kBalanced;
        EXPECT_FALSE(ReadPlanFileGuid(ini, L"S", key, &guid)) << key;
        EXPECT_TRUE(IsEqualGUID(GUID{}, guid)) << key;
    }
}

TEST_F(PlanFileTest, MissingFileCreatesNothing) {
    EXPECT_EQ(0, CreatePlansFromFile(folder.File(L"absent.ini").c_str(), api));
    EXPECT_EQ(0, CreatePlansFromFile(nullptr, api));
    EXPECT_TRUE(api.calls.empty());
}
