#include "meter_sim_support.h"

#include <powrprof.h>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"

namespace metertest {

std::ostream& operator<<(std::ostream& out, const Pair& p) {
    return out << p.minAC << "/" << p.maxAC << " " << p.minDC << "/" << p.maxDC;
}

Pair Values(const GUID& plan) {
    plans::ProcessorPair pair{};
    EXPECT_TRUE(plans::ReadProcessorPair(plan, &pair));
    return Pair{pair.dwMinAC, pair.dwMaxAC, pair.dwMinDC, pair.dwMaxDC};
}

void Activate(const GUID& plan) { ASSERT_EQ(PowerSetActiveScheme(nullptr, &plan), static_cast<DWORD>(ERROR_SUCCESS)); }

GUID ActivePlan() {
    GUID active{};
    EXPECT_EQ(plans::ReadActiveScheme(&active), static_cast<DWORD>(ERROR_SUCCESS));
    return active;
}

std::wstring ErrorLog() {
    common::UniqueFile file(CreateFileW(L"error.log", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return L"";
    }
    std::wstring text(32768, L'\0');
    DWORD read = 0;
    ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    text.resize(read / sizeof(wchar_t));
    return text;
}

}  // namespace metertest
