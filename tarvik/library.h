// The library's process-wide state: its own module, the bound data service, the shared blocks.
// Loading the service library and everything else the library needs happens on the first export
// call, never inside the loader's notification.
#pragma once

#include <windows.h>

#include "tarvik/data_service.h"
#include "tarvik/engine.h"

namespace tarvik {

constexpr wchar_t kServiceLibrary[] = L"C:\\Program Files\\Morrow\\MorrowIF.DLL";

void SetLibraryModule(HINSTANCE module) noexcept;
HINSTANCE LibraryModule() noexcept;

// Binds the data service and runs the initialisation once per process; every export calls it.
void EnsureLibraryReady() noexcept;
// Undoes the initialisation (when it ran). When the process is ending, the service library may
// already have been detached: it is then neither called nor freed.
void ShutDownLibrary(bool processEnding) noexcept;

const DataServiceApi& ServiceApi() noexcept;
Engine& TheEngine() noexcept;

// Shows the consent dialog; returns the id that ended it (6 accept, 7 decline) or -1.
INT_PTR ShowConsentDialog(HINSTANCE module) noexcept;

}  // namespace tarvik
