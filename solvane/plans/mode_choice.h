// The choice rules of the ECO button: which mode slot a run of presses ends on. The notification
// window owns one of these machines while it is open and performs what they decide; they hold no
// window and touch no plan themselves.
#pragma once

#include <windows.h>

namespace plans {

constexpr int kThreeModeSlots = 3;
constexpr int kTwoModeSlots = 2;
constexpr int kNoSlot = 0;
// Slot of the ECO plan ("LedNo" 3) and of the standard plan ("LedNo" 1) in the two-mode variant.
constexpr int kTwoModeEcoSlot = 1;
constexpr int kTwoModeStandardSlot = 2;

// Peak-cut levels as far as the choice rules care.
constexpr DWORD kPeakCutNone = 0;
constexpr DWORD kPeakCutLevel1 = 1;
constexpr DWORD kPeakCutLevel2 = 2;
constexpr DWORD kPeakCutLevel3 = 3;

// Period of the notification window's choice timer.
constexpr UINT_PTR kChoiceTimerId = 10109;
constexpr UINT kChoiceTimerMs = 2000;

class ThreeModeChoice {
public:
    // slotSet[i] tells whether slot i + 1 has a plan; activeSlot is the slot of the active plan
    // (kNoSlot when none). False when the window must not open (nothing to choose).
    bool Open(const bool (&slotSet)[kThreeModeSlots], int activeSlot, DWORD peakCutLevel) noexcept;
    // A further press: advances the chosen slot by the rules of the peak-cut level.
    void Press() noexcept;
    // When the timer fires: the slot to activate, kNoSlot when nothing changes.
    int SlotToActivate() const noexcept;
    int Initial() const noexcept { return m_initial; }
    int Chosen() const noexcept { return m_chosen; }
    bool IsOpen() const noexcept { return m_open; }
    void Close() noexcept { m_open = false; }

private:
    bool IsSet(int slot) const noexcept { return slot >= 1 && slot <= kThreeModeSlots && m_set[slot - 1]; }
    int SetCount() const noexcept;

    bool m_set[kThreeModeSlots] = {};
    DWORD m_level = kPeakCutNone;
    int m_initial = kNoSlot;
    int m_chosen = kNoSlot;
    bool m_open = false;
};

class TwoModeChoice {
public:
    // The first press: ecoActive tells whether the ECO slot's plan is the active one. Returns the
    // slot to activate at once (kNoSlot when the ECO slot is held by a peak cut).
    int Open(bool ecoActive, DWORD peakCutLevel) noexcept;
    // A further press: toggles the shown slot (the ECO slot is held during peak-cut levels 1, 2).
    void Press() noexcept;

    struct TimerStep {
        int activateSlot;  // kNoSlot: nothing to activate
        bool keepOpen;     // true: restart the timer; false: close the window
    };
    TimerStep OnTimer() noexcept;

    int Shown() const noexcept { return m_shown; }
    int LastActivated() const noexcept { return m_lastActivated; }
    bool Pending() const noexcept { return m_pending; }
    bool IsOpen() const noexcept { return m_open; }

private:
    bool Held() const noexcept { return m_level == kPeakCutLevel1 || m_level == kPeakCutLevel2; }

    DWORD m_level = kPeakCutNone;
    int m_shown = kNoSlot;
    int m_lastActivated = kNoSlot;
    bool m_pending = false;
    bool m_open = false;
};

}  // namespace plans
