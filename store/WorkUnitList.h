// The merge tool's store: one record per work-unit name, merged on add, kept in order of
// first insertion, with an index by name beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

#include "memory/HashIndex.h"
#include "memory/LargeAllocator.h"
#include "record/WorkUnit.h"

// Records in blocks of about two megabytes that never move once made: the store grows
// without copying what it holds, and a record's place stays valid for the store's life.
class RecordBlocks {
public:
    RecordBlocks() = default;
    RecordBlocks(const RecordBlocks& other);
    RecordBlocks& operator=(const RecordBlocks& other);
    ~RecordBlocks() { clear(); }

    std::size_t size() const { return size_; }
    WorkUnit& operator[](std::size_t i) { return blocks_[i / PerBlock][i % PerBlock]; }
    const WorkUnit& operator[](std::size_t i) const { return blocks_[i / PerBlock][i % PerBlock]; }
    // Puts the record after the last one.
    void append(const WorkUnit& record);
    void append(WorkUnit&& record);
    void clear();

private:
    static constexpr std::size_t BlockBytes = std::size_t{2} << 20;
    static constexpr std::size_t PerBlock = BlockBytes / sizeof(WorkUnit);

    // The place of the next record, a new block made when the last is full.
    WorkUnit* nextPlace();

    std::vector<WorkUnit*> blocks_;
    std::size_t size_ = 0;
};

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
    // Orders the records ascending by one field (lessByField), stably.
    void sort(int declarationNumber);

    std::size_t size() const { return order_.size(); }
    const WorkUnit& operator[](std::size_t i) const { return records_[order_[i]]; }

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = WorkUnit;
        using difference_type = std::ptrdiff_t;
        using pointer = const WorkUnit*;
        using reference = const WorkUnit&;

        const_iterator() = default;
        const_iterator(const WorkUnitList* list, std::size_t i) : list_(list), i_(i) {}
        reference operator*() const { return (*list_)[i_]; }
        pointer operator->() const { return &(*list_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++i_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return i_ == other.i_; }

    private:
        const WorkUnitList* list_ = nullptr;
        std::size_t i_ = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    // Adds or merges a record, copied or taken over.
    template <class Record>
    bool insert(Record&& record);

    RecordBlocks records_;  // in order of first insertion
    // The records' numbers in the store's order: insertion order until sort.
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> order_;
    HashIndex index_;  // the record numbers by the hash of their names
};
