#include "tests/peakcut/fake_system.h"

#include "tests/peakcut/fake_library.h"

namespace fakesys {

State g_State;

namespace {

DWORD GetActive(GUID* plan) {
    if (g_State.getResult != ERROR_SUCCESS) {
        return g_State.getResult;
    }
    *plan = g_State.active;
    return ERROR_SUCCESS;
}

DWORD SetActive(const GUID& plan) {
    g_State.activations.push_back(plan);
    if (g_State.setResult == ERROR_SUCCESS) {
        g_State.active = plan;
    }
    return g_State.setResult;
}

bool ReadModeTable(GUID (&slots)[3]) {
    if (!g_State.tableOk) {
        return false;
    }
    if (g_State.threeMode) {
        slots[0] = kMode1Plan;
        slots[1] = kMode2Plan;
        slots[2] = kMode3Plan;
    } else {
        slots[0] = kEcoPlan;
        slots[1] = kStandardPlan;
        slots[2] = GUID{};
    }
    return true;
}

int Notify(HWND, bool switchFlag, int level) {
    g_State.questions.push_back({switchFlag, level});
    return g_State.answer;
}

DWORD Hibernate() {
    ++g_State.hibernations;
    return ERROR_SUCCESS;
}

}  // namespace

void Install() {
    g_State = State{};
    peakcut::g_System.getActivePlan = GetActive;
    peakcut::g_System.setActivePlan = SetActive;
    peakcut::g_System.readModeTable = ReadModeTable;
    peakcut::g_System.threeMode = []() { return g_State.threeMode; };
    peakcut::g_System.notify = Notify;
    peakcut::g_System.hibernate = Hibernate;
    peakcut::g_System.localTime = fakelib::FakeLocalTime;
    peakcut::g_System.desktopChassis = []() { return g_State.desktop; };
}

void Uninstall() { peakcut::g_System = peakcut::PeakCutSystem{}; }

}  // namespace fakesys
