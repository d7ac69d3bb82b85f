#include "app/os_model.h"

#include <memory>
#include <new>

#include "common/log.h"

namespace {

constexpr wchar_t kTranslationBlock[] = L"\\VarFileInfo\\Translation";
constexpr WORD kPrimaryLanguageMask = 0x3FF;

}  // namespace

WORD ReadVersionLanguage(const wchar_t* path) noexcept {
    if (path == nullptr) {
        return 0;
    }
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) {
        return 0;
    }
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]);
    if (!block || !GetFileVersionInfoW(path, 0, size, block.get())) {
        return 0;
    }
    void* buffer = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.get(), kTranslationBlock, &buffer, &length) || buffer == nullptr ||
        length < sizeof(WORD) * 2) {
        return 0;
    }
    const WORD* translation = static_cast<const WORD*>(buffer);  // language, code page
    return static_cast<WORD>(translation[0] & kPrimaryLanguageMask);
}

WORD DetermineUiLanguage() noexcept {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 0;
    }
    return ReadVersionLanguage(path);
}
