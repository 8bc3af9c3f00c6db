// The merge tool's store: one record per work-unit name in order of first insertion, found
// through an index by name, merged on add and sorted stably by one field.
#include "record/WorkUnitList.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "record/WorkUnitFields.h"

void WorkUnitList::reset() {
    records_.clear();
    index_.clear();
    columns.resize(WorkUnitFieldCount);
    for (int i = 0; i < WorkUnitFieldCount; ++i) columns[static_cast<std::size_t>(i)] = i;
}

bool WorkUnitList::add(const WorkUnit& record) {
    if (record.name.empty()) return false;
    auto found = index_.find(record.name);
    if (found != index_.end()) {
        // Merged whether or not anything changed: an equal or older reading is still "added".
        records_[found->second].mergeFrom(record);
        return true;
    }
    records_.push_back(record);
    // The key is taken from the stored copy: `record` may live in records_ and move on growth.
    index_.emplace(records_.back().name, records_.size() - 1);
    return true;
}

bool WorkUnitList::add(WorkUnit&& record) {
    if (record.name.empty()) return false;
    auto found = index_.find(record.name);
    if (found != index_.end()) {
        records_[found->second].mergeFrom(record);
        return true;
    }
    records_.push_back(std::move(record));
    index_.emplace(records_.back().name, records_.size() - 1);
    return true;
}

void WorkUnitList::sort(int declarationNumber) {
    setSortField(declarationNumber);
    if (records_.empty()) return;
    // Stable, so records with equal keys keep their order and a rerun writes the same file.
    // Positions are sorted rather than the records themselves, so each record of about a
    // kilobyte moves once instead of log n times.
    std::vector<std::size_t> order(records_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const int field = declarationNumber >= 0 && declarationNumber < DeclarationCount
                          ? FieldByDeclaration[static_cast<std::size_t>(declarationNumber)]
                          : -1;
    if (field >= 0 && WorkUnitFields[static_cast<std::size_t>(field)].kind == FieldKind::DateTime) {
        // A date-time compares by its Julian Date: worked out once per record here, not twice
        // per comparison.
        ATime WorkUnit::*const time = WorkUnitFields[static_cast<std::size_t>(field)].time;
        std::vector<double> keys(records_.size());
        for (std::size_t i = 0; i < records_.size(); ++i)
            keys[i] = (records_[i].*time).julianDate();
        std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
            return lessNumber(keys[a], keys[b]);
        });
    } else {
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return lessByField(records_[a], records_[b]);
        });
    }
    std::vector<WorkUnit> sorted;
    sorted.reserve(records_.size());
    for (std::size_t position : order) sorted.push_back(std::move(records_[position]));
    records_.swap(sorted);
    for (std::size_t i = 0; i < records_.size(); ++i) index_[records_[i].name] = i;
}
