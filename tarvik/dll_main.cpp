// Entry point of Tarvik.dll. Nothing here loads a library or starts a process: the loader lock is
// held. The first export call readies the library (see library.cpp).
#include <windows.h>

#include "tarvik/library.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        tarvik::SetLibraryModule(instance);
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        tarvik::ShutDownLibrary(reserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}
