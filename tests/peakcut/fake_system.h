// The system calls of the peak-cut client's main-window side, recorded.
#pragma once

#include <windows.h>

#include <vector>

#include "peakcut/peakcut.h"

namespace fakesys {

constexpr GUID kUserPlan = {0x11111111, 0x1111, 0x1111, {1, 1, 1, 1, 1, 1, 1, 1}};
constexpr GUID kOtherPlan = {0x22222222, 0x2222, 0x2222, {2, 2, 2, 2, 2, 2, 2, 2}};
constexpr GUID kEcoPlan = {0x33333333, 0x3333, 0x3333, {3, 3, 3, 3, 3, 3, 3, 3}};
constexpr GUID kStandardPlan = {0x44444444, 0x4444, 0x4444, {4, 4, 4, 4, 4, 4, 4, 4}};
constexpr GUID kMode1Plan = {0x55555555, 0x5555, 0x5555, {5, 5, 5, 5, 5, 5, 5, 5}};
constexpr GUID kMode2Plan = {0x66666666, 0x6666, 0x6666, {6, 6, 6, 6, 6, 6, 6, 6}};
constexpr GUID kMode3Plan = {0x77777777, 0x7777, 0x7777, {7, 7, 7, 7, 7, 7, 7, 7}};

struct Question {
    bool switchFlag;
    int level;
};

struct State {
    GUID active = kUserPlan;
    DWORD getResult = ERROR_SUCCESS;
    DWORD setResult = ERROR_SUCCESS;
    bool threeMode = false;
    bool tableOk = true;
    int answer = IDNO;
    std::vector<GUID> activations;
    std::vector<Question> questions;
    int hibernations = 0;
    bool desktop = false;
};
extern State g_State;

// Resets the record and installs the fakes into peakcut::g_System.
void Install();
// Removes them.
void Uninstall();

}  // namespace fakesys
