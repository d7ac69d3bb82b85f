// Power plans from the plan definition file (the main program's path with ".ini").
#pragma once

#include <windows.h>

#include "common/ini.h"
#include "vendrel/power_api.h"

namespace vendrel {

// Reads a GUID from section/key; a text starting with "@" names an entry of "ALIASES".
// Empty text or text UuidFromStringW refuses gives false and GUID_NULL.
bool ReadPlanFileGuid(const CIniCtl& ini, const wchar_t* section, const wchar_t* key,
                      GUID* guid) noexcept;

// Creates (or updates) plan <index> of the file. Returns ERROR_SUCCESS when the plan was
// duplicated or already existed and its values were written, else the reason it was skipped.
DWORD CreatePlanFromFile(const CIniCtl& ini, int index, PowerPlanApi& api) noexcept;

// Creates every plan the file lists ("PLANS_INFO"/"COUNT", bounded) and, when "REPLACE" is
// nonzero, makes them the default plans. Returns the number of plans created or updated.
int CreatePlansFromFile(const wchar_t* planFilePath, PowerPlanApi& api) noexcept;

}  // namespace vendrel
