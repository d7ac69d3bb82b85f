// A power-plan recorder: plans live in memory, every call is kept for the checks.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "vendrel/power_api.h"

namespace vendrel_test {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return memcmp(&a, &b, sizeof(GUID)) < 0; }
};

struct GuidPairLess {
    bool operator()(const std::pair<GUID, GUID>& a, const std::pair<GUID, GUID>& b) const {
        const int first = memcmp(&a.first, &b.first, sizeof(GUID));
        return first != 0 ? first < 0 : memcmp(&a.second, &b.second, sizeof(GUID)) < 0;
    }
};

struct FakePlan {
    std::wstring name;
    std::wstring description;
    // (subgroup, setting) -> value on mains power / on battery
    std::map<std::pair<GUID, GUID>, DWORD, GuidPairLess> ac;
    std::map<std::pair<GUID, GUID>, DWORD, GuidPairLess> dc;
};

class FakePowerApi final : public vendrel::PowerPlanApi {
public:
    enum class Op { Duplicate, Name, Description, Ac, Dc, Replace };
    struct Call {
        Op op;
        GUID plan;
        DWORD result;
    };

    void AddPlan(const GUID& plan, const std::wstring& name) { plans[plan].name = name; }
    bool Has(const GUID& plan) const { return plans.count(plan) != 0; }

    DWORD DuplicateScheme(const GUID& base, const GUID& plan) override {
        DWORD result = ERROR_SUCCESS;
        if (!Has(base)) {
            result = ERROR_FILE_NOT_FOUND;
        } else if (Has(plan)) {
            result = ERROR_ALREADY_EXISTS;
        } else {
            plans[plan] = plans[base];
        }
        if (result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS) {
            duplicated.push_back(plan);
        }
        calls.push_back({Op::Duplicate, plan, result});
        return result;
    }
    DWORD WriteFriendlyName(const GUID& plan, const wchar_t* name) override {
        return Write(Op::Name, plan, [&](FakePlan& p) { p.name = name; });
    }
    DWORD WriteDescription(const GUID& plan, const wchar_t* description) override {
        return Write(Op::Description, plan, [&](FakePlan& p) { p.description = description; });
    }
    DWORD WriteACValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                            DWORD value) override {
        return Write(Op::Ac, plan, [&](FakePlan& p) { p.ac[{subgroup, setting}] = value; });
    }
    DWORD WriteDCValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                            DWORD value) override {
        return Write(Op::Dc, plan, [&](FakePlan& p) { p.dc[{subgroup, setting}] = value; });
    }
    DWORD ReplaceDefaultSchemes() override {
        ++replaceCalls;
        calls.push_back({Op::Replace, GUID{}, ERROR_SUCCESS});
        return ERROR_SUCCESS;
    }

    // True when every write went to a plan that a duplicate call of this run created or found.
    bool WritesOnlyToDuplicatedPlans() const {
        for (const Call& call : calls) {
            if (call.op == Op::Duplicate || call.op == Op::Replace) {
                continue;
            }
            bool named = false;
            for (const GUID& plan : duplicated) {
                named = named || IsEqualGUID(plan, call.plan);
            }
            if (!named) {
                return false;
            }
        }
        return true;
    }
    size_t Count(Op op) const {
        size_t n = 0;
        for (const Call& call : calls) {
            n += call.op == op ? 1 : 0;
        }
        return n;
    }

    std::map<GUID, FakePlan, GuidLess> plans;
    std::vector<Call> calls;
    std::vector<GUID> duplicated;
    int replaceCalls = 0;

private:
    template <typename F>
    DWORD Write(Op op, const GUID& plan, F apply) {
        DWORD result = ERROR_FILE_NOT_FOUND;
        auto found = plans.find(plan);
        if (found != plans.end()) {
            apply(found->second);
            result = ERROR_SUCCESS;
        }
        calls.push_back({op, plan, result});
        return result;
    }
};

}  // namespace vendrel_test
