// MorrowIF.DLL of the simulated PC: the data-service interface. A data set is opened for a
// region and a request mask, its records are read per kind by index, and it is released.
// Configuration, faults and the call log: see morrow_data.h.
#include <windows.h>

#include <new>

#include "sim/morrow/morrow_data.h"

namespace {

constexpr DWORD kDataSetMagic = 0x4D524457;  // "MRDW"
constexpr WORD kBadMonth = 13;

struct DataSet {
    DWORD magic = kDataSetMagic;
    DWORD region = 0;
    DWORD mask = 0;
    morrow::Faults faults;
    std::vector<morrow::Record> records[morrow::kKindCount];
};

DWORD KindSlot(DWORD kind) {
    DWORD slot = 0;
    while ((kind >> slot) > 1) {
        ++slot;
    }
    return slot;
}

DataSet* FromHandle(void* handle) {
    auto* set = static_cast<DataSet*>(handle);
    if (set == nullptr || set->magic != kDataSetMagic) {
        return nullptr;
    }
    return set;
}

BOOL GetRecord(void* handle, DWORD kind, DWORD index, morrow::Record* out) {
    DataSet* set = FromHandle(handle);
    if (set == nullptr || out == nullptr || (set->mask & kind) == 0 || (set->faults.missingKinds & kind) != 0) {
        return FALSE;
    }
    const std::vector<morrow::Record>& records = set->records[KindSlot(kind)];
    if ((set->faults.endlessKinds & kind) != 0) {
        // Never reports the end: every index has a record.
        morrow::Record r = records.empty() ? morrow::Record{} : records[index % records.size()];
        *out = r;
        return TRUE;
    }
    if (index >= records.size()) {
        return FALSE;
    }
    *out = records[index];
    if ((set->faults.badDateKinds & kind) != 0) {
        out->start.wMonth = kBadMonth;
        out->end.wMonth = kBadMonth;
    }
    return TRUE;
}

}  // namespace

extern "C" {

BOOL WINAPI EFInitialize() {
    morrow::AddToLogValue(L"InitializeCalls", 1);
    return TRUE;
}

BOOL WINAPI EFGetData(DWORD region, DWORD mask, void** data, DWORD_PTR, DWORD_PTR) {
    morrow::AddToLogValue(L"GetDataCalls", 1);
    morrow::WriteLogValue(L"LastRegion", region);
    morrow::WriteLogValue(L"LastMask", mask);
    if (data == nullptr || mask == 0) {
        return FALSE;
    }
    *data = nullptr;
    const morrow::Faults faults = morrow::ReadFaults();
    if (faults.openFails) {
        return FALSE;
    }
    auto* set = new (std::nothrow) DataSet;
    if (set == nullptr) {
        return FALSE;
    }
    set->region = region;
    set->mask = mask;
    set->faults = faults;
    const morrow::RegionConfig config = morrow::ReadRegionConfig(region);
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    for (DWORD slot = 0; slot < morrow::kKindCount; ++slot) {
        const DWORD kind = 1u << slot;
        if ((mask & kind) != 0) {
            set->records[slot] = morrow::BuildRecords(kind, config, now);
        }
    }
    *data = set;
    morrow::AddToLogValue(L"OpenDataSets", 1);
    return TRUE;
}

BOOL WINAPI EFGetInstantData(void* data, DWORD index, morrow::Record* out) {
    return GetRecord(data, morrow::kKindInstant, index, out);
}
BOOL WINAPI EFGetActualData(void* data, DWORD index, morrow::Record* out) {
    return GetRecord(data, morrow::kKindActual, index, out);
}
BOOL WINAPI EFGetEstimatedData(void* data, DWORD index, morrow::Record* out) {
    return GetRecord(data, morrow::kKindEstimated, index, out);
}
BOOL WINAPI EFGetPeakSupplyData(void* data, DWORD index, morrow::Record* out) {
    return GetRecord(data, morrow::kKindPeakSupply, index, out);
}
BOOL WINAPI EFGetPeakDemandData(void* data, DWORD index, morrow::Record* out) {
    return GetRecord(data, morrow::kKindPeakDemand, index, out);
}

BOOL WINAPI EFReleaseData(void* data) {
    DataSet* set = FromHandle(data);
    if (set == nullptr) {
        return FALSE;
    }
    set->magic = 0;
    delete set;
    morrow::AddToLogValue(L"OpenDataSets", -1);
    return TRUE;
}

BOOL WINAPI EFDataUpdate() { return TRUE; }

BOOL WINAPI EFFinalize() {
    morrow::AddToLogValue(L"FinalizeCalls", 1);
    return TRUE;
}

}  // extern "C"
