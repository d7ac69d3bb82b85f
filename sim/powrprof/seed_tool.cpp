// powrprof-seed.exe: writes the power configuration of a fresh simulated PC (used by install.sh).
//   powrprof-seed --wireless-graphics 1|0
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "sim/powrprof/seed.h"

namespace {

constexpr int EXIT_BAD_ARGUMENTS = 2;
constexpr int EXIT_FAILED = 1;

int Usage() {
    fwprintf(stderr, L"usage: powrprof-seed --wireless-graphics 1|0\n");
    return EXIT_BAD_ARGUMENTS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || wcscmp(argv[1], L"--wireless-graphics") != 0) return Usage();
    bool withWirelessGraphics;
    if (wcscmp(argv[2], L"1") == 0) {
        withWirelessGraphics = true;
    } else if (wcscmp(argv[2], L"0") == 0) {
        withWirelessGraphics = false;
    } else {
        return Usage();
    }
    DWORD rc = simpower::SeedStore(withWirelessGraphics);
    if (rc != ERROR_SUCCESS) {
        fwprintf(stderr, L"powrprof-seed: seeding failed with error %lu\n", rc);
        return EXIT_FAILED;
    }
    return 0;
}
