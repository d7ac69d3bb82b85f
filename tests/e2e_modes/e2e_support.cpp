#include "e2e_support.h"

#include <powrprof.h>
#include <strsafe.h>
#include <cguid.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "sim/devices/simdev_client.h"

namespace e2e {

const GUID kBalanced = {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}};
const GUID kPowerSaver = {0xA1841308, 0x3541, 0x4FAB, {0xBC, 0x81, 0xF7, 0x15, 0x56, 0xF2, 0x0B, 0x4A}};
const GUID kHighPerformance = {0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};

const GUID kEcoSave = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
const GUID kEcoBalance = {0x6658A2A5, 0x119C, 0x4E4E, {0x93, 0x1B, 0x97, 0x2B, 0xCF, 0xDD, 0x14, 0xA6}};
const GUID kEcoPerformance = {0xB06FB371, 0x2C24, 0x43A7, {0xB8, 0x7B, 0x5E, 0xED, 0xE7, 0x12, 0xB5, 0x49}};

namespace {

constexpr wchar_t kProgramKey[] = L"Software\\Orvel\\Solvane";
constexpr DWORD kPollMs = 50;
constexpr DWORD kProgramWaitMs = 30000;

std::wstring PlanKey(const GUID& plan) {
    return std::wstring(kProgramKey) + L"\\PowerSettings\\" + GuidKeyText(plan);
}

}  // namespace

std::wstring GuidKeyText(const GUID& guid) {
    wchar_t text[64] = {};
    StringCchPrintfW(text, ARRAYSIZE(text), L"%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                     static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                     guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::wstring GuidBracedText(const GUID& guid) {
    wchar_t text[64] = {};
    StringCchPrintfW(text, ARRAYSIZE(text), L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                     static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                     guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

GUID ActivePlan() {
    GUID* active = nullptr;
    GUID result = GUID_NULL;
    if (PowerGetActiveScheme(nullptr, &active) == ERROR_SUCCESS && active != nullptr) {
        result = *active;
    }
    common::UniqueLocal owner(active);
    return result;
}

bool WaitActivePlan(const GUID& plan, DWORD timeoutMs) {
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMs) {
        if (IsEqualGUID(ActivePlan(), plan)) {
            return true;
        }
        Sleep(kPollMs);
    }
    return false;
}

bool EnsurePlan(const GUID& plan, const GUID& source) {
    DWORD size = 0;
    if (PowerReadFriendlyName(nullptr, &plan, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        return true;
    }
    GUID target = plan;
    GUID* destination = &target;
    return PowerDuplicateScheme(nullptr, &source, &destination) == ERROR_SUCCESS;
}

bool Activate(const GUID& plan) { return PowerSetActiveScheme(nullptr, &plan) == ERROR_SUCCESS; }

void SetPlanValue(const GUID& plan, const wchar_t* name, DWORD value) {
    common::UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, PlanKey(plan).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
              ERROR_SUCCESS);
}

DWORD PlanValue(const GUID& plan, const wchar_t* name, DWORD fallback) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, PlanKey(plan).c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    return value;
}

void DeletePlanKey(const GUID& plan) { RegDeleteTreeW(HKEY_LOCAL_MACHINE, PlanKey(plan).c_str()); }

void SetMachineDword(const wchar_t* name, DWORD value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProgramKey, name, REG_DWORD, &value, sizeof(value)),
              ERROR_SUCCESS);
}

void SetMachineString(const wchar_t* name, const wchar_t* value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProgramKey, name, REG_SZ, value,
                              static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void SetMachineMultiString(const wchar_t* name, const std::vector<std::wstring>& values) {
    std::wstring block;
    for (const std::wstring& v : values) {
        block += v;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProgramKey, name, REG_MULTI_SZ, block.data(),
                              static_cast<DWORD>(block.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

DeviceState Devices() {
    SIMDEV_STATE state{};
    DeviceState result{0xFF, 0, 0xFF, 0, 0xFF};
    if (simdev::GetState(state) != ERROR_SUCCESS) {
        return result;
    }
    switch (state.LedValue) {
    case 0x71:
        result.ledState = 1;
        break;
    case 0x74:
        result.ledState = 2;
        break;
    case 0x72:
        result.ledState = 3;
        break;
    default:
        result.ledState = 0;
        break;
    }
    result.ledNotifies = state.LedNotifyCount;
    result.cpuState = state.CpuState;
    result.cpuSets = state.CpuSetCount;
    result.lcdAC = state.BrightnessAC;
    return result;
}

bool WaitPanelBrightness(DWORD percent, DWORD timeoutMs, DWORD* last) {
    constexpr DWORD kPollMs = 100;
    for (DWORD waited = 0;; waited += kPollMs) {
        *last = Devices().lcdAC;
        if (*last == percent) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(kPollMs);
    }
}

DWORD RunSimctl(const std::wstring& arguments) {
    const testsupport::SimctlRun run = testsupport::RunSimctlCommand(arguments, testsupport::Pump::Sent, kProgramWaitMs);
    if (run.exitCode != 0) {
        fwprintf(stderr, L"simctl %ls: exit code %lu\n%hs", arguments.c_str(), run.exitCode, run.output.c_str());
    }
    return run.exitCode;
}

Resident::Resident() : m_trace(std::make_unique<testsupport::TraceFile>()) {}

Resident::~Resident() { m_process.Kill(); }

bool Resident::Start(const std::wstring& arguments) {
    if (!m_process.Start(arguments, m_folder.Path())) {
        return false;
    }
    m_hwnd = m_process.WaitForMainWindow();
    return m_hwnd != nullptr && WaitTrace(L"WM_CREATE done");
}

std::vector<int> Resident::FindInOrder(const std::vector<std::wstring>& texts) const {
    const std::vector<testsupport::TraceLine> lines = Lines();
    std::vector<int> found;
    int from = 0;
    for (const std::wstring& text : texts) {
        const int index = from < 0 ? -1 : testsupport::TraceFile::Find(lines, text, from);
        found.push_back(index);
        from = index < 0 ? -1 : index + 1;
    }
    return found;
}

std::vector<int> Resident::WaitInOrder(const std::vector<std::wstring>& texts, DWORD timeoutMs) const {
    std::vector<int> found = FindInOrder(texts);
    for (DWORD waited = 0; waited < timeoutMs && !found.empty() && found.back() < 0; waited += kPollMs) {
        Sleep(kPollMs);
        found = FindInOrder(texts);
    }
    return found;
}

void Resident::PostCommand(WORD id, LPARAM lParam) const {
    PostMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(id, 0), lParam);
}

bool Resident::Close() {
    if (!m_process.Running()) {
        return true;
    }
    PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    DWORD code = 0;
    return m_process.WaitForExit(kProgramWaitMs, &code) && code == 0;
}

}  // namespace e2e
