// The merge tool's store: one record per work-unit name, merged on add, kept in order of
// first insertion, with an index by name beside them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "record/WorkUnit.h"

class WorkUnitList {
public:
    WorkUnitList() { reset(); }
    std::vector<int> columns;  // column order of a tabular input; -1 names no field

    // Empties the store; the column order becomes 0 to 100.
    void reset();
    // False for an empty name. A stored record of the same name merges the new one in
    // (WorkUnit::mergeFrom); otherwise a copy is appended. `record` may be one of the store's own.
    bool add(const WorkUnit& record);
    // The same, taking a reader's record over instead of copying it when it is new.
    bool add(WorkUnit&& record);
    // Sets the sort-field selector and orders the records ascending by it, stably.
    void sort(int declarationNumber);

    std::size_t size() const { return records_.size(); }
    const WorkUnit& operator[](std::size_t i) const { return records_[i]; }
    std::vector<WorkUnit>::const_iterator begin() const { return records_.begin(); }
    std::vector<WorkUnit>::const_iterator end() const { return records_.end(); }

private:
    std::vector<WorkUnit> records_;
    std::unordered_map<std::string, std::size_t> index_;  // name -> position in records_
};
