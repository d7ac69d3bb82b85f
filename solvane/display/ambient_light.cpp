#include <windows.h>

#include "common/log.h"
#include "display/display.h"
#include "resources/resource.h"

namespace display {

namespace {
DWORD g_dwPanelLevels = 0;
constexpr BYTE kModeFixed = 0;
constexpr BYTE kModeSensor = 1;

void VerifyPair(BYTE* maximum, BYTE* minimum, BYTE top) noexcept {
    if (*maximum > top) {
        *maximum = top;
    }
    if (static_cast<int>(*minimum) > static_cast<int>(top) - 1 || *minimum >= *maximum || *maximum == 0) {
        *maximum = top;
        *minimum = 0;
    }
}
}  // namespace

void SetPanelLevelCount(DWORD levels) noexcept { g_dwPanelLevels = levels; }
DWORD PanelLevelCount() noexcept { return g_dwPanelLevels; }

void VerifyAlsSetting(plans::AmbientLightRange* block) noexcept {
    if (block == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"VerifyAlsSetting", L"%s is NULL.", L"pbiALS");
        return;
    }
    const BYTE top = static_cast<BYTE>(g_dwPanelLevels - 1);
    if (block->ucMode != kModeFixed && block->ucMode != kModeSensor) {
        block->ucMode = kModeFixed;
    }
    if (block->ucAC_MAX > top) {
        block->ucAC_MAX = top;
    }
    if (block->ucDC_MAX > top) {
        block->ucDC_MAX = top;
    }
    VerifyPair(&block->ucAC_MAX, &block->ucAC_MIN, top);
    VerifyPair(&block->ucDC_MAX, &block->ucDC_MIN, top);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"VerifyAlsSetting", L"ucMode:%d,ucAC_MAX:%d,ucAC_MIN:%d,ucDC_MAX:%d,ucDC_MIN:%d",
              block->ucMode, block->ucAC_MAX, block->ucAC_MIN, block->ucDC_MAX, block->ucDC_MIN);
}

}  // namespace display
