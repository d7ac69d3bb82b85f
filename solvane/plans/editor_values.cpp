#include "plans/editor_values.h"

#include <strsafe.h>

#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace plans {

namespace {

constexpr DWORD kMinute = 60;
constexpr DWORD kHour = 3600;
constexpr size_t kPartChars = 32;

}  // namespace

const std::vector<DWORD>& TimeoutSteps(TimeoutList list) {
    static const std::vector<DWORD> standard = {60,   120,  180,  300,  600,   900,   1200,  1500,
                                                1800, 2700, 3600, 7200, 10800, 14400, 18000, 0};
    static const std::vector<DWORD> hibernate = {60,   120,  180,  300,  600,   900,   1200,  1500,  1800,
                                                 2700, 3600, 7200, 10800, 14400, 18000, 21600, 0};
    return list == TimeoutList::Hibernate ? hibernate : standard;
}

TimeoutSlider MakeTimeoutSlider(TimeoutList list, DWORD planValue) {
    TimeoutSlider slider;
    slider.positions = TimeoutSteps(list);
    bool listed = false;
    for (DWORD step : slider.positions) {
        listed = listed || step == planValue;
    }
    if (!listed) {
        slider.positions.push_back(planValue);
        slider.hasExtra = true;
    }
    return slider;
}

size_t TimeoutPosition(const TimeoutSlider& slider, DWORD value) noexcept {
    size_t never = 0;
    for (size_t i = 0; i < slider.positions.size(); ++i) {
        if (slider.positions[i] == value) {
            return i;
        }
        if (slider.positions[i] == 0) {
            never = i;
        }
    }
    return never;
}

DWORD HibernateTotal(DWORD standby, DWORD hibernate) noexcept {
    if (hibernate == 0) {
        return 0;
    }
    // A sum beyond the 32-bit range stays at the largest value rather than wrapping to a short time.
    return hibernate > MAXDWORD - standby ? MAXDWORD : standby + hibernate;
}

DWORD HibernateFromTotal(DWORD total, DWORD standby) noexcept {
    return total != 0 && total > standby ? total - standby : total;
}

TimeoutLabel LabelOfStep(DWORD seconds) noexcept {
    if (seconds == 0) {
        return TimeoutLabel{IDS_STEP_NEVER, 0};
    }
    if (seconds == kMinute) {
        return TimeoutLabel{IDS_STEP_ONE_MINUTE, 1};
    }
    if (seconds < kHour) {
        return TimeoutLabel{IDS_STEP_MINUTES, seconds / kMinute};
    }
    if (seconds == kHour) {
        return TimeoutLabel{IDS_STEP_ONE_HOUR, 1};
    }
    return TimeoutLabel{IDS_STEP_HOURS, seconds / kHour};
}

UINT PresetLabelId(BYTE code) noexcept {
    switch (code) {
    case PRESET_HIGH:
        return IDS_PRESET_HIGH;
    case PRESET_LOW_FIXED:
        return IDS_PRESET_LOW_FIXED;
    case PRESET_LOW:
        return IDS_PRESET_LOW;
    case PRESET_AUTO:
        return IDS_PRESET_AUTO;
    default:
        return IDS_PRESET_USER;
    }
}

void FormatExtraLabel(DWORD seconds, const wchar_t* hoursFormat, const wchar_t* minutesFormat,
                      const wchar_t* joinFormat, wchar_t* text, size_t cchText) noexcept {
    wchar_t hours[kPartChars] = L"";
    wchar_t minutes[kPartChars] = L"";
    const LONGLONG h = seconds / kHour;
    const LONGLONG m = (seconds % kHour) / kMinute;
    if (h != 0) {
        StringCchPrintfW(hours, ARRAYSIZE(hours), hoursFormat, h);
    }
    if (m != 0) {
        StringCchPrintfW(minutes, ARRAYSIZE(minutes), minutesFormat, m);
    }
    StringCchPrintfW(text, cchText, joinFormat, hours, minutes);
}

DWORD WirelessIndexOfPosition(int position) noexcept {
    constexpr int kLast = 3;
    if (position < 0) {
        position = 0;
    }
    if (position > kLast) {
        position = kLast;
    }
    return static_cast<DWORD>(kLast - position);
}

int WirelessPositionOfIndex(DWORD index) noexcept {
    constexpr DWORD kLast = 3;
    return static_cast<int>(kLast - (index > kLast ? kLast : index));
}

std::wstring ProposeNewPlanName(const std::wstring& prefix, const std::vector<std::wstring>& names) {
    for (int n = 1; n <= kMaxProposalNumber; ++n) {
        const std::wstring candidate = prefix + std::to_wstring(n);
        bool taken = false;
        for (const std::wstring& name : names) {
            taken = taken || name == candidate;
        }
        if (!taken) {
            return candidate;
        }
    }
    return prefix + std::to_wstring(kMaxProposalNumber);
}

bool IsPlanNameFree(const std::wstring& name, const std::vector<std::wstring>& names, int self) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (static_cast<int>(i) != self && names[i] == name) {
            return false;
        }
    }
    return true;
}

bool CanDeletePlan(const GUID& plan, const GUID& active, bool hasSnapshot) noexcept {
    return !hasSnapshot && IsEqualGUID(plan, active) == FALSE;
}

UINT EditorTemplateFor(DWORD flagWord, DWORD osGeneration, bool ambientLightSensor) noexcept {
    if ((flagWord & FLAG_BATTERY) != 0) {
        if (osGeneration >= 2) {
            return 1314;
        }
        return ambientLightSensor ? 503 : 1179;
    }
    if ((flagWord & FLAG_EXT_MONITOR) != 0) {
        return 1184;
    }
    return osGeneration < 2 ? 1183 : 1315;
}

int BrightnessPosition(const std::vector<DWORD>& choiceValues, INT32 value) noexcept {
    if (value < 0) {
        return -1;
    }
    for (size_t i = 0; i < choiceValues.size(); ++i) {
        if (choiceValues[i] == static_cast<DWORD>(value)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace plans
