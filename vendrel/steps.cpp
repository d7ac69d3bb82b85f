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
    if (commandLine == nullptr) {
        return MASK_DEFAULT;
    }
    for (const SwitchMask& entry : kSwitches) {
        if (wcsstr(commandLine, entry.text) != nullptr) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectStepMask", L"%s mask:%04x", entry.text, entry.mask);
            return entry.mask;
        }
    }
    return MASK_DEFAULT;
}

}  // namespace vendrel
