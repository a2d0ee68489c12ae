#include <gtest/gtest.h>
#include <malloc.h>

#include <QFile>
#include <algorithm>
#include <cstdint>
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
    if (!TunesTheAllocator()) GTEST_SKIP() << "another allocator stands in for the C library's";
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

// The first large block lies in room marked for pages of 2 MiB, where the system has them.
TEST(KeepFreedBlocksForReuse, MakesRoomForHugePagesAtTheHeapsTop) {
    if (!TunesTheAllocator()) GTEST_SKIP() << "another allocator stands in for the C library's";
    QFile policy(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!policy.open(QIODevice::ReadOnly) || policy.readAll().contains("[never]"))
        GTEST_SKIP() << "the system gives no pages of 2 MiB";
    KeepFreedBlocksForReuse();
    const std::size_t bytes = std::size_t(64) << 20;
    void* block = take(bytes);
    ASSERT_NE(block, nullptr);
    // The middle of the block: its ends may fall outside the part aligned to 2 MiB.
    const auto middle = reinterpret_cast<std::uintptr_t>(block) + bytes / 2;
    QFile maps(QStringLiteral("/proc/self/smaps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    bool inside = false, eligible = false, found = false;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        // A mapping's line starts with its range, from-to in hexadecimal; its fields follow.
        const QByteArray first = line.first(std::max<qsizetype>(line.indexOf(' '), 0));
        if (const qsizetype dash = first.indexOf('-'); dash > 0) {
            bool fromOk = false, toOk = false;
            const quint64 from = first.first(dash).toULongLong(&fromOk, 16);
            const quint64 to = first.sliced(dash + 1).toULongLong(&toOk, 16);
            if (fromOk && toOk) {
                inside = from <= middle && middle < to;
                continue;
            }
        }
        if (inside && line.startsWith("THPeligible:")) {
            eligible = line.simplified().endsWith(" 1");
            found = true;
            break;
        }
    }
    give(block);
    EXPECT_TRUE(found) << "no mapping holds the block";
    EXPECT_TRUE(eligible);
}

}  // namespace
}  // namespace brintale
