// The stand-in is the powrprof.dll this process uses, and it exports every name programs import.
#include "test_support.h"

#include "sim/powrprof/power_guids.h"

using namespace simpower;
using namespace simpower_test;

namespace {

TEST(PowrprofExports, TheLoadedModuleIsTheStandInWithAllItsExports) {
    HMODULE module = GetModuleHandleW(L"powrprof.dll");
    ASSERT_NE(nullptr, module);
    const char* names[] = {
        "CallNtPowerInformation", "CanUserWritePwrScheme", "GetPwrCapabilities", "IsAdminOverrideActive",
        "IsPwrHibernateAllowed", "IsPwrShutdownAllowed", "IsPwrSuspendAllowed", "PowerDeleteScheme",
        "PowerDeterminePlatformRole", "PowerDeterminePlatformRoleEx", "PowerDuplicateScheme", "PowerEnumerate",
        "PowerGetActiveScheme", "PowerImportPowerScheme", "PowerReadACValue", "PowerReadACValueIndex",
        "PowerReadDCValue", "PowerReadDCValueIndex", "PowerReadDescription", "PowerReadFriendlyName",
        "PowerReadValueIncrement", "PowerReadValueMax", "PowerReadValueMin", "PowerReplaceDefaultPowerSchemes",
        "PowerRestoreDefaultPowerSchemes", "PowerSetActiveScheme", "PowerSettingAccessCheck",
        "PowerWriteACValueIndex", "PowerWriteDCValueIndex", "PowerWriteDescription", "PowerWriteFriendlyName",
        "SetSuspendState",
    };
    for (const char* name : names) {
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(module, name))) << name;
    }
}

class PowrprofValues : public FreshPowerStore {};

TEST_F(PowrprofValues, ValueReadsFollowTheBufferRules) {
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value) - 1;
    ULONG type = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA),
              PowerReadACValue(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_DISPLAY_OFF, &type,
                               reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(sizeof(DWORD), size);
    EXPECT_EQ(0xDEADBEEFu, value);
    size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, PowerReadACValue(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_DISPLAY_OFF, &type,
                                              reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(600u, value);
    EXPECT_EQ(static_cast<ULONG>(REG_DWORD), type);
    DWORD increment = 0;
    EXPECT_EQ(ERROR_SUCCESS, PowerReadValueIncrement(nullptr, &SUB_DISPLAY, &SET_DISPLAY_OFF, &increment));
    EXPECT_EQ(1u, increment);
    // Index settings have no range.
    DWORD max = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), PowerReadValueMax(nullptr, &SUB_BUTTONS, &SET_LID_CLOSE, &max));
    EXPECT_TRUE(IsPwrShutdownAllowed());
}

}  // namespace
