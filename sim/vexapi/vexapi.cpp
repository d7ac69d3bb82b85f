// Vexapi.dll stand-in: keeps the firmware's ambient-light block and brightness mode in the
// registry and logs every call.
#include "sim/vexapi/vexapi_api.h"

#include <string>
#include <vector>

#include "sim/simlib/simlib.h"

using namespace vexapisim;

namespace {

std::wstring Key() { return simlib::PieceKey(PIECE); }

std::wstring HexBytes(const BYTE* data, DWORD size) {
    std::wstring text;
    wchar_t byte[4] = {};
    for (DWORD i = 0; i < size; ++i) {
        wsprintfW(byte, i == 0 ? L"%02X" : L" %02X", data[i]);
        text += byte;
    }
    return text;
}

// Logs "<function>(<args>) = <result>[ error 0x...][ detail]" and returns result.
int Finish(const wchar_t* function, const std::wstring& args, int result, DWORD error, const std::wstring& detail) {
    std::wstring line = std::wstring(function) + L"(" + args + L") = " + std::to_wstring(result);
    if (result == 0) {
        line += L" error " + simlib::Hex(error);
    }
    if (!detail.empty()) {
        line += L" " + detail;
    }
    simlib::AppendLog(PIECE, line);
    SetLastError(result == 0 ? error : ERROR_SUCCESS);
    return result;
}

// A scripted failure of function, or ERROR_SUCCESS.
DWORD Scripted(const wchar_t* function) {
    DWORD error = ERROR_SUCCESS;
    if (simlib::TakeScriptedFailure(PIECE, function, error) && error == ERROR_SUCCESS) {
        error = ERROR_GEN_FAILURE;
    }
    return error;
}

std::wstring ModeText(DWORD mode) {
    wchar_t text[16] = {};
    wsprintfW(text, L"mode 0x%02X", mode & 0xFF);
    return text;
}

}  // namespace

extern "C" {

int WINAPI CMOSIF_QuerySupported(void) {
    DWORD error = Scripted(L"CMOSIF_QuerySupported");
    int result = error == ERROR_SUCCESS && simlib::DwordOr(Key(), L"Supported", 1) != 0 ? 1 : 0;
    return Finish(L"CMOSIF_QuerySupported", L"", result, error, L"");
}

int WINAPI WRITE_CMOS_PMCINFO(const BYTE* pPmcInfo) {
    const wchar_t* fn = L"WRITE_CMOS_PMCINFO";
    if (pPmcInfo == nullptr) {
        return Finish(fn, L"null", 0, ERROR_INVALID_PARAMETER, L"");
    }
    std::wstring args = HexBytes(pPmcInfo, PMC_INFO_SIZE);
    DWORD error = Scripted(fn);
    if (error == ERROR_SUCCESS) {
        // The block and the mode it implies change together or not at all.
        error = static_cast<DWORD>(simlib::WriteBinary(Key(), L"PmcInfo", pPmcInfo, PMC_INFO_SIZE));
        if (error == ERROR_SUCCESS) {
            DWORD mode = pPmcInfo[0] != 0 ? MODE_AUTOMATIC : MODE_MANUAL;
            error = static_cast<DWORD>(simlib::WriteDword(Key(), L"BrightMode", mode));
        }
    }
    return Finish(fn, args, error == ERROR_SUCCESS ? 1 : 0, error, L"");
}

int WINAPI READ_CMOS_BrightMode(BYTE* pucMode) {
    const wchar_t* fn = L"READ_CMOS_BrightMode";
    if (pucMode == nullptr) {
        return Finish(fn, L"null", 0, ERROR_INVALID_PARAMETER, L"");
    }
    DWORD error = Scripted(fn);
    if (error != ERROR_SUCCESS) {
        return Finish(fn, L"", 0, error, L"");
    }
    DWORD mode = simlib::DwordOr(Key(), L"BrightModeOverride", simlib::DwordOr(Key(), L"BrightMode", MODE_MANUAL));
    *pucMode = static_cast<BYTE>(mode);
    return Finish(fn, L"", 1, ERROR_SUCCESS, ModeText(mode));
}

int WINAPI READ_CMOS_BrightValue(BYTE* pucValue) {
    const wchar_t* fn = L"READ_CMOS_BrightValue";
    if (pucValue == nullptr) {
        return Finish(fn, L"null", 0, ERROR_INVALID_PARAMETER, L"");
    }
    DWORD error = Scripted(fn);
    if (error != ERROR_SUCCESS) {
        return Finish(fn, L"", 0, error, L"");
    }
    DWORD value = simlib::DwordOr(Key(), L"BrightValue", DEFAULT_BRIGHT_VALUE);
    *pucValue = static_cast<BYTE>(value);
    return Finish(fn, L"", 1, ERROR_SUCCESS, L"value " + std::to_wstring(value & 0xFF));
}

int WINAPI READ_CMOS_INFO(BYTE* pPmcInfo) {
    const wchar_t* fn = L"READ_CMOS_INFO";
    if (pPmcInfo == nullptr) {
        return Finish(fn, L"null", 0, ERROR_INVALID_PARAMETER, L"");
    }
    DWORD error = Scripted(fn);
    if (error != ERROR_SUCCESS) {
        return Finish(fn, L"", 0, error, L"");
    }
    std::vector<BYTE> block;
    if (simlib::ReadBinary(Key(), L"PmcInfo", block) != ERROR_SUCCESS || block.size() != PMC_INFO_SIZE) {
        block.assign(PMC_INFO_SIZE, 0);  // nothing written yet: the firmware's block is all zero
    }
    memcpy(pPmcInfo, block.data(), PMC_INFO_SIZE);
    return Finish(fn, L"", 1, ERROR_SUCCESS, HexBytes(block.data(), PMC_INFO_SIZE));
}

}  // extern "C"
