// Malformed plan definition files: generated and mutated at random (fixed seeds, so that a
// failure repeats), they must never crash the reader nor write to a plan the file does not name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <random>

#include "fake_power.h"
#include "test_support.h"
#include "vendrel/plan_file.h"

using namespace vendrel;
using namespace vendrel_test;

namespace {
constexpr int kGeneratedFiles = 150;
constexpr int kMutatedFiles = 150;

const wchar_t* const kGuidPool[] = {
    L"381b4222-f694-41f0-9685-ff5bb260df2e",  // existing: Balanced
    L"a1841308-3541-4fab-bc81-f71556f20b4a",  // existing: Power saver
    L"9b7d845b-af66-4d2a-b476-d4dab840abf8",
    L"6658a2a5-119c-4e4e-931b-972bcfdd14a6",
    L"b06fb371-2c24-43a7-b87b-5eede712b549",
    L"00000000-0000-0000-0000-000000000000",
    L"9b7d845b-af66-4d2a-b476",              // cut short
    L"{b06fb371-2c24-43a7-b87b-5eede712b549}",
    L"zzzzzzzz-zzzz-zzzz-zzzz-zzzzzzzzzzzz",
    L"",
};
const wchar_t* const kSectionNames[] = {L"PLANS_INFO", L"PLAN_0", L"PLAN_1", L"PLAN_2",
                                        L"PLAN_255", L"ALIASES", L"V0", L"V1", L"D0", L"D1",
                                        L"", L"PLAN_-1", L"[", L"PLAN_0]x"};
const wchar_t* const kKeys[] = {L"COUNT", L"REPLACE", L"GUID", L"BASE_GUID", L"NAME", L"DESC",
                                L"SETTING", L"SETTING_0", L"SETTING_1", L"SETTING_255",
                                L"ACINDEX", L"DCINDEX", L"SUBGROUP_GUID", L"SETTING_GUID",
                                L"A", L"ECO", L"", L"=", L";COUNT"};

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    std::wstring Value() {
        switch (Pick(9)) {
        case 0: return kGuidPool[Pick(ARRAYSIZE(kGuidPool))];
        case 1: return std::wstring(L"@") + kKeys[Pick(ARRAYSIZE(kKeys))];
        case 2: return kSectionNames[Pick(ARRAYSIZE(kSectionNames))];
        case 3: return std::to_wstring(Pick(5));
        case 4: {
            const wchar_t* numbers[] = {L"-1", L"4294967295", L"2147483648", L"999999999999999999",
                                        L"-2147483648", L"0x7fffffff", L"256", L"257"};
            return numbers[Pick(ARRAYSIZE(numbers))];
        }
        case 5: return std::wstring(static_cast<size_t>(Pick(1200)), L"aモ@;=[]"[Pick(7)]);
        case 6: return L"省エネ\t説明 " + std::to_wstring(Pick(1000));
        case 7: return L"";
        default: {
            std::wstring junk;
            const int length = Pick(40);
            for (int i = 0; i < length; ++i) {
                junk.push_back(static_cast<wchar_t>(1 + Pick(0x3000)));
            }
            return junk;
        }
        }
    }

    // A plan section that is usable more often than not, so that the writing path runs.
    std::wstring PlanSection() {
        std::wstring text = L"[PLAN_" + std::to_wstring(Pick(3)) + L"]\r\n";
        text += L"GUID=" + std::wstring(Chance(80) ? kGuidPool[2 + Pick(3)] : kGuidPool[Pick(ARRAYSIZE(kGuidPool))]) + L"\r\n";
        text += L"BASE_GUID=" + std::wstring(Chance(80) ? kGuidPool[Pick(2)] : kGuidPool[Pick(ARRAYSIZE(kGuidPool))]) + L"\r\n";
        text += L"SETTING=" + std::to_wstring(Pick(4)) + L"\r\nSETTING_0=V0\r\nSETTING_1=" + Value() + L"\r\n";
        return text;
    }

    std::wstring File() {
        std::wstring text = Chance(70) ? L"[PLANS_INFO]\r\nCOUNT=" + std::to_wstring(Pick(4)) + L"\r\n" : L"";
        const int sections = 1 + Pick(12);
        for (int s = 0; s < sections; ++s) {
            if (Chance(30)) {
                text += PlanSection();
                continue;
            }
            text += L"[";
            text += kSectionNames[Pick(ARRAYSIZE(kSectionNames))];
            text += Chance(90) ? L"]\r\n" : L"\r\n";
            const int lines = Pick(10);
            for (int l = 0; l < lines; ++l) {
                text += kKeys[Pick(ARRAYSIZE(kKeys))];
                if (Chance(95)) {
                    text += L"=";
                }
                text += Value();
                text += Chance(90) ? L"\r\n" : L"\n";
            }
        }
        return text;
    }

    std::string Mutate(std::string bytes) {
        const int edits = 1 + Pick(20);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const size_t at = static_cast<size_t>(Pick(static_cast<int>(bytes.size())));
            switch (Pick(4)) {
            case 0: bytes[at] = static_cast<char>(Pick(256)); break;
            case 1: bytes.erase(at, static_cast<size_t>(1 + Pick(16))); break;
            case 2: bytes.insert(at, static_cast<size_t>(1 + Pick(64)), static_cast<char>(Pick(256))); break;
            default: bytes.insert(at, bytes.substr(0, static_cast<size_t>(Pick(200)))); break;
            }
        }
        return bytes;
    }

private:
    std::mt19937 m_random;
};

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return text;
}

void SeedPlans(FakePowerApi& api) {
    api.AddPlan(GUID{0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}},
                L"Balanced");
    api.AddPlan(GUID{0xa1841308, 0x3541, 0x4fab, {0xbc, 0x81, 0xf7, 0x15, 0x56, 0xf2, 0x0b, 0x4a}},
                L"Power saver");
}

std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}
}  // namespace

TEST(PlanFileFuzz, GeneratedFilesWriteOnlyThePlansTheyName) {
    ScratchFolder folder;
    Generator generator(0x5EED1);
    int createdTotal = 0;
    for (int i = 0; i < kGeneratedFiles; ++i) {
        const std::wstring text = generator.File();
        // A fresh name for every file: the profile API keeps recently read files.
        const std::wstring path = folder.File(L"gen" + std::to_wstring(i) + L".ini");
        ASSERT_TRUE(WriteBytesFile(path, Utf16Bytes(text)));
        FakePowerApi api;
        SeedPlans(api);
        const int created = CreatePlansFromFile(path.c_str(), api);
        DeleteFileW(path.c_str());
        createdTotal += created;
        ASSERT_GE(created, 0);
        ASSERT_LE(created, CIniCtl::kMaxListCount) << i;
        ASSERT_TRUE(api.WritesOnlyToDuplicatedPlans()) << "file " << i;
        const std::wstring lowered = Lower(text);
        for (const auto& call : api.calls) {
            if (call.op == FakePowerApi::Op::Replace) {
                continue;
            }
            ASSERT_NE(std::wstring::npos, lowered.find(GuidText(call.plan))) << "file " << i;
            ASSERT_FALSE(IsEqualGUID(GUID{}, call.plan)) << "file " << i;
        }
    }
    EXPECT_GT(createdTotal, 0);  // some generated plans were valid enough to be written
}

TEST(PlanFileFuzz, MutatedFilesNeverCrashNorWriteUnduplicatedPlans) {
    ScratchFolder folder;
    Generator generator(0xB17E5);
    const std::string valid = Utf16Bytes(
        L"[PLANS_INFO]\r\nCOUNT=3\r\nREPLACE=1\r\n[ALIASES]\r\nECO=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\n"
        L"[PLAN_0]\r\nGUID=@ECO\r\nBASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nNAME=省電力\r\n"
        L"DESC=説明\r\nSETTING=2\r\nSETTING_0=V0\r\nSETTING_1=V1\r\n"
        L"[PLAN_1]\r\nGUID=6658a2a5-119c-4e4e-931b-972bcfdd14a6\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nSETTING=1\r\nSETTING_0=V0\r\n"
        L"[PLAN_2]\r\nGUID=b06fb371-2c24-43a7-b87b-5eede712b549\r\n"
        L"BASE_GUID=a1841308-3541-4fab-bc81-f71556f20b4a\r\nSETTING=1\r\nSETTING_0=V1\r\n"
        L"[V0]\r\nSETTING=D0\r\nACINDEX=300\r\nDCINDEX=60\r\n[V1]\r\nSETTING=D1\r\nACINDEX=1\r\n"
        L"[D0]\r\nSUBGROUP_GUID=7516b95f-f776-4464-8c53-06167f40cc99\r\n"
        L"SETTING_GUID=3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e\r\n"
        L"[D1]\r\nSUBGROUP_GUID=238c9fa8-0aad-41ed-83f4-97be242c8f20\r\n"
        L"SETTING_GUID=29f6c1db-86da-48c5-9fdb-f2b67b1f44da\r\n");
    int createdTotal = 0;
    for (int i = 0; i < kMutatedFiles; ++i) {
        const std::wstring path = folder.File(L"mut" + std::to_wstring(i) + L".ini");
        ASSERT_TRUE(WriteBytesFile(path, generator.Mutate(valid)));
        FakePowerApi api;
        SeedPlans(api);
        const int created = CreatePlansFromFile(path.c_str(), api);
        DeleteFileW(path.c_str());
        createdTotal += created;
        ASSERT_TRUE(api.WritesOnlyToDuplicatedPlans()) << "file " << i;
        for (const auto& call : api.calls) {
            ASSERT_FALSE(call.op != FakePowerApi::Op::Replace && IsEqualGUID(GUID{}, call.plan));
        }
    }
    // The mutations leave many files readable: the run exercised the writing path.
    EXPECT_GT(createdTotal, 0);
}
