#include "tarvik/library.h"

#include "common/handles.h"
#include "common/log.h"
#include "tarvik/data_log.h"
#include "tarvik/region_list.h"
#include "tarvik/registry_operation.h"
#include "tarvik/resource_ids.h"

namespace tarvik {
namespace {

constexpr int kHeaderChars = 256;

HINSTANCE g_module = nullptr;
INIT_ONCE g_initOnce = INIT_ONCE_STATIC_INIT;
bool g_ready = false;
HMODULE g_serviceModule = nullptr;  // freed by ShutDownLibrary
DataServiceApi g_api;

BOOL TarvikInitialize() noexcept {
    constexpr wchar_t kFn[] = L"TarvikInitialize";
    g_Log.Init(kDbgLogKey);
    LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
    if (g_api.EFInitialize != nullptr) {
        g_api.EFInitialize();
    }
    BuildRegionTable(g_module);
    const BOOL result = TheEngine().Open();
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    ReadDebugMode(now, true);
    ResetDataLogClock(now);
    wchar_t header[kHeaderChars] = {};
    if (LoadStringW(g_module, IDS_DATA_LOG_HEADER, header, kHeaderChars) > 0) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kFn, L"%s", header);
    }
    LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Exit retval:%08x", result);
    return result;
}

BOOL CALLBACK InitializeOnce(PINIT_ONCE, PVOID, PVOID*) {
    g_serviceModule = LoadLibraryW(kServiceLibrary);
    BindDataService(g_serviceModule, g_api);
    TarvikInitialize();
    g_ready = true;
    return TRUE;
}

}  // namespace

void SetLibraryModule(HINSTANCE module) noexcept { g_module = module; }
HINSTANCE LibraryModule() noexcept { return g_module; }

void EnsureLibraryReady() noexcept { InitOnceExecuteOnce(&g_initOnce, InitializeOnce, nullptr, nullptr); }

void ShutDownLibrary(bool processEnding) noexcept {
    if (!g_ready) {
        return;
    }
    g_ready = false;
    if (!processEnding && g_api.EFFinalize != nullptr) {
        g_api.EFFinalize();
    }
    ClearRegionTable();
    TheEngine().Close();
    if (!processEnding && g_serviceModule != nullptr) {
        common::UniqueModule service(g_serviceModule);
    }
    g_serviceModule = nullptr;
    g_api = {};
}

const DataServiceApi& ServiceApi() noexcept { return g_api; }

Engine& TheEngine() noexcept {
    static Engine engine;
    return engine;
}

}  // namespace tarvik
