#include "htmlview/big_vector.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <cstdint>

namespace htmlview {

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t MapThreshold = std::size_t(1) << 20;

std::size_t roundUp(std::size_t bytes)
{
    return (bytes + HugePage - 1) / HugePage * HugePage;
}
} // namespace

void* allocateBig(std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= MapThreshold) {
        // Map one huge page more than needed so that the block can start on a huge page.
        std::size_t size = roundUp(bytes);
        void* raw = mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            throw std::bad_alloc();
        auto start = reinterpret_cast<std::uintptr_t>(raw);
        auto aligned = (start + HugePage - 1) / HugePage * HugePage;
        if (aligned > start)
            munmap(raw, aligned - start);
        std::size_t tail = (start + size + HugePage) - (aligned + size);
        if (tail > 0)
            munmap(reinterpret_cast<void*>(aligned + size), tail);
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
        return reinterpret_cast<void*>(aligned);
    }
#endif
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

// `bytes` matters only where large blocks are mapped (Linux).
void freeBig(void* p, [[maybe_unused]] std::size_t bytes)
{
    if (!p)
        return;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= MapThreshold) {
        munmap(p, roundUp(bytes));
        return;
    }
#endif
    std::free(p);
}

} // namespace htmlview
