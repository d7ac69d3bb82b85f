// The plan editor's rules that do not depend on its window: the timeout step lists of its
// sliders (with the extra end position for a value off the list), hibernation as total idle
// time, the wireless and graphics positions, the name proposal of a new plan, the name check,
// and which plans may be deleted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace plans {

enum class TimeoutList { Standard, Hibernate };

// The steps of a slider in slider order (seconds, 0 = never last), without an extra position.
const std::vector<DWORD>& TimeoutSteps(TimeoutList list);

// A slider's positions for a plan value: the steps, and one extra end position holding the
// value when it is not on the list.
struct TimeoutSlider {
    std::vector<DWORD> positions;
    bool hasExtra = false;
};
TimeoutSlider MakeTimeoutSlider(TimeoutList list, DWORD planValue);
// The position of a value (the extra position for the plan's own off-list value); the
// position of 0 when the value is nowhere.
size_t TimeoutPosition(const TimeoutSlider& slider, DWORD value) noexcept;

// Hibernate sliders show the total idle time: standby + hibernate when hibernate is set.
DWORD HibernateTotal(DWORD standby, DWORD hibernate) noexcept;
// Back from the slider: the total minus standby when the total is larger, else the total.
DWORD HibernateFromTotal(DWORD total, DWORD standby) noexcept;

// Label parts of a timeout: the string-table id and the number it is formatted with, or the
// hours and minutes of an off-list value.
struct TimeoutLabel {
    UINT stringId;     // 130 "1 分後", 131 "%d 分後", 132 "1 時間後", 133 "%d 時間後", 140 "なし" (never)
    DWORD number;
};
TimeoutLabel LabelOfStep(DWORD seconds) noexcept;
// The string-table id of a processor preset's label: "高速", "低速固定", "低速", "オート", and
// "ユーザー設定" for any other code.
UINT PresetLabelId(BYTE code) noexcept;
// "%I64d 時間" / "%I64d 分" joined by "%s%s後"; a zero part is left out. The formats are
// passed in (string table); the text is truncated to cchText.
void FormatExtraLabel(DWORD seconds, const wchar_t* hoursFormat, const wchar_t* minutesFormat,
                      const wchar_t* joinFormat, wchar_t* text, size_t cchText) noexcept;

// Wireless slider positions 0-3 are power-saving indexes 3, 2, 1, 0; graphics positions 0-1 are 0, 1.
DWORD WirelessIndexOfPosition(int position) noexcept;
int WirelessPositionOfIndex(DWORD index) noexcept;

// The proposed name of a new plan: prefix + the smallest number 1-10 no listed plan uses as
// its name (the prefix with 10 when all ten are taken).
std::wstring ProposeNewPlanName(const std::wstring& prefix, const std::vector<std::wstring>& names);
constexpr int kMaxProposalNumber = 10;
constexpr size_t kMaxEditedNameChars = 30;
constexpr size_t kMaxEditedDescriptionChars = 200;

// Whether `name` may be given to the plan at `self` (an index into `names`, or -1 for a new
// plan): no other plan may already have exactly this name.
bool IsPlanNameFree(const std::wstring& name, const std::vector<std::wstring>& names, int self);

// A plan can be deleted unless it is the active plan or has a factory snapshot.
bool CanDeletePlan(const GUID& plan, const GUID& active, bool hasSnapshot) noexcept;

// The slider position of a stored brightness value in a choice table's values; -1 when no
// entry holds it (the slider then shows the top entry and an untouched slider keeps the value).
int BrightnessPosition(const std::vector<DWORD>& choiceValues, INT32 value) noexcept;

// The editor's template for the machine: with a battery 1314 (OS generation 2 or more), else
// 503 (ambient-light sensor), else 1179; without a battery 1184 (external monitors), else 1183
// (OS generation below 2), else 1315.
UINT EditorTemplateFor(DWORD flagWord, DWORD osGeneration, bool ambientLightSensor) noexcept;

}  // namespace plans
