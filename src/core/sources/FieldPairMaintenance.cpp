#include "sources/FieldPairMaintenance.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "common/TextCase.h"

namespace vantrel {

namespace {

bool PairExists(const ImportDefinition& def, int32_t t) {
    return t >= 1 && t <= def.TableMax && t <= def.FieldPairs.TableBound() &&
           static_cast<std::size_t>(t) < def.Tables.size();
}

void LogWithSource(ErrorLog& log, int32_t number, const char* source) {
    log.Pending.Set(number, RuntimeError::Description(number), source);
    log.AddErrorLine(log.Pending.Description + log.Pending.Source);
}

int32_t LastPosition(const ImportDefinition& def) {
    return std::min(def.FieldMax, def.FieldPairs.FieldBound());
}

}  // namespace

void ResizeModel(ImportDefinition& def, int32_t n, int32_t m, ErrorLog& log) {
    if (n < 0 || m < 0) {
        log.AddErrorLine(RuntimeError::Description(RuntimeError::SubscriptOutOfRange));
        return;
    }
    try {
        if (n == 0) {
            def.Tables.assign(1, TableSetting{});
            def.FieldPairs.Allocate(0, 0);
            def.TableMax = 0;
            def.FieldMax = 0;
            return;
        }
        if (n == def.TableMax && m == def.FieldMax) return;

        std::vector<TableSetting> tables(static_cast<std::size_t>(n) + 1);
        int32_t copied = 0;
        if (def.TableMax > 0) {
            copied = std::min(
                {def.TableCount, def.TableMax, n, static_cast<int32_t>(def.Tables.size()) - 1});
            for (int32_t t = 1; t <= copied; ++t) {
                tables[static_cast<std::size_t>(t)] = std::move(def.Table(t));
                tables[static_cast<std::size_t>(t)].FieldSlot = t;
            }
        }
        def.FieldPairs.Reshape(n, m, copied, def.FieldMax);
        def.Tables = std::move(tables);
        def.TableMax = n;
        def.FieldMax = m;
    } catch (const std::bad_alloc&) {
        log.AddErrorLine(RuntimeError::Description(RuntimeError::OutOfMemory));
    }
}

void GrowFieldMax(ImportDefinition& def, int32_t n, int32_t m, ErrorLog& log) {
    if (n < 0 || m < 0) {
        log.AddErrorLine(RuntimeError::Description(RuntimeError::SubscriptOutOfRange));
        return;
    }
    try {
        def.FieldPairs.Reshape(n, m, def.TableMax, def.FieldMax);
        def.FieldMax = m;
    } catch (const std::bad_alloc&) {
        log.AddErrorLine(RuntimeError::Description(RuntimeError::OutOfMemory));
    }
}

bool HasAnyField(const ImportDefinition& def, int32_t t, int side) {
    if (!PairExists(def, t)) return false;
    const int32_t last = LastPosition(def);
    for (int32_t j = 1; j <= last; ++j) {
        const FieldPair& f = def.FieldPairs(t, j);
        if (!(side == kOutputSide ? f.OutField : f.InField).empty()) return true;
    }
    return false;
}

void MatchFieldsByName(ImportDefinition& def, int32_t t, const NameList& outNames,
                       const NameList& inNames, ErrorLog& log) {
    if (!PairExists(def, t)) {
        LogWithSource(log, RuntimeError::SubscriptOutOfRange, "MatchFieldsByName");
        return;
    }
    std::vector<std::string> lowerIn;
    lowerIn.reserve(static_cast<std::size_t>(inNames.Count()));
    for (int32_t i = 1; i <= inNames.Count(); ++i)
        lowerIn.push_back(LowerCase(inNames[i]));

    std::vector<FieldPair> matches;
    for (int32_t o = 1; o <= outNames.Count(); ++o) {
        const std::string lowerOut = LowerCase(outNames[o]);
        const auto hit = std::find(lowerIn.begin(), lowerIn.end(), lowerOut);
        if (hit == lowerIn.end()) continue;
        const auto index = static_cast<int32_t>(hit - lowerIn.begin()) + 1;
        matches.push_back(FieldPair{inNames[index], outNames[o]});
    }
    const auto count = static_cast<int32_t>(matches.size());
    if (count > LastPosition(def)) GrowFieldMax(def, def.TableMax, count, log);
    for (int32_t k = 1; k <= std::min(count, LastPosition(def)); ++k) {
        def.FieldPairs(t, k) = std::move(matches[static_cast<std::size_t>(k - 1)]);
    }
}

void ReconcileFields(ImportDefinition& def, int32_t t, const NameList& outNames,
                     const NameList& inNames, std::string_view mode, ErrorLog& log) {
    if (!PairExists(def, t)) {
        LogWithSource(log, RuntimeError::SubscriptOutOfRange, "ReconcileFields");
        return;
    }
    if (def.FieldMax < outNames.Count()) GrowFieldMax(def, def.TableMax, outNames.Count(), log);
    const int32_t last = LastPosition(def);
    if (last < 1) {
        MatchFieldsByName(def, t, outNames, inNames, log);
        return;
    }

    if (def.FieldPairs(t, 1).OutField.empty()) {
        for (int32_t j = 1; j <= last; ++j)
            def.FieldPairs(t, j).OutField.clear();
    }
    if (def.FieldPairs(t, 1).OutField.empty() && def.FieldPairs(t, 1).InField.empty()) {
        for (int32_t j = 1; j <= last; ++j)
            def.FieldPairs(t, j).InField.clear();
        MatchFieldsByName(def, t, outNames, inNames, log);
        return;
    }
    if (mode == kKeepMapping) return;

    int32_t j = 1;
    while (j <= last && !def.FieldPairs(t, j).OutField.empty()) {
        FieldPair& f = def.FieldPairs(t, j);
        if (outNames.Contains(f.OutField)) {
            if (f.InField.empty() || !inNames.Contains(f.InField)) f.InField.clear();
            ++j;
            continue;
        }
        // The output table lost this field: close the gap and look at the pair that moved up.
        for (int32_t k = j; k < last; ++k)
            def.FieldPairs(t, k) = std::move(def.FieldPairs(t, k + 1));
        def.FieldPairs(t, last) = FieldPair{};
    }
    if (!HasAnyField(def, t, kInputSide)) MatchFieldsByName(def, t, outNames, inNames, log);
}

}  // namespace vantrel
