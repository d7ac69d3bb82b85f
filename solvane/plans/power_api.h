// The power-management calls the plan code makes, gathered in one table so that every caller goes
// through the same entry points (powrprof.dll by default; tests may install another table).
#pragma once

#include <windows.h>
#include <powrprof.h>

namespace plans {

struct PowerApi {
    DWORD(WINAPI* readACValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    DWORD(WINAPI* readDCValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    DWORD(WINAPI* writeACValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    DWORD(WINAPI* writeDCValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    DWORD(WINAPI* readFriendlyName)(HKEY, const GUID*, const GUID*, const GUID*, PUCHAR, LPDWORD);
    DWORD(WINAPI* writeFriendlyName)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD);
    DWORD(WINAPI* readDescription)(HKEY, const GUID*, const GUID*, const GUID*, PUCHAR, LPDWORD);
    DWORD(WINAPI* writeDescription)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD);
    DWORD(WINAPI* enumerate)(HKEY, const GUID*, const GUID*, POWER_DATA_ACCESSOR, ULONG, UCHAR*, DWORD*);
    DWORD(WINAPI* getActiveScheme)(HKEY, GUID**);
    DWORD(WINAPI* setActiveScheme)(HKEY, const GUID*);
};

// The table in use.
const PowerApi& Power() noexcept;
// Installs another table (for tests); null restores powrprof.
void SetPowerApi(const PowerApi* api) noexcept;

}  // namespace plans
