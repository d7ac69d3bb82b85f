// The battery model's registry values: the discharge-rate tables under the program's key and
// the per-battery charge models under "ModPar\SetItemData".
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "battery/battery.h"
#include "common/registry.h"
#include "common/handles.h"
#include "common/log.h"
#include "plans/reg_values.h"
#include "resources/resource.h"

namespace battery {

namespace {

constexpr wchar_t kRatesTrace[] = L"Init_DischargeRate";
constexpr WORD kDefaultCpuRates[4] = {10000, 9326, 9209, 9089};
constexpr WORD kDefaultLcdRates[8] = {7894, 8342, 8634, 8980, 9465, 9615, 9794, 10000};
constexpr DWORD kMaxLcdRates = 128;
constexpr DWORD kFullRate = 10000;
constexpr DWORD kMaxPercent = 100;
constexpr DWORD kDefaultFullPercent = 100;
constexpr size_t kParameterBytes = 100;                 // a charge parameter's text, at most
constexpr size_t kParameterChars = kParameterBytes / sizeof(wchar_t) + 1;
constexpr DWORD kEnumNameChars = 520;                   // longest subkey name the enumeration takes

// A charge parameter: a decimal number and nothing else (blanks around it allowed).
bool ReadParameter(HKEY key, const wchar_t* name, double* value) noexcept {
    wchar_t text[kParameterChars] = L"";
    if (common::ReadRegString(key, name, text, ARRAYSIZE(text), common::RegText::Expandable) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t* end = nullptr;
    const double parsed = std::wcstod(text, &end);
    if (end == text) {
        return false;
    }
    while (*end != L'\0' && std::iswspace(*end)) {
        ++end;
    }
    if (*end != L'\0') {
        return false;
    }
    *value = parsed;
    return true;
}

// Reads the six values of one model key; false (and the record's error logged) when one is
// missing or out of range.
bool ReadRecordValues(HKEY key, BatteryRecord* record) noexcept {
    DWORD changePoint = 0;
    if (common::QueryRegDword(key, L"ChargeChangePoint", &changePoint) != ERROR_SUCCESS ||
        changePoint > kMaxPercent) {
        WriteErrorLog(IDS_ERR_CHARGING_CHANGE_POINT, changePoint, ERRLOG_FILE);
        return false;
    }
    record->dwChangePoint = changePoint;
    DWORD fullPercent = kDefaultFullPercent;
    if (common::QueryRegDword(key, L"FullPercent", &fullPercent) != ERROR_SUCCESS) {
        fullPercent = kDefaultFullPercent;
    }
    if (fullPercent > kMaxPercent) {
        WriteErrorLog(IDS_ERR_FULL_PERCENT, fullPercent, ERRLOG_FILE);
        return false;
    }
    record->dwFullPercent = fullPercent;
    const bool read = ReadParameter(key, L"UaChargeParameter", &record->dA) &&
                      ReadParameter(key, L"UbChargeParameter", &record->dB) &&
                      ReadParameter(key, L"UcChargeParameter", &record->dC) &&
                      ReadParameter(key, L"IChargeParameter", &record->dI);
    if (!read || record->dA == 0.0 || record->dI == 0.0) {
        WriteErrorLog(IDS_ERR_CHARGE_PARAMETER, 0, ERRLOG_FILE);
        return false;
    }
    return true;
}

}  // namespace

DischargeRates DefaultDischargeRates() {
    DischargeRates rates{};
    for (size_t i = 0; i < ARRAYSIZE(kDefaultCpuRates); ++i) {
        rates.cpu[i] = kDefaultCpuRates[i];
    }
    rates.lcd.assign(std::begin(kDefaultLcdRates), std::end(kDefaultLcdRates));
    return rates;
}

DischargeRates ReadDischargeRates(HKEY key, int brightnessLevels) {
    DischargeRates rates = DefaultDischargeRates();
    WORD cpu[ARRAYSIZE(rates.cpu)] = {};
    DWORD cb = 0;
    // A shorter value leaves the remaining entries 0; a longer one is unreadable.
    if (common::ReadRegBinaryPrefix(key, L"CPURate", cpu, sizeof(cpu), &cb) == ERROR_SUCCESS && cb <= sizeof(cpu)) {
        for (size_t i = 0; i < ARRAYSIZE(cpu); ++i) {
            rates.cpu[i] = cpu[i];
        }
    }
    DWORD count = 0;
    if (common::QueryRegDword(key, L"Num_LCD_Rate", &count) == ERROR_SUCCESS && count >= 1 &&
        count <= kMaxLcdRates) {
        std::vector<WORD> table(count, 0);
        if (common::ReadRegBinaryPrefix(key, L"LCDRate", table.data(), count * sizeof(WORD), &cb) == ERROR_SUCCESS &&
            cb <= count * sizeof(WORD)) {
            rates.lcd = table;
        }
        return rates;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kRatesTrace, L"Cannot get Num_LCD_Rate from registry");
    LOG_TRACE(TRACE_LEVEL_VALUES, kRatesTrace, L"iBrightnessLevels:%d", brightnessLevels);
    rates.lcd.clear();
    DWORD minimum = 0;
    // Any number of panel levels from two up (the driver reports at most 256).
    if (brightnessLevels >= 2 && common::QueryRegDword(key, L"LCDRate_Min", &minimum) == ERROR_SUCCESS &&
        minimum <= kFullRate) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kRatesTrace, L"LCDRate_Min:%d", minimum);
        const DWORD steps = static_cast<DWORD>(brightnessLevels - 1);
        for (DWORD i = 0; i <= steps; ++i) {
            const DWORD entry = (kFullRate - minimum) * i / steps + minimum;
            LOG_TRACE(TRACE_LEVEL_VALUES, kRatesTrace, L"LCDRate_mem[%d]:%d", i, entry);
            rates.lcd.push_back(static_cast<WORD>(entry));
        }
    }
    return rates;
}

std::vector<BatteryRecord> ReadBatteryRecords(HKEY setItemData) noexcept {
    std::vector<BatteryRecord> records;
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(setItemData, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return records;
    }
    try {
        records.reserve(subkeys);
    } catch (...) {
        WriteErrorLog(IDS_ERR_HEAP_ALLOC, static_cast<ULONGLONG>(subkeys) * sizeof(BatteryRecord), ERRLOG_FILE);
        return records;
    }
    for (DWORD index = 0; index < subkeys; ++index) {
        wchar_t name[kEnumNameChars] = L"";
        DWORD cch = ARRAYSIZE(name);
        const LSTATUS status = RegEnumKeyExW(setItemData, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        // A name that would not fit the record (or the enumeration buffer) names no battery the
        // driver can report: skip it rather than cut it.
        if (status != ERROR_SUCCESS || cch >= kDevNameChars) {
            continue;
        }
        BatteryRecord record{};
        wmemcpy(record.devName, name, cch + 1);
        common::UniqueRegKey key;
        if (RegOpenKeyExW(setItemData, name, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS) {
            record.bChecked = ReadRecordValues(key.Get(), &record) ? 1 : 0;
        } else {
            WriteErrorLog(IDS_ERR_CHARGING_CHANGE_POINT, 0, ERRLOG_FILE);
        }
        records.push_back(record);
    }
    return records;
}

}  // namespace battery
