#include "sim/morrow/morrow_data.h"

#include <strsafe.h>

#include <cwchar>

#include "common/handles.h"

namespace morrow {

const wchar_t kSimKey[] = L"Software\\SimulatedPC\\Morrow";

namespace {

constexpr DWORD kDefaultCurve[kHours] = {60, 58, 56, 55, 55, 57, 62, 70, 78, 84, 88, 90,
                                         89, 90, 92, 93, 91, 88, 85, 82, 78, 72, 66, 62};
constexpr ULONGLONG kPercent = 100;
constexpr long long kSecondsPerMinute = 60;
constexpr long long kSecondsPerHour = 3600;
constexpr long long kSecondsPerDay = 86400;
constexpr size_t kTextChars = 512;
constexpr DWORD kEarlierInstantDrop[] = {10, 0, 5};  // minutes before now and percent below now

long long ToSeconds(const SYSTEMTIME& st) {
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<long long>(v.QuadPart / 10000000ULL);
}

SYSTEMTIME FromSeconds(long long seconds) {
    ULARGE_INTEGER v;
    v.QuadPart = static_cast<ULONGLONG>(seconds) * 10000000ULL;
    FILETIME ft = {v.LowPart, v.HighPart};
    SYSTEMTIME st = {};
    FileTimeToSystemTime(&ft, &st);
    return st;
}

SYSTEMTIME DayAt(const SYSTEMTIME& now, long long secondsIntoDay) {
    SYSTEMTIME midnight = now;
    midnight.wHour = 0;
    midnight.wMinute = 0;
    midnight.wSecond = 0;
    midnight.wMilliseconds = 0;
    return FromSeconds(ToSeconds(midnight) + secondsIntoDay);
}

ULONGLONG Share(const RegionConfig& config, DWORD percent) { return config.peakSupply * percent / kPercent; }

DWORD CurrentPercent(const RegionConfig& config, const SYSTEMTIME& now) {
    return config.hasPercent ? config.percent : config.curve[now.wHour % kHours];
}

Record Hourly(const RegionConfig& config, const SYSTEMTIME& now, DWORD hour, DWORD percent) {
    Record r = {};
    r.value = Share(config, percent);
    r.start = DayAt(now, hour * kSecondsPerHour);
    r.end = DayAt(now, (hour + 1) * kSecondsPerHour - 1);
    return r;
}

bool ReadRegString(HKEY key, const wchar_t* name, wchar_t* text, DWORD cch) {
    DWORD type = 0;
    DWORD cb = cch * sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &cb) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    text[cch - 1] = L'\0';
    return true;
}

bool ReadRegNumber(HKEY key, const wchar_t* name, ULONGLONG& value) {
    ULONGLONG data = 0;
    DWORD type = 0;
    DWORD cb = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &cb) != ERROR_SUCCESS) {
        return false;
    }
    if (type == REG_DWORD) {
        value = static_cast<DWORD>(data);
        return true;
    }
    if (type == REG_QWORD) {
        value = data;
        return true;
    }
    return false;
}

void ReadFromFile(const wchar_t* file, DWORD region, RegionConfig& config) {
    wchar_t section[32];
    StringCchPrintfW(section, ARRAYSIZE(section), L"Region%u", region);
    wchar_t text[kTextChars];
    if (GetPrivateProfileStringW(section, L"PeakSupply", L"", text, kTextChars, file) > 0) {
        config.peakSupply = _wcstoui64(text, nullptr, 10);
    }
    if (GetPrivateProfileStringW(section, L"Curve", L"", text, kTextChars, file) > 0) {
        ParseCurve(text, config.curve);
    }
    if (GetPrivateProfileStringW(section, L"Percent", L"", text, kTextChars, file) > 0) {
        config.hasPercent = true;
        config.percent = static_cast<DWORD>(wcstoul(text, nullptr, 10));
    }
}

void ReadFromRegistry(DWORD region, RegionConfig& config) {
    wchar_t path[MAX_PATH];
    StringCchPrintfW(path, MAX_PATH, L"%s\\Regions\\%u", kSimKey, region);
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    ULONGLONG number = 0;
    if (ReadRegNumber(key.Get(), L"PeakSupply", number)) {
        config.peakSupply = number;
    }
    wchar_t text[kTextChars];
    if (ReadRegString(key.Get(), L"Curve", text, kTextChars)) {
        ParseCurve(text, config.curve);
    }
    if (ReadRegNumber(key.Get(), L"Percent", number)) {
        config.hasPercent = true;
        config.percent = static_cast<DWORD>(number);
    }
}

}  // namespace

bool ParseCurve(const wchar_t* text, DWORD (&curve)[kHours]) {
    DWORD parsed[kHours] = {};
    const wchar_t* p = text;
    for (DWORD h = 0; h < kHours; ++h) {
        wchar_t* end = nullptr;
        const unsigned long v = wcstoul(p, &end, 10);
        if (end == p) {
            return false;
        }
        parsed[h] = static_cast<DWORD>(v);
        p = end;
        while (*p == L' ') {
            ++p;
        }
        if (h + 1 < kHours) {
            if (*p != L',') {
                return false;
            }
            ++p;
        }
    }
    if (*p != L'\0') {
        return false;
    }
    for (DWORD h = 0; h < kHours; ++h) {
        curve[h] = parsed[h];
    }
    return true;
}

RegionConfig ReadRegionConfig(DWORD region) {
    RegionConfig config;
    for (DWORD h = 0; h < kHours; ++h) {
        config.curve[h] = kDefaultCurve[h];
    }
    common::UniqueRegKey key;
    wchar_t file[MAX_PATH] = {};
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSimKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
        ReadRegString(key.Get(), L"DataFile", file, MAX_PATH) && file[0] != L'\0') {
        ReadFromFile(file, region, config);
    } else {
        ReadFromRegistry(region, config);
    }
    return config;
}

Faults ReadFaults() {
    Faults faults;
    faults.missingKinds = ReadLogValue(L"FaultMissingKind");
    faults.endlessKinds = ReadLogValue(L"FaultEndless");
    faults.badDateKinds = ReadLogValue(L"FaultBadDate");
    faults.openFails = ReadLogValue(L"FaultOpenFails") != 0;
    return faults;
}

std::vector<Record> BuildRecords(DWORD kind, const RegionConfig& config, const SYSTEMTIME& now) {
    std::vector<Record> records;
    const DWORD current = CurrentPercent(config, now);
    switch (kind) {
    case kKindPeakSupply: {
        // Yesterday's record first, so that a client has to look for today's.
        Record yesterday = {};
        yesterday.value = config.peakSupply + kDefaultPeakSupply;
        yesterday.start = FromSeconds(ToSeconds(DayAt(now, 0)) - kSecondsPerDay);
        yesterday.end = FromSeconds(ToSeconds(DayAt(now, 0)) - 1);
        records.push_back(yesterday);
        Record today = {};
        today.value = config.peakSupply;
        today.start = DayAt(now, 0);
        today.end = DayAt(now, kSecondsPerDay - 1);
        records.push_back(today);
        break;
    }
    case kKindInstant: {
        // Index 1 is the latest reading; the others are earlier and lower.
        SYSTEMTIME minute = now;
        minute.wSecond = 0;
        minute.wMilliseconds = 0;
        const long long base = ToSeconds(minute);
        for (DWORD drop : kEarlierInstantDrop) {
            Record r = {};
            const DWORD percent = current > drop ? current - drop : 0;
            r.value = Share(config, percent);
            r.start = FromSeconds(base - static_cast<long long>(drop) * kSecondsPerMinute);
            r.end = FromSeconds(base - static_cast<long long>(drop) * kSecondsPerMinute + kSecondsPerMinute - 1);
            records.push_back(r);
        }
        break;
    }
    case kKindActual:
        for (DWORD h = 0; h <= now.wHour && h < kHours; ++h) {
            records.push_back(Hourly(config, now, h, h == now.wHour ? current : config.curve[h]));
        }
        break;
    case kKindEstimated:
        for (DWORD h = 0; h < kHours; ++h) {
            records.push_back(Hourly(config, now, h, config.curve[h]));
        }
        break;
    case kKindPeakDemand: {
        DWORD peakHour = 0;
        for (DWORD h = 1; h < kHours; ++h) {
            if (config.curve[h] > config.curve[peakHour]) {
                peakHour = h;
            }
        }
        Record r = Hourly(config, now, peakHour, config.curve[peakHour]);
        r.end = DayAt(now, (peakHour + 1) * kSecondsPerHour);
        records.push_back(r);
        break;
    }
    default:
        break;
    }
    return records;
}

DWORD ReadLogValue(const wchar_t* name) {
    common::UniqueRegKey key;
    DWORD value = 0;
    DWORD type = 0;
    DWORD cb = sizeof(value);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSimKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &cb) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return 0;
    }
    return value;
}

void WriteLogValue(const wchar_t* name, DWORD value) {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSimKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
}

void AddToLogValue(const wchar_t* name, LONG delta) {
    WriteLogValue(name, static_cast<DWORD>(static_cast<LONG>(ReadLogValue(name)) + delta));
}

}  // namespace morrow
