// The maker's filter drivers: what other parts of the program include.
//  - eco_led.h           the ECO indicator LED, its worker thread and check timer
//  - processor_device.h  the processor power-saving device
#pragma once

#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
