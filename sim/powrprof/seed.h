// The power configuration a fresh simulated PC starts with: the three Windows plans and every
// setting the product handles, with Windows' usual defaults per plan and power source.
#pragma once

#include <windows.h>

namespace simpower {

// Rewrites the plans and setting definitions under the Power key (other values there, such as
// the suspend record, stay). withWirelessGraphics: whether the wireless adapter and graphics
// power settings exist on this machine. Balanced becomes the active plan.
DWORD SeedStore(bool withWirelessGraphics);

}  // namespace simpower
