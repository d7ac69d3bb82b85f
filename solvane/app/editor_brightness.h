// The plan editor's display group: fixed brightness on mains and battery (or the external
// monitors' level), ambient-light control with its two range sliders, the dim sliders.
#pragma once

#include <windows.h>

#include "plans/plan_record.h"
#include "plans/power_values.h"

namespace editor_brightness {

// WM_INITDIALOG: rebuilds the choice tables, writes the group caption and hides what the
// machine lacks.
void Prepare(HWND dialog);
// Places the sliders, radios and check box on the plan's values.
void Show(HWND dialog, const plans::PlanRecord& record, const plans::PowerValues& values);
// Reads them back into the record and values. A value no choice holds is given back as it was
// unless its slider was moved.
void Collect(HWND dialog, plans::PlanRecord* record, plans::PowerValues* values);
// WM_HSCROLL of one of the group's sliders: labels (and the range thumbs) follow; false for a
// slider of another group.
bool OnSlider(HWND dialog, int id);
// WM_COMMAND of the radios and the monitor check box: what they enable follows.
void OnCommand(HWND dialog, int id);

}  // namespace editor_brightness
