// simctl commands for the maker's DLLs of the simulated PC (Vexapi, Tessit, Yarrow): what they
// were told, and the answers they give (registry layouts in sim/<piece>/<piece>_api.h).
#include <windows.h>

#include <cerrno>
#include <cwchar>
#include <string>
#include <vector>

#include "common/handles.h"
#include "sim/simctl/simctl.h"
#include "sim/simlib/simlib.h"

namespace {

constexpr wchar_t VEXAPI[] = L"Vexapi";
constexpr wchar_t TESSIT[] = L"Tessit";
constexpr wchar_t YARROW[] = L"Yarrow";
constexpr wchar_t OFF[] = L"off";
constexpr DWORD BYTE_MAX_VALUE = 0xFF;
constexpr DWORD WORD_MAX_VALUE = 0xFFFF;
constexpr DWORD PMC_INFO_SIZE = 5;

// A decimal or 0x-hexadecimal number no larger than limit.
bool ParseUpTo(const std::wstring& text, DWORD limit, DWORD& value) {
    if (text.empty() || text[0] == L'-') {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long long parsed = wcstoull(text.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != L'\0' || parsed > limit) {
        return false;
    }
    value = static_cast<DWORD>(parsed);
    return true;
}

LONG DeleteValue(const wchar_t* piece, const wchar_t* name) {
    std::wstring path = simlib::PieceKey(piece);
    common::UniqueRegKey key;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.Put());
    if (rc != ERROR_SUCCESS) {
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    }
    rc = RegDeleteValueW(key.Get(), name);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

int Report(LONG rc, const wchar_t* command, const wchar_t* done) {
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl %ls: cannot write the setting (error %ld)\n", command, rc);
        return 1;
    }
    simctl::Out(L"%ls\n", done);
    return 0;
}

// cmos-mode auto|manual|N|off: the brightness-mode byte Vexapi reports, whatever was written.
int RunCmosMode(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"cmos-mode";
    if (args.size() != 1) {
        return simctl::UsageError(name, L"give auto, manual, a byte value or off");
    }
    if (args[0] == OFF) {
        return Report(DeleteValue(VEXAPI, L"BrightModeOverride"), name, L"the mode byte follows the written block");
    }
    DWORD mode = 0;
    if (args[0] == L"auto") {
        mode = 1;
    } else if (args[0] == L"manual") {
        mode = 0;
    } else if (!ParseUpTo(args[0], BYTE_MAX_VALUE, mode)) {
        return simctl::UsageError(name, L"the mode byte must be 0 to 255 (0x81 for the nudge state)");
    }
    return Report(simlib::WriteDword(simlib::PieceKey(VEXAPI), L"BrightModeOverride", mode), name,
                  L"the firmware reports the mode byte you gave");
}

// tessit-answer N|off: the eco levels Tessit answers (high byte performance, low byte saving).
int RunTessitAnswer(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"tessit-answer";
    if (args.size() != 1) {
        return simctl::UsageError(name, L"give a 16-bit answer (0x0304) or off");
    }
    if (args[0] == OFF) {
        return Report(DeleteValue(TESSIT, L"Answer"), name, L"Tessit rates each plan itself");
    }
    DWORD answer = 0;
    if (!ParseUpTo(args[0], WORD_MAX_VALUE, answer)) {
        return simctl::UsageError(name, L"the answer must be 0 to 0xFFFF");
    }
    return Report(simlib::WriteDword(simlib::PieceKey(TESSIT), L"Answer", answer), name, L"Tessit answers as told");
}

// display-mode N: what Yarrow reports as the display mode (1 = the desktop is in front).
int RunDisplayMode(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"display-mode";
    DWORD mode = 0;
    if (args.size() != 1 || !ParseUpTo(args[0], 0xFFFFFFFF, mode)) {
        return simctl::UsageError(name, L"give the mode: 1 = desktop in front, 2 = a full-screen app in front");
    }
    return Report(simlib::WriteDword(simlib::PieceKey(YARROW), L"DisplayMode", mode), name,
                  mode == 1 ? L"the desktop is in front" : L"a full-screen app is in front");
}

// maker-log vexapi|tessit|yarrow [--clear]
int RunMakerLog(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"maker-log";
    const wchar_t* piece = nullptr;
    if (!args.empty()) {
        if (_wcsicmp(args[0].c_str(), VEXAPI) == 0) {
            piece = VEXAPI;
        } else if (_wcsicmp(args[0].c_str(), TESSIT) == 0) {
            piece = TESSIT;
        } else if (_wcsicmp(args[0].c_str(), YARROW) == 0) {
            piece = YARROW;
        }
    }
    if (piece == nullptr || args.size() > 2 || (args.size() == 2 && args[1] != L"--clear")) {
        return simctl::UsageError(name, L"give vexapi, tessit or yarrow, and optionally --clear");
    }
    if (args.size() == 2) {
        simlib::ClearLog(piece);
        simctl::Out(L"the %ls call log is empty\n", piece);
        return 0;
    }
    for (const std::wstring& line : simlib::ReadLog(piece)) {
        simctl::Out(L"%ls\n", line.c_str());
    }
    return 0;
}

SIMCTL_COMMAND(L"cmos-mode", L"cmos-mode auto|manual|N|off", L"set the brightness-mode byte Vexapi reports",
               RunCmosMode);
SIMCTL_COMMAND(L"tessit-answer", L"tessit-answer N|off", L"fix the eco levels Tessit answers", RunTessitAnswer);
SIMCTL_COMMAND(L"display-mode", L"display-mode N", L"set the display mode Yarrow reports (1 = desktop)",
               RunDisplayMode);
SIMCTL_COMMAND(L"maker-log", L"maker-log vexapi|tessit|yarrow [--clear]", L"print (or clear) a maker DLL's call log",
               RunMakerLog);

void PrintMakerStatus() {
    std::wstring vex = simlib::PieceKey(VEXAPI);
    std::vector<BYTE> block;
    if (simlib::ReadBinary(vex, L"PmcInfo", block) == ERROR_SUCCESS && block.size() == PMC_INFO_SIZE) {
        simctl::Out(L"  Vexapi: block %02X %02X %02X %02X %02X, mode byte 0x%02lX\n", block[0], block[1], block[2],
                    block[3], block[4], simlib::DwordOr(vex, L"BrightMode", 0) & BYTE_MAX_VALUE);
    } else {
        simctl::Out(L"  Vexapi: no block written\n");
    }
    DWORD over = 0;
    if (simlib::ReadDword(vex, L"BrightModeOverride", over) == ERROR_SUCCESS) {
        simctl::Out(L"  Vexapi: reports mode byte 0x%02lX whatever is written\n", over & BYTE_MAX_VALUE);
    }
    std::wstring tes = simlib::PieceKey(TESSIT);
    DWORD answer = 0;
    bool fixed = simlib::ReadDword(tes, L"Answer", answer) == ERROR_SUCCESS;
    simctl::Out(L"  Tessit: %ls, %lu call(s)%ls", simlib::DwordOr(tes, L"Initialized", 0) ? L"initialised" : L"idle",
                simlib::DwordOr(tes, L"CallCount", 0), fixed ? L", answer fixed at " : L"\n");
    if (fixed) {
        simctl::Out(L"0x%04lX\n", answer);
    }
    std::wstring yar = simlib::PieceKey(YARROW);
    std::wstring text;
    simlib::ReadString(yar, L"LastToastText", text);
    simctl::Out(L"  Yarrow: display mode %lu, %lu toast(s)%ls%ls\n", simlib::DwordOr(yar, L"DisplayMode", 1),
                simlib::DwordOr(yar, L"ToastCount", 0), text.empty() ? L"" : L", last: ", text.c_str());
}

SIMCTL_STATUS(L"maker DLLs", PrintMakerStatus);

}  // namespace
