#include "settingsfile/settings_file.h"

#include "common/log.h"
#include "resources/resource.h"

namespace {

// Every settings-file message carries the ECO title, whatever the program title is.
constexpr int kCaptionChars = 64;
constexpr int kMessageChars = 512;

}  // namespace

// The settings-file format is not part of this build yet: both report the request as not done
// and leave every file and registry value untouched.
DWORD ExportSettings(const wchar_t* file) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ExportSettings", L"Enter");
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ExportSettings", L"export to \"%s\" not available, nothing written",
              file != nullptr ? file : L"");
    LOG_TRACE(TRACE_LEVEL_APP, L"ExportSettings", L"Exit retval:%08x", ERROR_CALL_NOT_IMPLEMENTED);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD ImportSettings(const wchar_t* file) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ImportSettings", L"Enter");
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ImportSettings", L"import of \"%s\" not available, nothing changed",
              file != nullptr ? file : L"");
    LOG_TRACE(TRACE_LEVEL_APP, L"ImportSettings", L"Exit retval:%08x", ERROR_CALL_NOT_IMPLEMENTED);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

void ShowImportRefusal(HINSTANCE instance) noexcept {
    wchar_t text[kMessageChars] = {};
    wchar_t caption[kCaptionChars] = {};
    LoadStringW(instance, IDS_IMPORT_REFUSED_RUNNING, text, kMessageChars);
    LoadStringW(instance, IDS_ECO_PROGRAM_TITLE, caption, kCaptionChars);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ShowImportRefusal", L"import refused: an instance is running");
    MessageBoxW(nullptr, text, caption, MB_OK);
}
