// CWinUser: the current user's name and local groups, and the "Administrators" membership.
#include <windows.h>
#include <lm.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/win_user.h"

namespace {

// The groups the fake server answers, directly and through nested groups.
std::vector<std::wstring> g_direct;
std::vector<std::wstring> g_indirect;
std::wstring g_askedUser;
int g_moreDataRounds = 0;
NET_API_STATUS g_failure = NERR_Success;

NET_API_STATUS WINAPI FakeLocalGroups(LPCWSTR server, LPCWSTR user, DWORD level, DWORD flags, LPBYTE* buffer,
                                      DWORD, LPDWORD read, LPDWORD total) {
    g_askedUser = user != nullptr ? user : L"";
    *buffer = nullptr;
    *read = *total = 0;
    if (server != nullptr || level != 0) {
        return ERROR_INVALID_LEVEL;
    }
    if (g_failure != NERR_Success) {
        return g_failure;
    }
    std::vector<std::wstring> groups = g_direct;
    if ((flags & LG_INCLUDE_INDIRECT) != 0) {
        groups.insert(groups.end(), g_indirect.begin(), g_indirect.end());
    }
    size_t bytes = groups.size() * sizeof(LOCALGROUP_USERS_INFO_0);
    for (const std::wstring& g : groups) {
        bytes += (g.size() + 1) * sizeof(wchar_t);
    }
    void* block = nullptr;
    if (NetApiBufferAllocate(static_cast<DWORD>(bytes + 1), &block) != NERR_Success) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    auto* entries = static_cast<LOCALGROUP_USERS_INFO_0*>(block);
    auto* text = reinterpret_cast<wchar_t*>(entries + groups.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        memcpy(text, groups[i].c_str(), (groups[i].size() + 1) * sizeof(wchar_t));
        entries[i].lgrui0_name = text;
        text += groups[i].size() + 1;
    }
    *buffer = static_cast<LPBYTE>(block);
    *read = *total = static_cast<DWORD>(groups.size());
    if (g_moreDataRounds > 0) {
        --g_moreDataRounds;
        return ERROR_MORE_DATA;
    }
    return NERR_Success;
}

class WinUserTest : public testing::Test {
protected:
    void SetUp() override {
        g_direct.clear();
        g_indirect.clear();
        g_askedUser.clear();
        g_moreDataRounds = 0;
        g_failure = NERR_Success;
    }
    void TearDown() override { CWinUser::s_pfnNetUserGetLocalGroups = ::NetUserGetLocalGroups; }
    void UseFake() { CWinUser::s_pfnNetUserGetLocalGroups = FakeLocalGroups; }
};

TEST_F(WinUserTest, ThePrefixUserIsAnAdministrator) {
    CWinUser user;
    wchar_t name[CWinUser::kNameChars] = {};
    ASSERT_EQ(user.GetNameSamCompatible(name, CWinUser::kNameChars), 0u);
    EXPECT_NE(wcschr(name, L'\\'), nullptr) << "DOMAIN\\user expected, got " << testing::PrintToString(std::wstring(name));
    BOOL member = FALSE;
    EXPECT_EQ(user.CheckAdministrator(&member), 0u);
    EXPECT_TRUE(member);
    EXPECT_EQ(user.CheckAdministrator(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(WinUserTest, MembershipByGroupList) {
    const struct {
        const char* what;
        std::vector<std::wstring> direct;
        std::vector<std::wstring> indirect;
        int moreData;
        NET_API_STATUS failure;
        DWORD error;
        BOOL member;
    } cases[] = {
        {"direct member", {L"Users", L"Administrators"}, {}, 0, NERR_Success, 0, TRUE},
        {"only through a nested group", {L"Users", L"Engineers"}, {L"Administrators"}, 0, NERR_Success, 0, TRUE},
        {"other groups", {L"Users", L"Power Users"}, {L"Guests"}, 0, NERR_Success, 0, FALSE},
        {"the name compares exactly", {L"administrators", L"Administrators2"}, {}, 0, NERR_Success, 0, FALSE},
        {"no group at all", {}, {}, 0, NERR_Success, ERROR_NO_DATA, FALSE},
        {"asked again after more data", {L"Administrators"}, {}, 2, NERR_Success, 0, TRUE},
        {"the server fails", {L"Administrators"}, {}, 0, NERR_UserNotFound, NERR_UserNotFound, FALSE},
    };
    UseFake();
    for (const auto& c : cases) {
        g_direct = c.direct;
        g_indirect = c.indirect;
        g_moreDataRounds = c.moreData;
        g_failure = c.failure;
        CWinUser user;
        BOOL member = 2;
        EXPECT_EQ(user.CheckAdministrator(&member), c.error) << c.what;
        EXPECT_EQ(member, c.member) << c.what;
        EXPECT_NE(g_askedUser.find(L'\\'), std::wstring::npos) << "asked for the SAM-compatible name: " << c.what;
    }
}

TEST_F(WinUserTest, LongGroupNamesAreCutAndListed) {
    UseFake();
    g_direct = {std::wstring(400, L'g'), L"Administrators"};
    CWinUser user;
    std::vector<std::wstring> groups;
    ASSERT_EQ(user.EnumLocalGroups(L"PC\\someone", &groups), 0u);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].size(), CWinUser::kGroupChars);
    EXPECT_EQ(CWinUser::LookupGroup(groups, L"Administrators"), 0u);
    EXPECT_EQ(CWinUser::LookupGroup(groups, L"Users"), static_cast<DWORD>(ERROR_NO_DATA));
}

}  // namespace
