#include "tarvik/region_list.h"

#include "tarvik/registry_operation.h"

namespace tarvik {
namespace {

RegionEntry g_regions[kRegionSlots] = {};
wchar_t g_regionNames[kRegionSlots][kRegionNameChars] = {};

}  // namespace

void ClearRegionTable() noexcept {
    for (DWORD i = 0; i < kRegionSlots; ++i) {
        g_regions[i] = {0, nullptr};
        g_regionNames[i][0] = L'\0';
    }
}

DWORD BuildRegionTable(HINSTANCE resources) noexcept {
    ClearRegionTable();
    g_regions[0] = {0, g_regionNames[0]};
    DWORD next = 1;
    for (DWORD region = 1; region <= kMaxRegionId && next < kRegionSlots; ++region) {
        if (!CRegistryOperation::IsRegionOffered(region)) {
            continue;
        }
        wchar_t* name = g_regionNames[next];
        if (LoadStringW(resources, kRegionNameStringBase + region, name, kRegionNameChars) <= 0) {
            name[0] = L'\0';
        }
        g_regions[next] = {region, name};
        ++next;
    }
    return next;
}

RegionEntry* RegionTable() noexcept { return g_regions; }

DWORD RegionTableCount() noexcept {
    DWORD count = 0;
    for (const RegionEntry& entry : g_regions) {
        if (entry.pszName != nullptr) {
            ++count;
        }
    }
    return count;
}

}  // namespace tarvik
