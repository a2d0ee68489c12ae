#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "core/memory_limits.h"

namespace brintale {
namespace {

// Called through these, so that the compiler cannot drop a block that is taken and freed.
void* (*volatile take)(std::size_t) = std::malloc;
void (*volatile give)(void*) = std::free;

// A block of a loaded text's size comes from the heap and stays there once freed, for the
// next load to write without a fault per page; past the bound, the freed memory goes back.
TEST(KeepFreedBlocksForReuse, KeepsLargeBlocksUpToTheBound) {
    KeepFreedBlocksForReuse();
    struct Case {
        std::size_t bytes;
        bool kept;
    };
    const Case cases[] = {
        {std::size_t(64) << 20, true},
        {static_cast<std::size_t>(kKeptFreeBytes) + (std::size_t(64) << 20), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::size_t mappedBefore = mallinfo2().hblkhd;
        void* block = take(c.bytes);
        ASSERT_NE(block, nullptr);
        std::memset(block, 1, 4096);
        EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "mapped apart from the heap";
        give(block);
        const std::size_t top = mallinfo2().keepcost;
        if (c.kept)
            EXPECT_GE(top, c.bytes);
        else
            EXPECT_LT(top, c.bytes);
    }
}

}  // namespace
}  // namespace brintale
