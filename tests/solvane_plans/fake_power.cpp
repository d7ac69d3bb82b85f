#include "fake_power.h"

#include <cstring>

#include "plans/power_api.h"

namespace fakes {

namespace {

bool GuidLess(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; }
bool PairLess(const std::pair<GUID, GUID>& a, const std::pair<GUID, GUID>& b) {
    if (!IsEqualGUID(a.first, b.first)) {
        return GuidLess(a.first, b.first);
    }
    return GuidLess(a.second, b.second);
}
bool SideLess(const std::pair<GUID, bool>& a, const std::pair<GUID, bool>& b) {
    if (!IsEqualGUID(a.first, b.first)) {
        return GuidLess(a.first, b.first);
    }
    return a.second < b.second;
}

FakePower* g_store = nullptr;

DWORD ReadIndex(const GUID* plan, const GUID* sub, const GUID* setting, LPDWORD value, bool ac) {
    FakePower& s = Store();
    s.log.push_back({'R', plan ? *plan : GUID_NULL, setting ? *setting : GUID_NULL, ac});
    if (plan == nullptr || sub == nullptr || setting == nullptr || value == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (s.failRead.count({*setting, ac}) != 0) {
        return ERROR_GEN_FAILURE;
    }
    DWORD a = 0;
    DWORD d = 0;
    if (!s.Get(*plan, *sub, *setting, &a, &d)) {
        return ERROR_FILE_NOT_FOUND;
    }
    *value = ac ? a : d;
    return ERROR_SUCCESS;
}

DWORD WriteIndex(const GUID* plan, const GUID* sub, const GUID* setting, DWORD value, bool ac) {
    FakePower& s = Store();
    s.log.push_back({'W', plan ? *plan : GUID_NULL, setting ? *setting : GUID_NULL, ac});
    if (plan == nullptr || sub == nullptr || setting == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (s.failWrite.count({*setting, ac}) != 0) {
        return ERROR_GEN_FAILURE;
    }
    FakePlan* p = s.Find(*plan);
    if (p == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto& slot = p->values[SettingKey{*sub, *setting}];
    (ac ? slot.first : slot.second) = value;
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeReadAC(HKEY, const GUID* p, const GUID* sub, const GUID* set, LPDWORD v) {
    return ReadIndex(p, sub, set, v, true);
}
DWORD WINAPI FakeReadDC(HKEY, const GUID* p, const GUID* sub, const GUID* set, LPDWORD v) {
    return ReadIndex(p, sub, set, v, false);
}
DWORD WINAPI FakeWriteAC(HKEY, const GUID* p, const GUID* sub, const GUID* set, DWORD v) {
    return WriteIndex(p, sub, set, v, true);
}
DWORD WINAPI FakeWriteDC(HKEY, const GUID* p, const GUID* sub, const GUID* set, DWORD v) {
    return WriteIndex(p, sub, set, v, false);
}

DWORD CopyText(const std::wstring& text, PUCHAR buffer, LPDWORD size) {
    const DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return buffer == nullptr ? ERROR_SUCCESS : ERROR_MORE_DATA;
    }
    memcpy(buffer, text.c_str(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeReadName(HKEY, const GUID* plan, const GUID* sub, const GUID* set, PUCHAR buffer, LPDWORD size) {
    FakePower& s = Store();
    if (plan == nullptr && sub != nullptr && set != nullptr) {
        if (s.present.count({*sub, *set}) == 0) {
            return ERROR_FILE_NOT_FOUND;
        }
        return CopyText(L"setting", buffer, size);
    }
    if (plan == nullptr || sub != nullptr || set != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    ++s.planNameReads;
    FakePlan* p = s.Find(*plan);
    if (p == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    return CopyText(p->name, buffer, size);
}

DWORD WINAPI FakeReadDescription(HKEY, const GUID* plan, const GUID* sub, const GUID* set, PUCHAR buffer,
                                 LPDWORD size) {
    FakePower& s = Store();
    if (plan == nullptr || sub != nullptr || set != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    FakePlan* p = s.Find(*plan);
    if (p == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!p->descriptionReadable) {
        return p->descriptionError;
    }
    return CopyText(p->description, buffer, size);
}

std::wstring TextOf(UCHAR* buffer, DWORD size) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(buffer);
    size_t chars = size / sizeof(wchar_t);
    while (chars > 0 && text[chars - 1] == L'\0') {
        --chars;
    }
    return std::wstring(text, chars);
}

DWORD WINAPI FakeWriteName(HKEY, const GUID* plan, const GUID* sub, const GUID* set, UCHAR* buffer, DWORD size) {
    FakePower& s = Store();
    ++s.nameWrites;
    FakePlan* p = plan ? s.Find(*plan) : nullptr;
    if (p == nullptr || sub != nullptr || set != nullptr || buffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    p->name = TextOf(buffer, size);
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeWriteDescription(HKEY, const GUID* plan, const GUID* sub, const GUID* set, UCHAR* buffer,
                                  DWORD size) {
    FakePower& s = Store();
    ++s.descriptionWrites;
    FakePlan* p = plan ? s.Find(*plan) : nullptr;
    if (p == nullptr || sub != nullptr || set != nullptr || buffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    p->description = TextOf(buffer, size);
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeEnumerate(HKEY root, const GUID* scheme, const GUID* sub, POWER_DATA_ACCESSOR access, ULONG index,
                           UCHAR* buffer, DWORD* size) {
    FakePower& s = Store();
    ++s.enumerateCalls;
    if (root != nullptr || scheme != nullptr || sub != nullptr || access != ACCESS_SCHEME || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (s.enumerateFailIndex >= 0 && index >= static_cast<ULONG>(s.enumerateFailIndex)) {
        return s.enumerateError;
    }
    if (index >= s.plans.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (buffer == nullptr || *size < sizeof(GUID)) {
        *size = sizeof(GUID);
        return ERROR_MORE_DATA;
    }
    memcpy(buffer, &s.plans[index].guid, sizeof(GUID));
    *size = sizeof(GUID);
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeGetActive(HKEY, GUID** active) {
    FakePower& s = Store();
    if (s.activeError != ERROR_SUCCESS) {
        return s.activeError;
    }
    *active = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
    **active = s.active;
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeSetActive(HKEY, const GUID* plan) {
    FakePower& s = Store();
    if (s.setActiveError != ERROR_SUCCESS) {
        return s.setActiveError;
    }
    if (s.Find(*plan) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    s.active = *plan;
    ++s.activations;
    return ERROR_SUCCESS;
}

const plans::PowerApi kFakeApi = {FakeReadAC,  FakeReadDC,          FakeWriteAC,   FakeWriteDC,
                                  FakeReadName, FakeWriteName,      FakeReadDescription,
                                  FakeWriteDescription, FakeEnumerate, FakeGetActive, FakeSetActive};

}  // namespace

bool SettingKey::operator<(const SettingKey& o) const {
    if (!IsEqualGUID(subgroup, o.subgroup)) {
        return GuidLess(subgroup, o.subgroup);
    }
    return GuidLess(setting, o.setting);
}

FakePower::FakePower() : present(PairLess), failRead(SideLess), failWrite(SideLess) {}

FakePlan* FakePower::Find(const GUID& plan) {
    for (FakePlan& p : plans) {
        if (IsEqualGUID(p.guid, plan)) {
            return &p;
        }
    }
    return nullptr;
}

FakePlan& FakePower::AddPlan(const GUID& guid, const std::wstring& name) {
    FakePlan p;
    p.guid = guid;
    p.name = name;
    p.description = name + L" description";
    plans.push_back(p);
    return plans.back();
}

void FakePower::Set(const GUID& plan, const GUID& subgroup, const GUID& setting, DWORD ac, DWORD dc) {
    FakePlan* p = Find(plan);
    if (p != nullptr) {
        p->values[SettingKey{subgroup, setting}] = {ac, dc};
    }
}

bool FakePower::Get(const GUID& plan, const GUID& subgroup, const GUID& setting, DWORD* ac, DWORD* dc) {
    FakePlan* p = Find(plan);
    if (p == nullptr) {
        return false;
    }
    auto it = p->values.find(SettingKey{subgroup, setting});
    if (it == p->values.end()) {
        return false;
    }
    *ac = it->second.first;
    *dc = it->second.second;
    return true;
}

void FakePower::SetPresent(const GUID& subgroup, const GUID& setting, bool presentNow) {
    if (presentNow) {
        present.insert({subgroup, setting});
    } else {
        present.erase({subgroup, setting});
    }
}

size_t FakePower::CountAccess(char kind, const GUID& setting) const {
    size_t n = 0;
    for (const Access& a : log) {
        if (a.kind == kind && IsEqualGUID(a.setting, setting)) {
            ++n;
        }
    }
    return n;
}

FakePower& Store() {
    if (g_store == nullptr) {
        g_store = new FakePower();
    }
    return *g_store;
}

void Install() {
    delete g_store;
    g_store = new FakePower();
    plans::SetPowerApi(&kFakeApi);
}

void Uninstall() {
    plans::SetPowerApi(nullptr);
    delete g_store;
    g_store = nullptr;
}

GUID MakeGuid(unsigned n) {
    return GUID{n, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};
}

namespace g {
const GUID Video = {0x7516B95F, 0xF776, 0x4464, {0x8C, 0x53, 0x06, 0x16, 0x7F, 0x40, 0xCC, 0x99}};
const GUID Disk = {0x0012EE47, 0x9041, 0x4B5D, {0x9B, 0x77, 0x53, 0x5F, 0xBA, 0x8B, 0x14, 0x42}};
const GUID Sleep = {0x238C9FA8, 0x0AAD, 0x41ED, {0x83, 0xF4, 0x97, 0xBE, 0x24, 0x2C, 0x8F, 0x20}};
const GUID Processor = {0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
const GUID Graphics = {0xF693FB01, 0xE858, 0x4F00, {0xB2, 0x0F, 0xF3, 0x0E, 0x12, 0xAC, 0x06, 0xD6}};
const GUID Wireless = {0x19CBB8FA, 0x5279, 0x450E, {0x9F, 0xAC, 0x8A, 0x3D, 0x5F, 0xED, 0xD0, 0xC1}};
const GUID Buttons = {0x4F971E89, 0xEEBD, 0x4455, {0xA8, 0xDE, 0x9E, 0x59, 0x04, 0x0E, 0x73, 0x47}};
const GUID Battery = {0xE73A048D, 0xBF27, 0x4F12, {0x97, 0x31, 0x8B, 0x20, 0x76, 0xE8, 0x89, 0x1F}};
const GUID MonitorTimeout = {0x3C0BC021, 0xC8A8, 0x4E07, {0xA9, 0x73, 0x6B, 0x14, 0xCB, 0xCB, 0x2B, 0x7E}};
const GUID Brightness = {0xADED5E82, 0xB909, 0x4619, {0x99, 0x49, 0xF5, 0xD7, 0x1D, 0xAC, 0x0B, 0xCB}};
const GUID DimTimeout = {0x17AAA29B, 0x8B43, 0x4B94, {0xAA, 0xFE, 0x35, 0xF6, 0x4D, 0xAA, 0xF1, 0xEE}};
const GUID DimBrightness = {0xF1FBFDE2, 0xA960, 0x4165, {0x9F, 0x88, 0x50, 0x66, 0x79, 0x11, 0xCE, 0x96}};
const GUID DiskTimeout = {0x6738E2C4, 0xE8A5, 0x4A42, {0xB1, 0x6A, 0xE0, 0x40, 0xE7, 0x69, 0x75, 0x6E}};
const GUID Standby = {0x29F6C1DB, 0x86DA, 0x48C5, {0x9F, 0xDB, 0xF2, 0xB6, 0x7B, 0x1F, 0x44, 0xDA}};
const GUID Hibernate = {0x9D7815A6, 0x7EE4, 0x497E, {0x88, 0x88, 0x51, 0x5A, 0x05, 0xF0, 0x23, 0x64}};
const GUID HybridSleep = {0x94AC6D29, 0x73CE, 0x41A6, {0x80, 0x9F, 0x63, 0x63, 0xBA, 0x21, 0xB4, 0x7E}};
const GUID ProcMin = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};
const GUID ProcMax = {0xBC5038F7, 0x23E0, 0x4960, {0x96, 0xDA, 0x33, 0xAB, 0xAF, 0x59, 0x35, 0xEC}};
const GUID GraphicsSetting = {0x191F65B5, 0xD45C, 0x4A4F, {0x8A, 0xAE, 0x1A, 0xB8, 0xBF, 0xD9, 0x80, 0xE6}};
const GUID WirelessSetting = {0x12BBEBE6, 0x58D6, 0x4636, {0x95, 0xBB, 0x32, 0x17, 0xEF, 0x86, 0x7C, 0x1A}};
const GUID PowerButton = {0x7648EFA3, 0xDD9C, 0x4E3E, {0xB5, 0x66, 0x50, 0xF9, 0x29, 0x38, 0x62, 0x80}};
const GUID SleepButton = {0x96996BC0, 0xAD50, 0x47EC, {0x92, 0x3B, 0x6F, 0x41, 0x87, 0x4D, 0xD9, 0xEB}};
const GUID LidClose = {0x5CA83367, 0x6E45, 0x459F, {0xA2, 0x7B, 0x47, 0x6B, 0x1D, 0x01, 0xC9, 0x36}};
const GUID CriticalBattery = {0x637EA02F, 0xBBCB, 0x4015, {0x8E, 0x2C, 0xA1, 0xC7, 0xB9, 0xC0, 0xB5, 0x46}};
const GUID LowBattery = {0xD8742DCB, 0x3E6A, 0x4B3C, {0xB3, 0xFE, 0x37, 0x46, 0x23, 0xCD, 0xCF, 0x06}};
const GUID Balanced = {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}};
const GUID PowerSaver = {0xA1841308, 0x3541, 0x4FAB, {0xBC, 0x81, 0xF7, 0x15, 0x56, 0xF2, 0x0B, 0x4A}};
const GUID HighPerformance = {0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};
const GUID Eco1 = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
const GUID Eco2 = {0x6658A2A5, 0x119C, 0x4E4E, {0x93, 0x1B, 0x97, 0x2B, 0xCF, 0xDD, 0x14, 0xA6}};
const GUID Eco3 = {0xB06FB371, 0x2C24, 0x43A7, {0xB8, 0x7B, 0x5E, 0xED, 0xE7, 0x12, 0xB5, 0x49}};
}  // namespace g

}  // namespace fakes
