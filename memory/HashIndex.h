// An open-addressing index over numbered items (the store's records, a list's signals): each
// slot holds an item's number + 1 (0 for an empty slot) and the item's hash, which spares
// comparing items that merely share a slot. At most half the slots are in use, so a probe
// soon ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory/LargeAllocator.h"

class HashIndex {
public:
    // The slot of the item of this hash for which `same(number)` is true, or the empty slot
    // where such an item would go.
    template <class Same>
    std::size_t find(std::uint32_t hash, Same same) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const Slot& entry = slots_[slot];
            if (entry.item == 0) return slot;
            if (entry.hash == hash && same(entry.item - 1)) return slot;
        }
    }
    bool holds(std::size_t slot) const { return slots_[slot].item != 0; }
    // The number of the item a slot holds.
    std::uint32_t item(std::size_t slot) const { return slots_[slot].item - 1; }
    // Puts an item into the empty slot find gave for its hash.
    void put(std::size_t slot, std::uint32_t number, std::uint32_t hash) {
        slots_[slot] = {number + 1, hash};
    }
    // Makes room for `count` items: the table is doubled (or first made) until at most half
    // of it would be in use. Slots found before are not valid after it.
    void reserve(std::size_t count) {
        if (count * 2 <= slots_.size()) return;
        std::size_t size = slots_.empty() ? 64 : slots_.size() * 2;
        while (count * 2 > size) size *= 2;
        std::vector<Slot, LargeAllocator<Slot>> old;
        old.swap(slots_);
        slots_.resize(size);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& entry : old) {
            if (entry.item == 0) continue;
            std::size_t slot = entry.hash & mask;
            while (slots_[slot].item != 0) slot = (slot + 1) & mask;
            slots_[slot] = entry;
        }
    }
    void clear() { slots_.clear(); }

private:
    struct Slot {
        std::uint32_t item = 0;
        std::uint32_t hash = 0;
    };
    std::vector<Slot, LargeAllocator<Slot>> slots_;
};
