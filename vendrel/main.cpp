// Entry of Vendrel.exe, the installer helper: no window, exit code always 0.
#include <windows.h>

#include "common/log.h"
#include "vendrel/installer.h"

namespace {
constexpr wchar_t kTraceKey[] = L"Software\\Orvel\\Solvane\\DbgLog";
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_Log.Init(kTraceKey);
    SetErrorLogModule(instance);
    return vendrel::RunInstaller(GetCommandLineW());
}
