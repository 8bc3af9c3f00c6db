// The merge tool's store: records in blocks that never move, an order over them, and an
// open-addressing index by name, merged on add and sorted stably by one field.
#include "store/WorkUnitList.h"

#include <algorithm>
#include <functional>
#include <new>
#include <utility>

#include "record/WorkUnitFields.h"
#include "text/Numbers.h"

RecordBlocks::RecordBlocks(const RecordBlocks& other) {
    for (std::size_t i = 0; i < other.size(); ++i) append(other[i]);
}

RecordBlocks& RecordBlocks::operator=(const RecordBlocks& other) {
    if (this != &other) {
        clear();
        for (std::size_t i = 0; i < other.size(); ++i) append(other[i]);
    }
    return *this;
}

WorkUnit* RecordBlocks::nextPlace() {
    const std::size_t place = size_ % PerBlock;
    if (place == 0 && size_ / PerBlock == blocks_.size()) {
        blocks_.push_back(LargeAllocator<WorkUnit>().allocate(PerBlock));
    }
    return blocks_[size_ / PerBlock] + place;
}

void RecordBlocks::append(const WorkUnit& record) {
    new (nextPlace()) WorkUnit(record);
    ++size_;
}

void RecordBlocks::append(WorkUnit&& record) {
    new (nextPlace()) WorkUnit(std::move(record));
    ++size_;
}

void RecordBlocks::clear() {
    for (std::size_t i = 0; i < size_; ++i) (*this)[i].~WorkUnit();
    for (WorkUnit* block : blocks_) LargeAllocator<WorkUnit>().deallocate(block, PerBlock);
    blocks_.clear();
    size_ = 0;
}

namespace {

std::uint32_t hashOf(std::string_view name) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
}

}  // namespace

void WorkUnitList::reset() {
    records_.clear();
    order_.clear();
    index_.clear();
    columns.resize(WorkUnitFieldCount);
    for (int i = 0; i < WorkUnitFieldCount; ++i) columns[static_cast<std::size_t>(i)] = i;
}

template <class Record>
bool WorkUnitList::insert(Record&& record) {
    if (record.name.empty()) return false;
    index_.reserve(order_.size() + 1);
    const std::uint32_t hash = hashOf(record.name);
    const std::size_t slot = index_.find(
        hash, [&](std::uint32_t number) { return records_[number].name == record.name; });
    if (index_.holds(slot)) {
        // Merged whether or not anything changed: an equal or older reading is still "added".
        records_[index_.item(slot)].mergeFrom(record);
        return true;
    }
    // Record numbers are kept in 32 bits; a store that large is far past any memory anyway.
    if (records_.size() >= 0xFFFFFFFEu) throw std::bad_alloc();
    const auto number = static_cast<std::uint32_t>(records_.size());
    records_.append(std::forward<Record>(record));
    order_.push_back(number);
    index_.put(slot, number, hash);
    return true;
}

bool WorkUnitList::add(const WorkUnit& record) { return insert(record); }

bool WorkUnitList::add(WorkUnit&& record) { return insert(std::move(record)); }

void WorkUnitList::sort(int declarationNumber) {
    if (order_.empty()) return;
    // Stable, so records with equal keys keep their order and a rerun writes the same file.
    // Only the order of record numbers changes: the records themselves never move.
    const int field = declarationNumber >= 0 && declarationNumber < DeclarationCount
                          ? FieldByDeclaration[static_cast<std::size_t>(declarationNumber)]
                          : -1;
    if (field >= 0 && WorkUnitFields[static_cast<std::size_t>(field)].kind == FieldKind::Time) {
        // A date-time compares by its Julian Date: worked out once per record here, not twice
        // per comparison, and kept beside the number so the sort reads one array.
        ATime WorkUnit::*const time = WorkUnitFields[static_cast<std::size_t>(field)].time;
        struct Keyed {
            double key;
            std::uint32_t position;  // in the order before the sort: ties keep it
        };
        std::vector<Keyed, LargeAllocator<Keyed>> keyed(order_.size());
        for (std::size_t i = 0; i < order_.size(); ++i)
            keyed[i] = {(records_[order_[i]].*time).julianDate(), static_cast<std::uint32_t>(i)};
        std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
            if (lessNumber(a.key, b.key)) return true;
            if (lessNumber(b.key, a.key)) return false;
            return a.position < b.position;
        });
        std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> sorted(order_.size());
        for (std::size_t i = 0; i < keyed.size(); ++i) sorted[i] = order_[keyed[i].position];
        order_.swap(sorted);
    } else {
        std::stable_sort(order_.begin(), order_.end(),
                         [this, declarationNumber](std::uint32_t a, std::uint32_t b) {
                             return lessByField(records_[a], records_[b], declarationNumber);
                         });
    }
}
