// The processor's nominal frequency from WMI's "ProcessorStatus" performance states.
#include <wbemidl.h>

#include "common/handles.h"
#include "common/log.h"
#include "meter/speed_monitor.h"

namespace meter {

namespace {

constexpr LONG kFullPercentFrequency = 100;
constexpr DWORD kPerfStatesTimeout = WBEM_INFINITE;

// A VARIANT cleared when it goes out of scope.
struct Variant {
    VARIANT v;
    Variant() noexcept { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// A BSTR freed when it goes out of scope.
struct Bstr {
    BSTR s;
    explicit Bstr(const wchar_t* text) noexcept : s(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

bool ReadLong(IWbemClassObject* object, const wchar_t* name, LONG* value) noexcept {
    Variant v;
    if (FAILED(object->Get(name, 0, &v.v, nullptr, nullptr)) || FAILED(VariantChangeType(&v.v, &v.v, 0, VT_I4))) {
        return false;
    }
    *value = v.v.lVal;
    return true;
}

// The 100 % state's frequency of one instance, 0 when it has none.
DWORD FrequencyOfInstance(IWbemClassObject* instance) noexcept {
    Variant perf;
    if (FAILED(instance->Get(L"PerfStates", 0, &perf.v, nullptr, nullptr)) || perf.v.vt != VT_UNKNOWN ||
        perf.v.punkVal == nullptr) {
        return 0;
    }
    common::ComPtr<IWbemClassObject> states;
    if (FAILED(perf.v.punkVal->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(states.Put())))) {
        return 0;
    }
    LONG count = 0;
    Variant array;
    if (!ReadLong(states.Get(), L"Count", &count) ||
        FAILED(states->Get(L"State", 0, &array.v, nullptr, nullptr)) || array.v.vt != (VT_ARRAY | VT_UNKNOWN)) {
        return 0;
    }
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array.v.parray, 1, &lower);
    SafeArrayGetUBound(array.v.parray, 1, &upper);
    if (upper - lower + 1 != count) {
        return 0;
    }
    for (LONG i = lower; i <= upper; ++i) {
        IUnknown* element = nullptr;
        if (FAILED(SafeArrayGetElement(array.v.parray, &i, &element)) || element == nullptr) {
            continue;
        }
        common::ComPtr<IUnknown> owned;
        *owned.Put() = element;
        common::ComPtr<IWbemClassObject> state;
        LONG frequency = 0;
        LONG percent = 0;
        if (SUCCEEDED(element->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(state.Put()))) &&
            ReadLong(state.Get(), L"Frequency", &frequency) && ReadLong(state.Get(), L"PercentFrequency", &percent) &&
            percent == kFullPercentFrequency) {
            return static_cast<DWORD>(frequency);
        }
    }
    return 0;
}

}  // namespace

DWORD QueryProcessorStatusMhz() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"QueryProcessorStatusMhz", L"Enter");
    DWORD mhz = 0;
    common::ComPtr<IWbemLocator> locator;
    common::ComPtr<IWbemServices> services;
    common::ComPtr<IEnumWbemClassObject> instances;
    Bstr space(L"root\\WMI");
    Bstr className(L"ProcessorStatus");
    if (SUCCEEDED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                   reinterpret_cast<void**>(locator.Put()))) &&
        SUCCEEDED(locator->ConnectServer(space.s, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put())) &&
        SUCCEEDED(services->CreateInstanceEnum(className.s, WBEM_FLAG_SHALLOW, nullptr, instances.Put()))) {
        while (mhz == 0) {
            common::ComPtr<IWbemClassObject> instance;
            ULONG returned = 0;
            if (instances->Next(kPerfStatesTimeout, 1, instance.Put(), &returned) != WBEM_S_NO_ERROR ||
                returned == 0) {
                break;
            }
            mhz = FrequencyOfInstance(instance.Get());
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"QueryProcessorStatusMhz", L"Exit retval:%08x", mhz);
    return mhz;
}

}  // namespace meter
