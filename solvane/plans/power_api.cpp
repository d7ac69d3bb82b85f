#include "plans/power_api.h"

namespace plans {

namespace {

const PowerApi kPowrprof = {
    PowerReadACValueIndex,   PowerReadDCValueIndex, PowerWriteACValueIndex, PowerWriteDCValueIndex,
    PowerReadFriendlyName,   PowerWriteFriendlyName, PowerReadDescription,  PowerWriteDescription,
    PowerEnumerate,          PowerGetActiveScheme,  PowerSetActiveScheme,
};

const PowerApi* g_api = &kPowrprof;

}  // namespace

const PowerApi& Power() noexcept { return *g_api; }

void SetPowerApi(const PowerApi* api) noexcept { g_api = api != nullptr ? api : &kPowrprof; }

}  // namespace plans
