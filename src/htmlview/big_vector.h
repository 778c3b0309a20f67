#pragma once
// std::vector for the large per-document arrays (nodes, boxes, items, display list). Big blocks
// are mapped directly and marked for huge pages on Linux: a long page touches tens of
// megabytes, and faulting them in 4 KB pages costs more than the layout itself. Big blocks given
// back are kept for the next document (up to a bound), since pages are rebuilt whole often.

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace htmlview {

void* allocateBig(std::size_t bytes);
void freeBig(void* p, std::size_t bytes);

template <typename T> struct BigAllocator {
    using value_type = T;
    BigAllocator() = default;
    template <typename U> BigAllocator(const BigAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateBig(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeBig(p, n * sizeof(T)); }
    template <typename U> bool operator==(const BigAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const BigAllocator<U>&) const noexcept { return false; }
};

template <typename T> using BigVector = std::vector<T, BigAllocator<T>>;

} // namespace htmlview
