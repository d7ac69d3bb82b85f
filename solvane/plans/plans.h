// Power plans and ECO modes: what other parts of the program include.
//  - settings.h      SettingsRecord g_Settings, FlagWord bits, LoadSettings/SaveSettings, mode slots
//  - power_values.h  per-setting access, PowerValues, processor presets, plan enumeration
//  - plan_record.h   PlanRecord, ReadPlanRecord, SavePlan, SetLedNo, AssignModes, FindModeSlots
//  - plan_list.h     the plan-list lock, g_PlanList, pinned and other plans, activepsi
//  - power_guids.h   the plan, group and setting GUIDs
//  - guid_text.h     GUID text forms
#pragma once

#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"
