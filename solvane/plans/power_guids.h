// Every GUID the program uses for power plans, setting groups and settings, defined from their
// values in one place (the import libraries of some toolchains lack several of them).
#pragma once

#include <windows.h>

namespace plans {

// Windows' own plans.
extern const GUID kPlanBalanced;          // {381B4222-F694-41F0-9685-FF5BB260DF2E}
extern const GUID kPlanPowerSaver;        // {A1841308-3541-4FAB-BC81-F71556F20B4A}
extern const GUID kPlanHighPerformance;   // {8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C}

// The maker's plans named by the factory mode assignment.
extern const GUID kPlanEcoMode1;          // {9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}
extern const GUID kPlanEcoMode2;          // {6658A2A5-119C-4E4E-931B-972BCFDD14A6}
extern const GUID kPlanEcoMode3;          // {B06FB371-2C24-43A7-B87B-5EEDE712B549}

// Setting groups.
extern const GUID kSubgroupVideo;         // {7516B95F-F776-4464-8C53-06167F40CC99}
extern const GUID kSubgroupDisk;          // {0012EE47-9041-4B5D-9B77-535FBA8B1442}
extern const GUID kSubgroupSleep;         // {238C9FA8-0AAD-41ED-83F4-97BE242C8F20}
extern const GUID kSubgroupProcessor;     // {54533251-82BE-4824-96C1-47B60B740D00}
extern const GUID kSubgroupGraphics;      // {F693FB01-E858-4F00-B20F-F30E12AC06D6}
extern const GUID kSubgroupWireless;      // {19CBB8FA-5279-450E-9FAC-8A3D5FEDD0C1}
extern const GUID kSubgroupButtons;       // {4F971E89-EEBD-4455-A8DE-9E59040E7347}
extern const GUID kSubgroupBattery;       // {E73A048D-BF27-4F12-9731-8B2076E8891F}

// Settings.
extern const GUID kSettingMonitorTimeout;     // {3C0BC021-C8A8-4E07-A973-6B14CBCB2B7E}
extern const GUID kSettingBrightness;         // {ADED5E82-B909-4619-9949-F5D71DAC0BCB}
extern const GUID kSettingDimTimeout;         // {17AAA29B-8B43-4B94-AAFE-35F64DAAF1EE}
extern const GUID kSettingDimBrightness;      // {F1FBFDE2-A960-4165-9F88-50667911CE96}
extern const GUID kSettingDiskTimeout;        // {6738E2C4-E8A5-4A42-B16A-E040E769756E}
extern const GUID kSettingStandbyTimeout;     // {29F6C1DB-86DA-48C5-9FDB-F2B67B1F44DA}
extern const GUID kSettingHibernateTimeout;   // {9D7815A6-7EE4-497E-8888-515A05F02364}
extern const GUID kSettingHybridSleep;        // {94AC6D29-73CE-41A6-809F-6363BA21B47E}
extern const GUID kSettingProcessorMin;       // {893DEE8E-2BEF-41E0-89C6-B55D0929964C}
extern const GUID kSettingProcessorMax;       // {BC5038F7-23E0-4960-96DA-33ABAF5935EC}
extern const GUID kSettingGraphics;           // {191F65B5-D45C-4A4F-8AAE-1AB8BFD980E6}
extern const GUID kSettingWireless;           // {12BBEBE6-58D6-4636-95BB-3217EF867C1A}
extern const GUID kSettingPowerButton;        // {7648EFA3-DD9C-4E3E-B566-50F929386280}
extern const GUID kSettingSleepButton;        // {96996BC0-AD50-47EC-923B-6F41874DD9EB}
extern const GUID kSettingLidClose;           // {5CA83367-6E45-459F-A27B-476B1D01C936}
extern const GUID kSettingCriticalBattery;    // {637EA02F-BBCB-4015-8E2C-A1C7B9C0B546}
extern const GUID kSettingLowBattery;         // {D8742DCB-3E6A-4B3C-B3FE-374623CDCF06}

// Markers accepted by RefreshCurrentPlan instead of a plan: "take the active scheme".
extern const GUID kActiveSchemeMarker;        // {6AF90F23-5255-43B9-8012-E78949FCFE1F}
extern const GUID kActiveSchemeMarkerForced;  // {6FA286C0-1015-4670-BD45-3D459C9B3C6D}

}  // namespace plans
