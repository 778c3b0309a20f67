// The large arrays of a document: blocks given back are handed out again for the next document,
// and never to two owners at once.

#include "htmlview/big_vector.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <set>

namespace {

constexpr std::size_t MiB = std::size_t(1) << 20;

TEST(BigVector, BlocksAreReusedAndNeverShared)
{
    // A block given back serves the next request of a size it can hold.
    void* first = htmlview::allocateBig(5 * MiB);
    std::memset(first, 0xAB, 5 * MiB);
    htmlview::freeBig(first, 5 * MiB);
    void* again = htmlview::allocateBig(4 * MiB);
#if defined(__linux__)
    EXPECT_EQ(again, first);
#endif

    // Blocks in use are never handed out twice, whatever sizes come and go.
    std::set<void*> live{again};
    std::vector<std::pair<void*, std::size_t>> blocks{{again, 4 * MiB}};
    for (int round = 0; round < 200; ++round) {
        const std::size_t size = (1 + round % 7) * MiB + std::size_t(round) * 4096;
        void* p = htmlview::allocateBig(size);
        ASSERT_TRUE(live.insert(p).second) << "block handed out twice in round " << round;
        static_cast<unsigned char*>(p)[0] = static_cast<unsigned char>(round);
        static_cast<unsigned char*>(p)[size - 1] = static_cast<unsigned char>(round);
        blocks.emplace_back(p, size);
        if (round % 3 != 0) {
            // Give one back, checking that nobody wrote over it meanwhile.
            const auto [q, qSize] = blocks[blocks.size() / 2];
            const auto* bytes = static_cast<const unsigned char*>(q);
            EXPECT_EQ(bytes[0], bytes[qSize - 1]);
            live.erase(q);
            htmlview::freeBig(q, qSize);
            blocks.erase(blocks.begin() + std::ptrdiff_t(blocks.size() / 2));
        }
    }
    for (const auto& [p, size] : blocks)
        htmlview::freeBig(p, size);
}

TEST(BigVector, VectorsKeepTheirContentsAcrossGrowth)
{
    htmlview::BigVector<std::uint64_t> a, b;
    for (std::uint64_t i = 0; i < 3'000'000; ++i) {
        a.push_back(i);
        b.push_back(~i);
    }
    for (std::uint64_t i = 0; i < 3'000'000; i += 9973) {
        ASSERT_EQ(a[i], i);
        ASSERT_EQ(b[i], ~i);
    }
}

} // namespace
