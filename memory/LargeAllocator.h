// How the working stores that grow to hundreds of megabytes get their memory, as the allocator
// of their vectors and for the store's record blocks: blocks of a megabyte or more come
// straight from the OS (platform::allocateLarge), smaller ones from the ordinary heap.
#pragma once

#include <cstddef>
#include <new>

#include "platform/platform.h"

template <class T>
class LargeAllocator {
public:
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n > MaxCount) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < Threshold) return static_cast<T*>(::operator new(bytes));
        void* block = platform::allocateLarge(bytes);
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < Threshold)
            ::operator delete(block);
        else
            platform::freeLarge(block, bytes);
    }

    template <class U>
    bool operator==(const LargeAllocator<U>&) const {
        return true;
    }

private:
    static constexpr std::size_t Threshold = std::size_t{1} << 20;
    static constexpr std::size_t MaxCount = static_cast<std::size_t>(-1) / sizeof(T);
};
