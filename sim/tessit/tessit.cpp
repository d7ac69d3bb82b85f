// Tessit.dll stand-in: rates a plan's eco levels, keeps the last request and logs every call.
#include "sim/tessit/tessit_api.h"

#include <strsafe.h>

#include <string>

#include "sim/simlib/simlib.h"

using namespace tessitsim;

namespace {

constexpr DWORD MAX_LEVEL = 5;
constexpr DWORD PERCENT_PER_PERFORMANCE_LEVEL = 20;
constexpr DWORD FULL_PROCESSOR_STATE = 100;
constexpr DWORD SAVING_MONITOR_S = 600;
constexpr DWORD SAVING_DISK_S = 1200;
constexpr DWORD SAVING_STANDBY_S = 1800;
constexpr DWORD SAVING_HIBERNATE_S = 7200;

LONG g_initialized = 0;  // TessitApiInitializeApp calls not yet finalised

std::wstring Key() { return simlib::PieceKey(PIECE); }

bool Within(DWORD seconds, DWORD limit) { return seconds >= 1 && seconds <= limit; }

DWORD Rate(const TESSIT_REQUEST& r) {
    DWORD performance = r.dwMaxProcessorAC / PERCENT_PER_PERFORMANCE_LEVEL;
    if (performance > MAX_LEVEL) {
        performance = MAX_LEVEL;
    }
    DWORD saving = 0;
    saving += Within(r.dwMonitorAC, SAVING_MONITOR_S) ? 1 : 0;
    saving += Within(r.dwDiskAC, SAVING_DISK_S) ? 1 : 0;
    saving += Within(r.dwStandbyAC, SAVING_STANDBY_S) ? 1 : 0;
    saving += Within(r.dwHibernateAC, SAVING_HIBERNATE_S) ? 1 : 0;
    saving += r.dwMaxProcessorAC < FULL_PROCESSOR_STATE ? 1 : 0;
    return (performance << 8) | saving;
}

std::wstring Describe(const TESSIT_REQUEST& r) {
    wchar_t text[512] = {};
    StringCchPrintfW(text, ARRAYSIZE(text),
                     L"kind %lu, monitor %lu/%lu, disk %lu/%lu, standby %lu/%lu, hibernate %lu/%lu, "
                     L"processor AC %lu/%lu DC %lu/%lu, brightness %lu/%lu/%lu, als %02X %02X %02X %02X %02X",
                     r.dwKind, r.dwMonitorAC, r.dwMonitorDC, r.dwDiskAC, r.dwDiskDC, r.dwStandbyAC,
                     r.dwStandbyDC, r.dwHibernateAC, r.dwHibernateDC, r.dwMaxProcessorAC, r.dwMinProcessorAC,
                     r.dwMaxProcessorDC, r.dwMinProcessorDC, r.dwBrightnessA, r.dwBrightnessB, r.dwBrightnessC,
                     r.abALS[0], r.abALS[1], r.abALS[2], r.abALS[3], r.abALS[4]);
    return text;
}

void LogResult(const wchar_t* function, const std::wstring& args, DWORD result, const wchar_t* hexFormat) {
    wchar_t value[16] = {};
    StringCchPrintfW(value, ARRAYSIZE(value), hexFormat, result);
    simlib::AppendLog(PIECE, std::wstring(function) + L"(" + args + L") = " + value);
}

}  // namespace

extern "C" {

DWORD WINAPI TessitApiInitializeApp(void) {
    DWORD error = ERROR_SUCCESS;
    if (!simlib::TakeScriptedFailure(PIECE, L"TessitApiInitializeApp", error)) {
        InterlockedIncrement(&g_initialized);
        simlib::WriteDword(Key(), L"Initialized", 1);
    } else if (error == ERROR_SUCCESS) {
        error = ERROR_GEN_FAILURE;
    }
    LogResult(L"TessitApiInitializeApp", L"", error, L"%lu");
    return error;
}

DWORD WINAPI TessitApiGetTessit(const TESSIT_REQUEST* pRequest) {
    const wchar_t* fn = L"TessitApiGetTessit";
    if (pRequest == nullptr) {
        LogResult(fn, L"null", NO_ANSWER, L"0x%04lX");
        return NO_ANSWER;
    }
    std::wstring args = Describe(*pRequest);
    simlib::WriteBinary(Key(), L"LastRequest", pRequest, TESSIT_REQUEST_BYTES);
    DWORD error = ERROR_SUCCESS;
    DWORD answer = NO_ANSWER;
    if (g_initialized <= 0 || simlib::TakeScriptedFailure(PIECE, fn, error)) {
        answer = NO_ANSWER;  // the caller must initialise first; a scripted failure gives no answer
    } else {
        answer = simlib::DwordOr(Key(), L"Answer", Rate(*pRequest));
    }
    LogResult(fn, args, answer, L"0x%04lX");
    return answer;
}

DWORD WINAPI TessitApiFinalizeApp(void) {
    DWORD result = ERROR_SUCCESS;
    if (InterlockedCompareExchange(&g_initialized, 0, 0) <= 0) {
        result = ERROR_NOT_READY;  // finalised without being initialised
    } else if (InterlockedDecrement(&g_initialized) == 0) {
        simlib::WriteDword(Key(), L"Initialized", 0);
    }
    LogResult(L"TessitApiFinalizeApp", L"", result, L"%lu");
    return result;
}

}  // extern "C"
