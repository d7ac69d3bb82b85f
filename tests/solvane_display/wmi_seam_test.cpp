// The WMI channel of the panel through the locator seam: levels and instance name from the
// WmiMonitorBrightness rows (Wine's "ROOT\WMI" has none), WmiSetBrightness with its two string
// parameters on the instance's path, and every failing step with its own trace line.
#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log.h"
#include "tests/solvane_app/trace_file.h"
#include "display/display.h"
#include "display/display_seams.h"

namespace {

// What the fake namespace holds and where it fails.
struct Row {
    std::wstring instanceName;
    std::vector<BYTE> level;
    LONG levels;
};
struct FakeNamespace {
    std::vector<Row> rows;
    std::wstring failAt;  // "connect", "GetObject", "GetMethod", "SpawnInstance", "Put", "ExecMethod", "ReturnValue"
    std::wstring brightness;
    std::wstring timeout;
    std::wstring path;
    int queries = 0;  // WmiMonitorBrightness enumerations
};
FakeNamespace g_ns;

template <typename T>
class RefCounted : public T {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    virtual ~RefCounted() = default;

private:
    ULONG m_refs = 1;
};

enum class Role { Row, Class, InClass, InInstance, OutInstance };

class FakeObject : public RefCounted<IWbemClassObject> {
public:
    FakeObject(Role role, const Row* row) : m_role(role), m_row(row) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWbemClassObject)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE*, LONG*) override {
        VariantInit(value);
        if (m_role == Role::OutInstance && lstrcmpW(name, L"ReturnValue") == 0) {
            if (g_ns.failAt == L"ReturnValue") {
                return WBEM_E_NOT_FOUND;
            }
            value->vt = VT_I4;
            value->lVal = 0;
            return S_OK;
        }
        if (m_role != Role::Row) {
            return WBEM_E_NOT_FOUND;
        }
        if (lstrcmpW(name, L"InstanceName") == 0) {
            value->vt = VT_BSTR;
            value->bstrVal = SysAllocString(m_row->instanceName.c_str());
            return S_OK;
        }
        if (lstrcmpW(name, L"Levels") == 0) {
            value->vt = VT_I4;
            value->lVal = m_row->levels;
            return S_OK;
        }
        if (lstrcmpW(name, L"Level") == 0) {
            SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(m_row->level.size()));
            BYTE* data = nullptr;
            SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
            std::copy(m_row->level.begin(), m_row->level.end(), data);
            SafeArrayUnaccessData(array);
            value->vt = VT_ARRAY | VT_UI1;
            value->parray = array;
            return S_OK;
        }
        return WBEM_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG, VARIANT* value, CIMTYPE) override {
        if (m_role != Role::InInstance || g_ns.failAt == L"Put" || value->vt != VT_BSTR) {
            return WBEM_E_FAILED;
        }
        (lstrcmpW(name, L"Brightness") == 0 ? g_ns.brightness : g_ns.timeout) = value->bstrVal;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject** instance) override {
        if (m_role != Role::InClass || g_ns.failAt == L"SpawnInstance") {
            return WBEM_E_FAILED;
        }
        *instance = new FakeObject(Role::InInstance, nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG, IWbemClassObject** in, IWbemClassObject** out) override {
        if (m_role != Role::Class || g_ns.failAt == L"GetMethod" || lstrcmpW(name, L"WmiSetBrightness") != 0) {
            return WBEM_E_NOT_FOUND;
        }
        *in = new FakeObject(Role::InClass, nullptr);
        if (out != nullptr) {
            *out = nullptr;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT *, SAFEARRAY **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR *, VARIANT *, CIMTYPE *, LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject *, IWbemClassObject *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR *, IWbemClassObject **, IWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR *) override { return E_NOTIMPL; }

private:
    Role m_role;
    const Row* m_row;
};

class FakeEnum : public RefCounted<IEnumWbemClassObject> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumWbemClassObject) ? this : nullptr;
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
        *returned = 0;
        if (count == 0 || m_next >= g_ns.rows.size()) {
            return WBEM_S_FALSE;
        }
        objects[0] = new FakeObject(Role::Row, &g_ns.rows[m_next++]);
        *returned = 1;
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
    size_t m_next = 0;
};

class FakeServices : public RefCounted<IWbemServices>, public IClientSecurity {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWbemServices)) {
            *out = static_cast<IWbemServices*>(this);
        } else if (IsEqualIID(riid, IID_IClientSecurity)) {
            *out = static_cast<IClientSecurity*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        RefCounted<IWbemServices>::AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return RefCounted<IWbemServices>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RefCounted<IWbemServices>::Release(); }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                           DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD, void*, DWORD) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG, IWbemContext*, IWbemClassObject** object,
                                        IWbemCallResult**) override {
        if (g_ns.failAt == L"GetObject" || lstrcmpW(path, L"WmiMonitorBrightnessMethods") != 0) {
            return WBEM_E_NOT_FOUND;
        }
        *object = new FakeObject(Role::Class, nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR, const BSTR query, LONG, IWbemContext*,
                                        IEnumWbemClassObject** rows) override {
        if (wcsstr(query, L"WmiMonitorBrightness") == nullptr) {
            return WBEM_E_INVALID_CLASS;
        }
        ++g_ns.queries;
        *rows = new FakeEnum();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG, IWbemContext*,
                                         IWbemClassObject* in, IWbemClassObject** out, IWbemCallResult**) override {
        if (g_ns.failAt == L"ExecMethod" || in == nullptr || lstrcmpW(method, L"WmiSetBrightness") != 0) {
            return WBEM_E_FAILED;
        }
        g_ns.path = path;
        *out = new FakeObject(Role::OutInstance, nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext *, IWbemServices **, IWbemCallResult **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext *, IWbemCallResult **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext *, IWbemCallResult **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemObjectSink *) override { return E_NOTIMPL; }
};

class FakeLocator : public RefCounted<IWbemLocator> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWbemLocator) ? this : nullptr;
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR ns, const BSTR, const BSTR, const BSTR, LONG flags,
                                            const BSTR, IWbemContext*, IWbemServices** services) override {
        if (g_ns.failAt == L"connect" || lstrcmpiW(ns, L"ROOT\\WMI") != 0 || flags != 128) {
            return WBEM_E_INVALID_NAMESPACE;
        }
        *services = new FakeServices();
        return S_OK;
    }
};

HRESULT CreateFakeLocator(IWbemLocator** locator) {
    *locator = new FakeLocator();
    return S_OK;
}

class WmiSeam : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        m_real = display::g_pfnCreateWbemLocator;
        g_ns = FakeNamespace{};
        display::g_pfnCreateWbemLocator = CreateFakeLocator;
        display::ReleaseWMI();
    }
    void TearDown() override {
        display::ReleaseWMI();
        display::g_pfnCreateWbemLocator = m_real;
        g_ns = FakeNamespace{};
        CoUninitialize();
    }
    display::CreateWbemLocatorFn m_real = nullptr;
};

TEST_F(WmiSeam, LevelsOfTheLastInstanceNeverExceedItsArray) {
    struct Case {
        const char* name;
        std::vector<Row> rows;
        HRESULT expected;
        std::vector<WORD> levels;
    };
    const Case cases[] = {
        {"one panel", {{L"DISPLAY\\A\\0", {0, 25, 50, 100}, 4}}, S_OK, {0, 25, 50, 100}},
        {"the last instance wins", {{L"A", {1, 2}, 2}, {L"B", {5, 6, 7}, 3}}, S_OK, {5, 6, 7}},
        {"count larger than the array", {{L"A", {10, 20}, 300}}, S_OK, {10, 20}},
        {"count below the array", {{L"A", {10, 20, 30}, 2}}, S_OK, {10, 20}},
        {"no rows", {}, S_OK, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_ns.rows = c.rows;
        std::vector<WORD> levels;
        DWORD count = 0xFFFF;
        EXPECT_EQ(display::GetWmiMonitorBrightnessLevels(&levels, &count), c.expected);
        EXPECT_EQ(levels, c.levels);
        EXPECT_EQ(count, c.levels.size());
        display::ReleaseWMI();
    }
}

TEST_F(WmiSeam, DiscoveryTakesTheWmiLevelsFirst) {
    g_ns.rows = {{L"DISPLAY\\A\\0", {0, 30, 60, 90, 100}, 5}};
    EXPECT_TRUE(display::InitLCDDevice());
    EXPECT_EQ(display::dwBLevel, 5u);
    EXPECT_EQ(display::nsr_lcd_val, (std::vector<WORD>{0, 30, 60, 90, 100}));
    display::nsr_lcd_val = {0, 1, 2, 3, 4, 5, 6, 7};
    display::dwBLevel = display::kDefaultLevelCount;
}

TEST_F(WmiSeam, SetBrightnessCallsTheMethodOnTheInstancePath) {
    g_ns.rows = {{L"DISPLAY\\SIM0001\\4&1", {0, 100}, 2}};
    ASSERT_EQ(display::InitializeWMI(), S_OK);
    EXPECT_EQ(display::SetWmiMonitorBrightness(L"", 42), S_OK);
    EXPECT_EQ(g_ns.brightness, L"42");
    EXPECT_EQ(g_ns.timeout, L"0");
    EXPECT_EQ(g_ns.path, L"WmiMonitorBrightnessMethods.InstanceName='DISPLAY\\SIM0001\\4&1'");
    EXPECT_EQ(display::SetWmiMonitorBrightness(L"OTHER", 7), S_OK);
    EXPECT_EQ(g_ns.path, L"WmiMonitorBrightnessMethods.InstanceName='OTHER'");
    wchar_t name[display::kInstanceNameChars] = {};
    EXPECT_EQ(display::GetWmiMonitorInstanceName(name, ARRAYSIZE(name)), S_OK);
    EXPECT_STREQ(name, L"DISPLAY\\SIM0001\\4&1");
}

TEST_F(WmiSeam, PanelSetsUseTheKeptInstanceNameWithoutAskingAgain) {
    const std::wstring pathA = L"WmiMonitorBrightnessMethods.InstanceName='DISPLAY\\SIM0001\\4&1'";
    g_ns.rows = {{L"DISPLAY\\SIM0001\\4&1", {0, 100}, 2}};
    // The first set connects; the connection fetches and keeps the name.
    display::SetPanelBrightness(30);
    EXPECT_EQ(g_ns.brightness, L"30");
    EXPECT_EQ(g_ns.path, pathA);
    EXPECT_EQ(g_ns.queries, 1);
    EXPECT_STREQ(display::WmiInstanceName(), L"DISPLAY\\SIM0001\\4&1");
    display::SetPanelBrightness(40);
    EXPECT_EQ(g_ns.brightness, L"40");
    EXPECT_EQ(g_ns.path, pathA);
    EXPECT_EQ(g_ns.queries, 1) << "the second set takes the kept name";

    // Connected while no panel instance was listed: the first set fetches the name and keeps it.
    display::ReleaseWMI();
    EXPECT_STREQ(display::WmiInstanceName(), L"");
    g_ns.rows.clear();
    ASSERT_EQ(display::InitializeWMI(), S_OK);
    EXPECT_STREQ(display::WmiInstanceName(), L"");
    g_ns.rows = {{L"DISPLAY\\B", {0, 100}, 2}};
    g_ns.queries = 0;
    display::SetPanelBrightness(50);
    EXPECT_EQ(g_ns.path, L"WmiMonitorBrightnessMethods.InstanceName='DISPLAY\\B'");
    EXPECT_EQ(g_ns.queries, 1);
    display::SetPanelBrightness(60);
    EXPECT_EQ(g_ns.brightness, L"60");
    EXPECT_EQ(g_ns.path, L"WmiMonitorBrightnessMethods.InstanceName='DISPLAY\\B'");
    EXPECT_EQ(g_ns.queries, 1);
}

TEST_F(WmiSeam, EveryFailingStepFailsTheSetWithItsOwnTrace) {
    struct Case {
        const wchar_t* failAt;
        const wchar_t* trace;
    };
    const Case cases[] = {
        {L"connect", L"InitializeWMI failed"},
        {L"GetObject", L"pSvc->GetObject failed"},
        {L"GetMethod", L"pClass->GetMethod failed"},
        {L"SpawnInstance", L"pInClass->SpawnInstance failed"},
        {L"Put", L"pInInst->Put failed"},
        {L"ExecMethod", L"pSvc->ExecMethod failed"},
        {L"ReturnValue", L"pOutInst->Get failed"},
    };
    testsupport::TraceFile trace;
    ASSERT_TRUE(trace.Available());
    ASSERT_EQ(g_Log.Init(L"Software\\Orvel\\Solvane\\DbgLog"), static_cast<DWORD>(ERROR_SUCCESS));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.failAt)));
        display::ReleaseWMI();
        g_ns.rows = {{L"A", {0, 100}, 2}};
        g_ns.failAt = c.failAt;
        const size_t before = trace.LinesOf(GetCurrentProcessId()).size();
        EXPECT_LT(display::SetWmiMonitorBrightness(L"A", 10), 0) << "a failure is negative";
        const auto lines = trace.LinesOf(GetCurrentProcessId());
        bool found = false;
        for (size_t i = before; i < lines.size(); ++i) {
            found = found || lines[i].message.find(c.trace) != std::wstring::npos;
        }
        EXPECT_TRUE(found);
    }
}

}  // namespace
