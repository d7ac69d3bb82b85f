#include "app/gauge_icons.h"

#include "app/app_globals.h"
#include "app/eco_level.h"
#include "common/log.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace {

// The stars fill the smaller side of their control (which grows with the dialog's DPI).
HICON LoadStar(int id, int size) noexcept {
    return static_cast<HICON>(LoadImageW(g_hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace

void GaugeIcons::Load(HWND dialog, int sampleId) noexcept {
    RECT client{};
    GetClientRect(GetDlgItem(dialog, sampleId), &client);
    int size = client.right < client.bottom ? client.right : client.bottom;
    if (size <= 0) {
        size = GetSystemMetrics(SM_CXSMICON);
    }
    m_lit.Reset(LoadStar(IDI_GAUGE_ON, size));
    m_unlit.Reset(LoadStar(IDI_GAUGE_OFF, size));
    m_unknown.Reset(LoadStar(IDI_GAUGE_NONE, size));
    LOG_TRACE(TRACE_LEVEL_VALUES, L"GaugeIcons::Load", L"star size %d", size);
}

void GaugeIcons::ShowRow(HWND dialog, int firstId, GaugeState state, int lit) const noexcept {
    for (int i = 0; i < kGaugeStars; ++i) {
        HWND star = GetDlgItem(dialog, firstId + i);
        HICON icon = nullptr;
        if (state == GaugeState::Rated) {
            icon = i < lit ? m_lit.Get() : m_unlit.Get();
        } else if (state == GaugeState::Unknown) {
            icon = m_unknown.Get();
        }
        SendMessageW(star, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        ShowWindow(star, icon != nullptr ? SW_SHOW : SW_HIDE);
    }
}

void GaugeIcons::ClearRow(HWND dialog, int firstId) noexcept {
    for (int i = 0; i < kGaugeStars; ++i) {
        SendDlgItemMessageW(dialog, firstId + i, STM_SETICON, 0, 0);
    }
}

void ShowPlanGauges(const GaugeIcons& icons, HWND dialog, int performanceId, int savingId,
                    const plans::PlanRecord* record) noexcept {
    int performance = 0;
    int saving = 0;
    GaugeState state = GaugeState::Hidden;
    if (record != nullptr) {
        state = ResolvePlanGauges(*record, plans::g_Settings.blob.dwFlagWord, &performance, &saving)
                    ? GaugeState::Rated
                    : GaugeState::Unknown;
    }
    icons.ShowRow(dialog, performanceId, state, performance);
    icons.ShowRow(dialog, savingId, state, saving);
}
