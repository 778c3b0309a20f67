#include "htmlview/big_vector.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <algorithm>
#include <cstdint>
#include <mutex>

namespace htmlview {

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t MapThreshold = std::size_t(1) << 20;

std::size_t roundUp(std::size_t bytes)
{
    return (bytes + HugePage - 1) / HugePage * HugePage;
}

#if defined(__linux__) && defined(MADV_HUGEPAGE)
// Blocks given back, kept for the next document: the page is rebuilt whole after every change
// (at every key typed into the filter, for one), and mapping fresh memory each time costs the
// kernel's zeroing of every page again. A block is reused for a request of up to its size and
// no smaller than half of it.
class BlockCache {
public:
    void* take(std::size_t size)
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        auto best = FFree.end();
        for (auto it = FFree.begin(); it != FFree.end(); ++it)
            if (it->size >= size && it->size / 2 <= size &&
                (best == FFree.end() || it->size < best->size))
                best = it;
        if (best == FFree.end())
            return nullptr;
        const Block block = *best;
        FFree.erase(best);
        FCached -= block.size;
        FLent.push_back(block);
        return block.p;
    }

    // The size of a block `take` gave out for `size`, or `size` for one mapped for it.
    std::size_t trueSize(void* p, std::size_t size)
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        auto it =
            std::find_if(FLent.begin(), FLent.end(), [p](const Block& b) { return b.p == p; });
        if (it == FLent.end())
            return size;
        size = it->size;
        FLent.erase(it);
        return size;
    }

    // Keeps the block unless the cache is full; false when the caller should unmap it.
    bool keep(void* p, std::size_t size)
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        if (size > MaxCached)
            return false;
        while (FCached + size > MaxCached || FFree.size() >= MaxBlocks) {
            munmap(FFree.front().p, FFree.front().size); // the oldest goes
            FCached -= FFree.front().size;
            FFree.erase(FFree.begin());
        }
        // Kept but lent back to the kernel: it may take the pages if memory runs short, and then
        // the next user faults them in afresh.
#ifdef MADV_FREE
        madvise(p, size, MADV_FREE);
#endif
        FFree.push_back(Block{p, size});
        FCached += size;
        return true;
    }

private:
    struct Block {
        void* p;
        std::size_t size;
    };
    // About two documents of 20,000 tasks' worth of arrays.
    static constexpr std::size_t MaxCached = std::size_t(384) << 20;
    static constexpr std::size_t MaxBlocks = 48;
    std::mutex FMutex;
    std::vector<Block> FFree; // oldest first
    std::vector<Block> FLent; // given out for a smaller request than their size
    std::size_t FCached = 0;
};

BlockCache& blockCache()
{
    static BlockCache* cache = new BlockCache; // outlives every document, also at exit
    return *cache;
}
#endif
} // namespace

void* allocateBig(std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= MapThreshold) {
        std::size_t size = roundUp(bytes);
        if (void* reused = blockCache().take(size))
            return reused;
        // Map one huge page more than needed so that the block can start on a huge page.
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
        const std::size_t size = blockCache().trueSize(p, roundUp(bytes));
        if (!blockCache().keep(p, size))
            munmap(p, size);
        return;
    }
#endif
    std::free(p);
}

} // namespace htmlview
