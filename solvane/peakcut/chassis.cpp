// The chassis type from WMI ("\\.\root\cimv2", Win32_SystemEnclosure.ChassisTypes).
#include <wbemidl.h>

#include <atomic>

#include "common/log.h"
#include "peakcut/peakcut.h"

namespace peakcut {

namespace {

constexpr DWORD kChassisUnknown = 0;
constexpr DWORD kChassisOther = 1;  // what an empty answer is taken as

// Owns one COM interface pointer.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }
    void Reset() noexcept {
        if (m_p != nullptr) {
            m_p->Release();
            m_p = nullptr;
        }
    }
    T* operator->() const noexcept { return m_p; }
    T* Get() const noexcept { return m_p; }
    T** Put() noexcept { return &m_p; }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

// The connection to a WMI namespace; COM stays initialised on this thread while it lives.
class CWmi {
public:
    explicit CWmi(const wchar_t* wmiNamespace) noexcept {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWmi::CWmi", L"Enter");
        m_bUninit = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        ComRef<IWbemLocator> locator;
        HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      locator.PutVoid());
        BSTR name = SysAllocString(wmiNamespace);
        if (SUCCEEDED(hr) && name != nullptr) {
            hr = locator->ConnectServer(name, nullptr, nullptr, nullptr, 0, nullptr, nullptr, m_services.Put());
        }
        SysFreeString(name);
        if (SUCCEEDED(hr) && m_services.Get() != nullptr) {
            CoSetProxyBlanket(m_services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                              RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
        }
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWmi::CWmi", L"Exit retval:%08x", static_cast<unsigned>(hr));
    }
    CWmi(const CWmi&) = delete;
    CWmi& operator=(const CWmi&) = delete;
    ~CWmi() {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWmi::~CWmi", L"Enter");
        m_services.Reset();  // released before COM is left
        if (m_bUninit) {
            CoUninitialize();
        }
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWmi::~CWmi", L"Exit");
    }
    IWbemServices* Services() const noexcept { return m_services.Get(); }

private:
    bool m_bUninit = false;
    ComRef<IWbemServices> m_services;
};

// The first row of Win32_SystemEnclosure.
class CWin32_SystemEnclosure {
public:
    explicit CWin32_SystemEnclosure(const CWmi& wmi) noexcept : m_wmi(wmi) {}
    // First entry of "ChassisTypes" (masked to 16 bits), 0 when there is none.
    DWORD FirstChassisType() const noexcept {
        if (m_wmi.Services() == nullptr) {
            return kChassisUnknown;
        }
        BSTR language = SysAllocString(L"WQL");
        BSTR query = SysAllocString(L"SELECT ChassisTypes FROM Win32_SystemEnclosure");
        ComRef<IEnumWbemClassObject> rows;
        HRESULT hr = E_OUTOFMEMORY;
        if (language != nullptr && query != nullptr) {
            hr = m_wmi.Services()->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                             nullptr, rows.Put());
        }
        SysFreeString(language);
        SysFreeString(query);
        if (FAILED(hr) || rows.Get() == nullptr) {
            return kChassisUnknown;
        }
        ComRef<IWbemClassObject> row;
        ULONG returned = 0;
        if (rows->Next(static_cast<LONG>(WBEM_INFINITE), 1, row.Put(), &returned) != WBEM_S_NO_ERROR || returned == 0) {
            return kChassisUnknown;
        }
        VARIANT value;
        VariantInit(&value);
        DWORD chassis = kChassisUnknown;
        if (SUCCEEDED(row->Get(L"ChassisTypes", 0, &value, nullptr, nullptr)) && (value.vt & VT_ARRAY) != 0 &&
            value.parray != nullptr) {
            LONG lower = 0;
            LONG upper = -1;
            SafeArrayGetLBound(value.parray, 1, &lower);
            SafeArrayGetUBound(value.parray, 1, &upper);
            LONG first = 0;
            if (upper >= lower && SUCCEEDED(SafeArrayGetElement(value.parray, &lower, &first))) {
                chassis = static_cast<DWORD>(first) & 0xFFFF;
            }
        }
        VariantClear(&value);
        return chassis;
    }

private:
    const CWmi& m_wmi;
};

std::atomic<LONG> g_chassisType{-1};

}  // namespace

DWORD QueryChassisType() noexcept {
    CWmi wmi(L"\\\\.\\root\\cimv2");
    return CWin32_SystemEnclosure(wmi).FirstChassisType();
}

bool IsDesktopChassis() noexcept {
    if (g_System.desktopChassis != nullptr) {
        return g_System.desktopChassis();
    }
    LONG type = g_chassisType.load();
    if (type < 0) {
        DWORD read = QueryChassisType();
        if (read == kChassisUnknown) {
            read = kChassisOther;
        }
        LOG_TRACE(TRACE_LEVEL_VALUES, L"IsDesktopChassis", L"chassis type %lu", read);
        type = static_cast<LONG>(read);
        g_chassisType = type;
    }
    return IsDesktopChassisType(static_cast<DWORD>(type));
}

}  // namespace peakcut
