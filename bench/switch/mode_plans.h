// The two plans the switch benchmark alternates on the simulated three-mode notebook, and the
// tray commands that pick them (mode 1: the maker's save plan, mode 2: its balance plan).
#pragma once

#include <windows.h>

namespace switchbench {

constexpr WORD kCommandPinned1 = 72;
constexpr WORD kCommandPinned2 = 71;

constexpr GUID kModeOnePlan = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
constexpr GUID kModeTwoPlan = {0x6658A2A5, 0x119C, 0x4E4E, {0x93, 0x1B, 0x97, 0x2B, 0xCF, 0xDD, 0x14, 0xA6}};

}  // namespace switchbench
