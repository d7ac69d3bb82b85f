#include "vendrel/steps.h"

#include <cwchar>

#include "common/log.h"

namespace vendrel {

namespace {
struct SwitchMask {
    const wchar_t* text;
    DWORD mask;
};
// Searched in this order: the first one present wins.
constexpr SwitchMask kSwitches[] = {
    {L"/Commit", MASK_COMMIT},
    {L"/Uninstall", MASK_UNINSTALL},
    {L"/StandAlone", MASK_STANDALONE},
    {L"/Update", MASK_UPDATE},
};
}  // namespace

DWORD SelectStepMask(const wchar_t* commandLine) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SelectStepMask", L"Enter");
    DWORD mask = MASK_DEFAULT;
    if (commandLine == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"SelectStepMask", L"%s is NULL.", L"commandLine");
    } else {
        for (const SwitchMask& entry : kSwitches) {
            if (wcsstr(commandLine, entry.text) != nullptr) {
                LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectStepMask", L"switch %s", entry.text);
                mask = entry.mask;
                break;
            }
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SelectStepMask", L"Exit retval:%08x", mask);
    return mask;
}

}  // namespace vendrel
