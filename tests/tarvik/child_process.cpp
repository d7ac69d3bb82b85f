#include "tests/tarvik/child_process.h"

#include <cstring>

#include "tests/tarvik/test_support.h"

namespace tarvik_test {
namespace {

constexpr DWORD kChildWaitMs = 60000;

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p != '\0'; ++p) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    }
    return wide;
}

void Signal(const char* name) {
    common::UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, Widen(name).c_str()));
    if (event) {
        SetEvent(event.Get());
    }
}

void WaitFor(const char* name) {
    common::UniqueHandle event(OpenEventW(SYNCHRONIZE, FALSE, Widen(name).c_str()));
    if (event) {
        WaitForSingleObject(event.Get(), kChildWaitMs);
    }
}

}  // namespace

int RunChildMode(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--child") != 0) {
        return -1;
    }
    const char* mode = argv[2];
    if (std::strcmp(mode, "hold-lock-and-die") == 0) {
        // Takes the count's lock and dies holding it.
        common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Tarvik_COUNTERMutex"));
        WaitForSingleObject(mutex.Get(), kChildWaitMs);
        TerminateProcess(GetCurrentProcess(), kChildCrashed);
        return kChildCrashed;
    }
    if (std::strcmp(mode, "sleep") == 0 && argc >= 4) {
        WaitFor(argv[3]);
        return 0;
    }
    Tarvik lib;
    if (!lib.Load()) {
        return kChildLoadFailed;
    }
    if (std::strcmp(mode, "stop") == 0) {
        lib.StopEngine();
        lib.Unload();
        return 0;
    }
    if (!lib.StartEngine()) {
        lib.Unload();
        return kChildStartFailed;
    }
    if (std::strcmp(mode, "start-and-die") == 0) {
        TerminateProcess(GetCurrentProcess(), kChildCrashed);
        return kChildCrashed;
    }
    if (std::strcmp(mode, "start-hold") == 0 && argc >= 5) {
        Signal(argv[3]);
        WaitFor(argv[4]);
        lib.StopEngine();
    }
    lib.Unload();
    return 0;
}

common::UniqueHandle StartChild(const std::wstring& arguments) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --child " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return {};
    }
    common::UniqueHandle thread(info.hThread);
    return common::UniqueHandle(info.hProcess);
}

int WaitChild(const common::UniqueHandle& child, DWORD timeoutMs) {
    if (!child || WaitForSingleObject(child.Get(), timeoutMs) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(child.Get(), &code);
    return static_cast<int>(code);
}

}  // namespace tarvik_test
