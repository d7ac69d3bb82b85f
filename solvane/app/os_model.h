// Which Windows the program runs on (the OS model) and the language of its own version resource.
#pragma once

#include <windows.h>

#include "app/app_globals.h"
#include "common/os_model.h"

// The OS model lives in common/ (one rule for the whole program).
using common::ApplyOsModelOverride;
using common::ClassifyOsVersion;
using common::DetermineOsModel;
using common::OsModelOfSystem;
using common::OsVersionAtLeast;
using common::OsVersionEquals;

// Primary language (low 10 bits) of the first "\VarFileInfo\Translation" entry of the file's
// version resource; 0 when the file has none.
WORD ReadVersionLanguage(const wchar_t* path) noexcept;

// The language of the running program's own version resource.
WORD DetermineUiLanguage() noexcept;
