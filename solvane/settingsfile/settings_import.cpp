// "/import <file>": applies a settings file. The whole file is checked before the first value is
// written, and a write that fails puts back every value written before it, so the registry holds
// either the old settings or the new ones, never a mix.
#include <strsafe.h>

#include <new>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/peak_cut_values.h"
#include "plans/reg_values.h"
#include "resources/resource.h"
#include "settingsfile/settings_file.h"
#include "settingsfile/settings_file_format.h"

namespace settingsfile {
namespace {

constexpr wchar_t kTraceName[] = L"ImportSettings";
constexpr DWORD kMaxKeyNameChars = 256;

// Values as they were before the import wrote them, put back in reverse order on failure.
class RegistryUndo {
public:
    // Remembers root\path\name; false when it cannot be remembered (then it must not be written).
    bool Remember(HKEY root, const std::wstring& path, const wchar_t* name) noexcept {
        try {
            Saved saved{root, path, name, false, REG_NONE, {}};
            common::UniqueRegKey key;
            if (common::OpenRegKey(root, path.c_str(), KEY_QUERY_VALUE, key) == ERROR_SUCCESS) {
                DWORD cb = 0;
                LSTATUS status = RegQueryValueExW(key.Get(), name, nullptr, &saved.type, nullptr, &cb);
                if (status == ERROR_SUCCESS) {
                    saved.data.resize(cb);
                    status = RegQueryValueExW(key.Get(), name, nullptr, &saved.type,
                                              saved.data.empty() ? nullptr : saved.data.data(), &cb);
                    if (status != ERROR_SUCCESS) {
                        return false;
                    }
                    saved.data.resize(cb);
                    saved.existed = true;
                } else if (status != ERROR_FILE_NOT_FOUND) {
                    return false;
                }
            }
            m_saved.push_back(std::move(saved));
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    // Remembers that root\path did not exist before the import created it; false on failure.
    bool RememberCreatedKey(HKEY root, const std::wstring& path) noexcept {
        try {
            m_created.push_back(Created{root, path});
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    void Restore() noexcept {
        RestoreValues();
        // Keys the import created go again (they hold nothing now; a key with content stays).
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
            const LSTATUS status = RegDeleteKeyW(it->root, it->path.c_str());
            if (status != ERROR_SUCCESS) {
                LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"removing %s failed: %u", it->path.c_str(), status);
            }
        }
        m_created.clear();
    }

private:
    void RestoreValues() noexcept {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            common::UniqueRegKey key;
            if (common::OpenRegKey(it->root, it->path.c_str(), KEY_SET_VALUE, key) != ERROR_SUCCESS) {
                continue;  // the key did not exist and was not created
            }
            const LSTATUS status =
                it->existed ? RegSetValueExW(key.Get(), it->name.c_str(), 0, it->type, it->data.data(),
                                             static_cast<DWORD>(it->data.size()))
                            : common::DeleteRegValue(key.Get(), it->name.c_str());
            if (status != ERROR_SUCCESS) {
                LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"putting back %s failed: %u", it->name.c_str(), status);
            }
        }
        m_saved.clear();
    }

    struct Created {
        HKEY root;
        std::wstring path;
    };
    struct Saved {
        HKEY root;
        std::wstring path;
        std::wstring name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Saved> m_saved;
    std::vector<Created> m_created;
};

std::wstring SubkeyPath(const wchar_t* parent, const wchar_t* child) {
    return std::wstring(parent) + L"\\" + child;
}

// Opens HKLM\path for setting values, creating it (and remembering that) when it is missing.
LSTATUS OpenForWrite(RegistryUndo& undo, const wchar_t* path, common::UniqueRegKey& key) noexcept {
    LSTATUS status = common::OpenRegKey(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE, key);
    if (status != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    try {
        if (!undo.RememberCreatedKey(HKEY_LOCAL_MACHINE, path)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return common::CreateRegKey(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE, key);
}

LSTATUS WriteDword(RegistryUndo& undo, const wchar_t* path, const wchar_t* name, DWORD value) noexcept {
    try {
        if (!undo.Remember(HKEY_LOCAL_MACHINE, path, name)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    common::UniqueRegKey key;
    LSTATUS status = OpenForWrite(undo, path, key);
    return status == ERROR_SUCCESS ? common::WriteRegDword(key.Get(), name, value) : status;
}

LSTATUS WriteBinary(RegistryUndo& undo, const wchar_t* path, const wchar_t* name, const BYTE* data,
                    DWORD cb) noexcept {
    try {
        if (!undo.Remember(HKEY_LOCAL_MACHINE, path, name)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    common::UniqueRegKey key;
    LSTATUS status = OpenForWrite(undo, path, key);
    return status == ERROR_SUCCESS ? common::WriteRegBinary(key.Get(), name, data, cb) : status;
}

// Every plan holding "LedNo" `slot` other than `plan` gives it up (0); then `plan` (when not
// empty) takes it. The plan key exists: the file was checked.
LSTATUS AssignSlot(RegistryUndo& undo, int slot, const wchar_t* plan) noexcept {
    common::UniqueRegKey powerSettings;
    LSTATUS status = common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_ENUMERATE_SUB_KEYS,
                                        powerSettings);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    try {
        std::vector<std::wstring> holders;
        for (DWORD index = 0;; ++index) {
            wchar_t subkey[kMaxKeyNameChars] = {};
            DWORD cch = kMaxKeyNameChars;
            status = RegEnumKeyExW(powerSettings.Get(), index, subkey, &cch, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA) {
                continue;
            }
            if (status != ERROR_SUCCESS) {
                break;
            }
            common::UniqueRegKey key;
            if (common::OpenRegKey(powerSettings.Get(), subkey, KEY_QUERY_VALUE, key) == ERROR_SUCCESS &&
                common::ReadRegDword(key.Get(), kLedNoValue, 0) == static_cast<DWORD>(slot) &&
                CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, subkey, -1, plan, -1) != CSTR_EQUAL) {
                holders.emplace_back(subkey);
            }
        }
        if (status != ERROR_NO_MORE_ITEMS) {
            return status;
        }
        for (const std::wstring& holder : holders) {
            status = WriteDword(undo, SubkeyPath(plans::kPowerSettingsKey, holder.c_str()).c_str(), kLedNoValue, 0);
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
        if (plan[0] == L'\0') {
            return ERROR_SUCCESS;
        }
        const std::wstring path = SubkeyPath(plans::kPowerSettingsKey, plan);
        common::UniqueRegKey key;
        status = common::OpenRegKey(HKEY_LOCAL_MACHINE, path.c_str(), KEY_SET_VALUE, key);
        if (status != ERROR_SUCCESS) {
            return status;  // never creates a plan key
        }
        return WriteDword(undo, path.c_str(), kLedNoValue, static_cast<DWORD>(slot));
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Writes the checked content in the file's order; the first failure stops and is returned.
LSTATUS Apply(const SettingsFileContent& content, RegistryUndo& undo) noexcept {
    LSTATUS status = ERROR_SUCCESS;
    for (int slot = 1; slot <= kSlotCount && status == ERROR_SUCCESS; ++slot) {
        status = AssignSlot(undo, slot, content.szLedNo[slot - 1]);
    }
    for (int i = 0; i < kRecordCount && status == ERROR_SUCCESS; ++i) {
        if (content.bHasRecord[i]) {
            status = WriteBinary(undo, plans::kEfEnvKey, kRecordNames[i], content.records[i], kRecordBytes);
        }
    }
    if (status == ERROR_SUCCESS) {
        status = WriteDword(undo, plans::kEfEnvKey, kKeySelectMode, ImportedSelectMode(content.dwSelectMode));
    }
    if (status == ERROR_SUCCESS) {
        status = WriteDword(undo, plans::kEfEnvKey, kKeyThreshold, content.dwThreshold);
    }
    if (status == ERROR_SUCCESS) {
        status = WriteDword(undo, kMorrowKey, kKeySelectedCompany, content.dwSelectedCompany);
    }
    return status;
}

DWORD Import(const wchar_t* file) noexcept {
    if (!CheckSettingsFileName(FALSE, file, nullptr, 0)) {
        return ERROR_INVALID_NAME;  // not a settings file name: ignored without a message
    }
    wchar_t path[MAX_PATH] = {};
    SettingsFileContent content{};
    DWORD result = SETTINGS_FILE_UNREADABLE;
    if (MakeSettingsFilePath(file, path, ARRAYSIZE(path))) {
        result = ReadSettingsFileContent(path, &content);
    }
    if (result != SETTINGS_FILE_VALID) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"file refused: %u", result);
        ShowSettingsFileMessage(result == SETTINGS_FILE_MISSING ? IDS_FILE_NOT_FOUND
                                                                : IDS_IMPORT_REFUSED);
        return result;
    }
    RegistryUndo undo;
    const LSTATUS status = Apply(content, undo);
    if (status != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"write failed: %u, earlier values put back", status);
        undo.Restore();
        ShowSettingsFileMessage(IDS_IMPORT_REFUSED);
        return status;
    }
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace settingsfile

DWORD ImportSettings(const wchar_t* file) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, settingsfile::kTraceName, L"Enter");
    LOG_TRACE(TRACE_LEVEL_VALUES, settingsfile::kTraceName, L"import of \"%s\"", file != nullptr ? file : L"");
    const DWORD result = settingsfile::Import(file);
    LOG_TRACE(TRACE_LEVEL_APP, settingsfile::kTraceName, L"Exit retval:%08x", result);
    return result;
}
