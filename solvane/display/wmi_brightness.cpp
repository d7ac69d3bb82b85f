#include <windows.h>
#include <oleauto.h>
#include <strsafe.h>
#include <wbemidl.h>

#include <algorithm>

#include "common/handles.h"
#include "common/log.h"
#include "display/display.h"
#include "display/display_seams.h"

namespace display {

namespace {

HRESULT CreateWbemLocatorDefault(IWbemLocator** locator) {
    return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                            reinterpret_cast<void**>(locator));
}

constexpr wchar_t kNamespace[] = L"ROOT\\WMI";
constexpr LONG kConnectUseMaxWait = 128;  // WBEM_FLAG_CONNECT_USE_MAX_WAIT

common::ComPtr<IWbemLocator> g_pLoc;
common::ComPtr<IWbemServices> g_pSvc;
wchar_t g_szWmiInstanceName[kInstanceNameChars] = {};

// A BSTR owned for one call.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) noexcept : m_b(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const noexcept { return m_b; }

private:
    BSTR m_b;
};

class Variant {
public:
    Variant() noexcept { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Get() noexcept { return &m_v; }

private:
    VARIANT m_v;
};

HRESULT EnsureWmi() {
    if (g_pSvc) {
        return S_OK;
    }
    return InitializeWMI();
}

HRESULT EnumerateBrightness(common::ComPtr<IEnumWbemClassObject>* rows) {
    const HRESULT hr = EnsureWmi();
    if (FAILED(hr)) {
        return hr;
    }
    Bstr language(L"WQL");
    Bstr query(L"SELECT * FROM WmiMonitorBrightness");
    return g_pSvc->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                             nullptr, rows->Put());
}

// Copies the "Level" byte array of one instance; the count is that of "Levels", never more than
// the array holds.
void ReadLevels(IWbemClassObject* row, std::vector<WORD>* levels, DWORD* count) {
    Variant levelArray;
    Variant levelCount;
    if (FAILED(row->Get(L"Level", 0, levelArray.Get(), nullptr, nullptr)) ||
        FAILED(row->Get(L"Levels", 0, levelCount.Get(), nullptr, nullptr))) {
        return;
    }
    VARIANT* array = levelArray.Get();
    if (array->vt != (VT_ARRAY | VT_UI1) || array->parray == nullptr) {
        return;
    }
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array->parray, 1, &lower);
    SafeArrayGetUBound(array->parray, 1, &upper);
    const LONG available = upper >= lower ? upper - lower + 1 : 0;
    DWORD wanted = 0;
    VARIANT* n = levelCount.Get();
    if (n->vt == VT_I4 || n->vt == VT_UI4) {
        wanted = static_cast<DWORD>(n->lVal);
    }
    wanted = std::min<DWORD>(wanted, static_cast<DWORD>(available));
    wanted = std::min<DWORD>(wanted, 256);
    BYTE* data = nullptr;
    if (FAILED(SafeArrayAccessData(array->parray, reinterpret_cast<void**>(&data)))) {
        return;
    }
    levels->assign(data, data + wanted);
    SafeArrayUnaccessData(array->parray);
    *count = wanted;
}

}  // namespace

CreateWbemLocatorFn g_pfnCreateWbemLocator = CreateWbemLocatorDefault;

HRESULT InitializeWMI() {
    constexpr wchar_t kName[] = L"InitializeWMI";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"Enter");
    ReleaseWMI();
    HRESULT hr = g_pfnCreateWbemLocator(g_pLoc.Put());
    if (SUCCEEDED(hr)) {
        Bstr ns(kNamespace);
        hr = g_pLoc->ConnectServer(ns.Get(), nullptr, nullptr, nullptr, kConnectUseMaxWait, nullptr, nullptr,
                                   g_pSvc.Put());
    }
    if (SUCCEEDED(hr)) {
        hr = CoSetProxyBlanket(g_pSvc.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    }
    if (FAILED(hr)) {
        ReleaseWMI();
        LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"Exit - Error! retval:%08x", E_FAIL);
        return E_FAIL;
    }
    GetWmiMonitorInstanceName(g_szWmiInstanceName, ARRAYSIZE(g_szWmiInstanceName));
    LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"Exit retval:%08x", S_OK);
    return S_OK;
}

void ReleaseWMI() {
    g_pSvc.Reset();
    g_pLoc.Reset();
    g_szWmiInstanceName[0] = L'\0';  // fetched again with the next connection
}

const wchar_t* WmiInstanceName() noexcept { return g_szWmiInstanceName; }

HRESULT GetWmiMonitorBrightnessLevels(std::vector<WORD>* levels, DWORD* count) {
    if (levels == nullptr || count == nullptr) {
        return E_POINTER;
    }
    levels->clear();
    *count = 0;
    common::ComPtr<IEnumWbemClassObject> rows;
    HRESULT hr = EnumerateBrightness(&rows);
    if (FAILED(hr)) {
        return hr;
    }
    for (;;) {
        common::ComPtr<IWbemClassObject> row;
        ULONG returned = 0;
        if (rows->Next(WBEM_INFINITE, 1, row.Put(), &returned) != WBEM_S_NO_ERROR || returned == 0) {
            break;
        }
        ReadLevels(row.Get(), levels, count);  // the last instance wins
    }
    return S_OK;
}

HRESULT GetWmiMonitorInstanceName(wchar_t* name, size_t cchName) {
    if (name == nullptr || cchName == 0) {
        return E_POINTER;
    }
    common::ComPtr<IEnumWbemClassObject> rows;
    HRESULT hr = EnumerateBrightness(&rows);
    if (FAILED(hr)) {
        return hr;
    }
    for (;;) {
        common::ComPtr<IWbemClassObject> row;
        ULONG returned = 0;
        if (rows->Next(WBEM_INFINITE, 1, row.Put(), &returned) != WBEM_S_NO_ERROR || returned == 0) {
            break;
        }
        Variant value;
        if (SUCCEEDED(row->Get(L"InstanceName", 0, value.Get(), nullptr, nullptr)) && value.Get()->vt == VT_BSTR &&
            value.Get()->bstrVal != nullptr) {
            StringCchCopyW(name, cchName, value.Get()->bstrVal);  // a cut name names no instance anyway
        }
    }
    return S_OK;
}

HRESULT SetWmiMonitorBrightness(const wchar_t* lpszInstancename, DWORD brightness) {
    constexpr wchar_t kName[] = L"SetWmiMonitorBrightness";
    wchar_t instance[kInstanceNameChars] = {};
    if (lpszInstancename != nullptr) {
        StringCchCopyW(instance, ARRAYSIZE(instance), lpszInstancename);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"lpszInstancename:%s,Brightness:%d", instance, brightness);
    if (FAILED(EnsureWmi())) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"InitializeWMI failed");
        return E_FAIL;
    }
    if (instance[0] == L'\0') {
        // The connection fetched the name when it was made; fetch it only when it is still unknown.
        if (g_szWmiInstanceName[0] == L'\0') {
            GetWmiMonitorInstanceName(g_szWmiInstanceName, ARRAYSIZE(g_szWmiInstanceName));
        }
        StringCchCopyW(instance, ARRAYSIZE(instance), g_szWmiInstanceName);
    }
    common::ComPtr<IWbemClassObject> pClass;
    Bstr className(L"WmiMonitorBrightnessMethods");
    HRESULT hr = g_pSvc->GetObject(className.Get(), 0, nullptr, pClass.Put(), nullptr);
    if (FAILED(hr)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pSvc->GetObject failed");
        return hr;
    }
    common::ComPtr<IWbemClassObject> pInClass;
    hr = pClass->GetMethod(L"WmiSetBrightness", 0, pInClass.Put(), nullptr);
    if (FAILED(hr) || !pInClass) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pClass->GetMethod failed");
        return FAILED(hr) ? hr : E_FAIL;
    }
    common::ComPtr<IWbemClassObject> pInInst;
    hr = pInClass->SpawnInstance(0, pInInst.Put());
    if (FAILED(hr)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pInClass->SpawnInstance failed");
        return hr;
    }
    wchar_t number[16] = {};
    StringCchPrintfW(number, ARRAYSIZE(number), L"%u", brightness);
    Variant value;
    value.Get()->vt = VT_BSTR;
    value.Get()->bstrVal = SysAllocString(number);
    hr = pInInst->Put(L"Brightness", 0, value.Get(), 0);
    if (FAILED(hr)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pInInst->Put failed");
        return hr;
    }
    Variant timeout;
    timeout.Get()->vt = VT_BSTR;
    timeout.Get()->bstrVal = SysAllocString(L"0");
    hr = pInInst->Put(L"Timeout", 0, timeout.Get(), 0);
    if (FAILED(hr)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pInInst->Put failed");
        return hr;
    }
    wchar_t path[kInstanceNameChars + 64] = {};
    if (FAILED(StringCchPrintfW(path, ARRAYSIZE(path), L"WmiMonitorBrightnessMethods.InstanceName='%s'", instance))) {
        return E_FAIL;
    }
    Bstr objectPath(path);
    Bstr method(L"WmiSetBrightness");
    common::ComPtr<IWbemClassObject> pOutInst;
    hr = g_pSvc->ExecMethod(objectPath.Get(), method.Get(), 0, nullptr, pInInst.Get(), pOutInst.Put(), nullptr);
    if (FAILED(hr)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pSvc->ExecMethod failed");
        return hr;
    }
    Variant returnValue;
    hr = pOutInst ? pOutInst->Get(L"ReturnValue", 0, returnValue.Get(), nullptr, nullptr) : E_FAIL;
    if (FAILED(hr)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"pOutInst->Get failed");
        return hr;
    }
    return S_OK;
}

}  // namespace display
