#include "plans/mode_choice.h"

namespace plans {

namespace {

int NextSlot(int slot) noexcept { return slot % kThreeModeSlots + 1; }

}  // namespace

int ThreeModeChoice::SetCount() const noexcept {
    int count = 0;
    for (bool set : m_set) {
        count += set ? 1 : 0;
    }
    return count;
}

bool ThreeModeChoice::Open(const bool (&slotSet)[kThreeModeSlots], int activeSlot, DWORD peakCutLevel) noexcept {
    for (int i = 0; i < kThreeModeSlots; ++i) {
        m_set[i] = slotSet[i];
    }
    m_level = peakCutLevel;
    m_open = false;
    if (SetCount() == 0) {
        return false;
    }
    const bool restricted = peakCutLevel == kPeakCutLevel2 || (peakCutLevel == kPeakCutLevel1 && !IsSet(2));
    if (restricted && !IsSet(3)) {
        return false;
    }
    m_initial = IsSet(activeSlot) ? activeSlot : kNoSlot;
    m_chosen = m_initial;  // the first press only shows the current mode
    m_open = true;
    return true;
}

void ThreeModeChoice::Press() noexcept {
    if (!m_open) {
        return;
    }
    switch (m_level) {
    case kPeakCutLevel1:
        if (m_chosen == 2) {
            if (IsSet(3)) {
                m_chosen = 3;
            }
        } else if (IsSet(2)) {
            m_chosen = 2;
        } else if (IsSet(3)) {
            m_chosen = 3;
        }
        return;
    case kPeakCutLevel2:
        if (IsSet(3)) {
            m_chosen = 3;
        }
        return;
    default: {  // no peak cut, or level 3 (the user changed the plan during a peak cut)
        const int count = SetCount();
        int next = NextSlot(m_chosen);
        if (count < kThreeModeSlots && !IsSet(next)) {
            next = NextSlot(next);
        }
        if (count == 1 && !IsSet(next)) {
            next = NextSlot(next);
        }
        m_chosen = next;
        return;
    }
    }
}

int ThreeModeChoice::SlotToActivate() const noexcept {
    if (m_chosen == kNoSlot || m_chosen == m_initial || !IsSet(m_chosen)) {
        return kNoSlot;
    }
    return m_chosen;
}

int TwoModeChoice::Open(bool ecoActive, DWORD peakCutLevel) noexcept {
    m_level = peakCutLevel;
    m_pending = false;
    m_open = true;
    if (ecoActive) {
        m_lastActivated = kTwoModeEcoSlot;
        if (Held()) {
            m_shown = kTwoModeEcoSlot;
            return kNoSlot;
        }
        m_shown = kTwoModeStandardSlot;
    } else {
        m_shown = kTwoModeEcoSlot;
    }
    m_lastActivated = m_shown;
    return m_shown;
}

void TwoModeChoice::Press() noexcept {
    if (!m_open) {
        return;
    }
    if (m_shown == kTwoModeStandardSlot) {
        m_shown = kTwoModeEcoSlot;
        m_pending = true;
    } else if (!Held()) {
        m_shown = kTwoModeStandardSlot;
        m_pending = true;
    }
    // Held: the ECO slot stays; a change to it that is still pending is kept.
}

TwoModeChoice::TimerStep TwoModeChoice::OnTimer() noexcept {
    if (!m_open) {
        return {kNoSlot, false};
    }
    if (m_pending) {
        m_pending = false;
        int slot = kNoSlot;
        if (m_shown != m_lastActivated) {
            slot = m_shown;
            m_lastActivated = m_shown;
        }
        return {slot, true};
    }
    m_open = false;
    return {kNoSlot, false};
}

}  // namespace plans
