#include "display_test_support.h"

#include <fstream>
#include <iterator>

#include "common/log.h"
#include "display/brightness_ctrl.h"
#include "display/display.h"

namespace displaytest {

namespace {
constexpr wchar_t kKey[] = L"Software\\Orvel\\Solvane";
}

HINSTANCE ProgramResources() {
    static common::UniqueModule module;
    if (!module) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
        std::wstring folder(path);
        folder.resize(folder.find_last_of(L'\\') + 1);
        module.Reset(LoadLibraryExW((folder + L"Solvane.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        SetErrorLogModule(module.Get());
    }
    return module.Get();
}

void SetMachineDword(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, REG_DWORD, &value, sizeof(value));
}

void SetMachineBinary(const wchar_t* name, const void* data, DWORD size, DWORD type) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, type, data, size);
}

void SetMachineString(const wchar_t* name, const wchar_t* value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, REG_SZ, value,
                    static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

void DeleteMachineValue(const wchar_t* name) { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, name); }

std::wstring ErrorLog() {
    std::ifstream in("error.log", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) {
        memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    }
    return text;
}

void ClearErrorLog() {
    SetFileAttributesW(L"error.log", FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(L"error.log");
}

void ResetBrightnessState() {
    display::nsr_lcd_val = {0, 1, 2, 3, 4, 5, 6, 7};
    display::dwBLevel = display::kDefaultLevelCount;
    display::bLCD = false;
    display::bALS = false;
    display::g_bPanelControl = false;
    display::g_bExternalMonitorSupported = false;
    display::g_dwFirstWaitMs = 0;
    display::g_dwAlsWaitMs = 0;
    display::gBctl.InitFromTable(0, nullptr, 0);
}

}  // namespace displaytest
