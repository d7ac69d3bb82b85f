// The rating rows of the plan dialogs: "パフォーマンス" and the power-saving effect, five star
// icons each (lit 515, unlit 514, all 534 when the rating is unknown).
#pragma once

#include <windows.h>

#include "common/handles.h"
#include "plans/plan_record.h"

enum class GaugeState {
    Hidden,   // no plan: the row shows nothing
    Rated,    // the first `lit` stars lit, the rest unlit
    Unknown,  // the plan's rating cannot be had: every star 534
};

constexpr int kGaugeStars = 5;

class GaugeIcons {
public:
    // Loads the three stars at the size of one of the dialog's star controls.
    void Load(HWND dialog, int sampleId) noexcept;
    // Shows a row of five star controls, ids firstId..firstId + 4.
    void ShowRow(HWND dialog, int firstId, GaugeState state, int lit) const noexcept;
    // Takes the stars out of a row before the icons are released.
    static void ClearRow(HWND dialog, int firstId) noexcept;

private:
    common::UniqueIcon m_lit;
    common::UniqueIcon m_unlit;
    common::UniqueIcon m_unknown;
};

// Both rows of a plan (null: no plan) from the eco-level answer, else "Indicator", else the
// plan's values; every star 534 when none of them can be had.
void ShowPlanGauges(const GaugeIcons& icons, HWND dialog, int performanceId, int savingId,
                    const plans::PlanRecord* record) noexcept;
