#include <gtest/gtest.h>
#include <malloc.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/huge_page_heap.h"
#include "core/memory_limits.h"

namespace brintale {
namespace {

// Called through these, so that the compiler cannot drop a block that is taken and freed.
void* (*volatile take)(std::size_t) = std::malloc;
void (*volatile give)(void*) = std::free;

// Whether the mapping that holds `at` may have pages of 2 MiB; nullopt: no mapping holds it.
std::optional<bool> HugePageEligible(std::uintptr_t at) {
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly)) return std::nullopt;
    bool inside = false;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        // A mapping's line starts with its range, from-to in hexadecimal; its fields follow.
        const QByteArray first = line.first(std::max<qsizetype>(line.indexOf(' '), 0));
        if (const qsizetype dash = first.indexOf('-'); dash > 0) {
            bool fromOk = false, toOk = false;
            const quint64 from = first.first(dash).toULongLong(&fromOk, 16);
            const quint64 to = first.sliced(dash + 1).toULongLong(&toOk, 16);
            if (fromOk && toOk) {
                inside = from <= at && at < to;
                continue;
            }
        }
        if (inside && line.startsWith("THPeligible:")) return line.simplified().endsWith(" 1");
    }
    return std::nullopt;
}

// What the test `probe` (Suite.Name) of this program prints, run in a process of its own
// with `environment`; empty where it did not end.
QByteArray RunProbe(const char* probe, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                  {QStringLiteral("--gtest_filter=") + QLatin1String(probe)});
    if (!process.waitForFinished(60000)) return {};
    return process.readAllStandardOutput();
}

bool PolicyMarksOnlyWhatIsAsked() {
    return HugePageTunables(nullptr, HugePagePolicy()).has_value();
}

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
    const std::string policy = HugePagePolicy();
    if (policy.empty() || policy.find("[never]") != std::string::npos)
        GTEST_SKIP() << "the system gives no pages of 2 MiB";
    KeepFreedBlocksForReuse();
    const std::size_t bytes = std::size_t(64) << 20;
    void* block = take(bytes);
    ASSERT_NE(block, nullptr);
    // The middle of the block: its ends may fall outside the part aligned to 2 MiB.
    const std::optional<bool> eligible =
        HugePageEligible(reinterpret_cast<std::uintptr_t>(block) + bytes / 2);
    give(block);
    ASSERT_TRUE(eligible.has_value()) << "no mapping holds the block";
    EXPECT_TRUE(*eligible);
}

TEST(HugePageTunables, AddsToWhatTheUserSetUnlessItSaysAlready) {
    constexpr std::string_view kAsked = "always [madvise] never";
    struct Case {
        const char* current;
        std::string_view policy;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {nullptr, kAsked, "glibc.malloc.hugetlb=1"},
        {"", kAsked, "glibc.malloc.hugetlb=1"},
        {"glibc.malloc.arena_max=2", kAsked, "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
        // The user's own word stands, whatever it is.
        {"glibc.malloc.hugetlb=0", kAsked, std::nullopt},
        {"glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2", kAsked, std::nullopt},
        // Every page may be large already, or none may.
        {nullptr, "[always] madvise never", std::nullopt},
        {nullptr, "always madvise [never]", std::nullopt},
        {nullptr, "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.current ? c.current : "(unset)") + " / " +
                     std::string(c.policy));
        EXPECT_EQ(HugePageTunables(c.current, c.policy), c.value);
    }
}

// Run in a process of its own by the test below: restarts, then says what it finds.
TEST(RestartWithHugePageHeap, Probe) {
    if (qEnvironmentVariableIsEmpty("BRINTALE_RESTART_PROBE"))
        GTEST_SKIP() << "run by the test below";
    const int starts = qEnvironmentVariableIntValue("BRINTALE_RESTART_STARTS") + 1;
    qputenv("BRINTALE_RESTART_STARTS", QByteArray::number(starts));
    std::vector<std::string> arguments = testing::internal::GetArgvs();
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    RestartWithHugePageHeap(argv.data());
    // A block mapped on its own, which the allocator marks only when told so.
    const std::size_t bytes = std::size_t(64) << 20;
    void* block = take(bytes);
    ASSERT_NE(block, nullptr);
    const std::optional<bool> eligible =
        HugePageEligible(reinterpret_cast<std::uintptr_t>(block) + bytes / 2);
    give(block);
    std::printf("starts=%d\ntunables=%s\nbefore=%s\neligible=%d\n", starts,
                qgetenv("GLIBC_TUNABLES").constData(),
                qEnvironmentVariableIsSet("BRINTALE_TUNABLES_BEFORE") ? "set" : "unset",
                eligible.value_or(false) ? 1 : 0);
}

// The program starts once more, its allocator told to mark the heap for pages of 2 MiB, and
// what it starts sees the environment the user gave it.
TEST(RestartWithHugePageHeap, StartsOnceMoreToldSoAndPutsTheEnvironmentBack) {
    if (!TunesTheAllocator()) GTEST_SKIP() << "another allocator stands in for the C library's";
    if (!PolicyMarksOnlyWhatIsAsked()) GTEST_SKIP() << "the system marks pages by no request";
    struct Case {
        const char* tunables;  // nullptr: unset
    };
    for (const Case c : {Case{nullptr}, Case{"glibc.malloc.arena_max=4"}}) {
        SCOPED_TRACE(c.tunables ? c.tunables : "(unset)");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRINTALE_RESTART_PROBE"), QStringLiteral("1"));
        environment.remove(QStringLiteral("BRINTALE_RESTART_STARTS"));
        if (c.tunables)
            environment.insert(QStringLiteral("GLIBC_TUNABLES"), QString::fromLatin1(c.tunables));
        else
            environment.remove(QStringLiteral("GLIBC_TUNABLES"));
        const QByteArray out = RunProbe("RestartWithHugePageHeap.Probe", environment);
        EXPECT_TRUE(out.contains("starts=2\n")) << out.constData();
        EXPECT_TRUE(out.contains("tunables=" + QByteArray(c.tunables ? c.tunables : "") + '\n'))
            << out.constData();
        EXPECT_TRUE(out.contains("before=unset\n")) << out.constData();
        EXPECT_TRUE(out.contains("eligible=1\n")) << out.constData();
    }
}

// Run in a process of its own by the test below, in a heap no other test has shaped.
TEST(KeepCountingBlocksInHugePages, Probe) {
    if (qEnvironmentVariableIsEmpty("BRINTALE_COUNTING_PROBE"))
        GTEST_SKIP() << "run by the test below";
    KeepCountingBlocksInHugePages();
    const std::size_t small = std::size_t(1) << 20, large = std::size_t(8) << 20;
    void* first = take(small);
    ASSERT_NE(first, nullptr);
    const auto at = reinterpret_cast<std::uintptr_t>(first);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* block = take(large);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, 4096);
    const bool mapped = mallinfo2().hblkhd != mappedBefore;
    give(block);
    std::printf("aligned=%d\neligible=%d\nmapped=%d\nkept=%d\n",
                at % (std::uintptr_t(2) << 20) == 0,
                HugePageEligible(at + small / 2).value_or(false) ? 1 : 0, mapped ? 1 : 0,
                mallinfo2().keepcost >= large ? 1 : 0);
    give(first);
}

// The first block taken begins on a page of 2 MiB in room marked for such pages; a block of
// megabytes comes from the heap and stays there once freed, for the next file.
TEST(KeepCountingBlocksInHugePages, TakesBlocksFromRoomForHugePagesAndKeepsThem) {
    if (!TunesTheAllocator()) GTEST_SKIP() << "another allocator stands in for the C library's";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BRINTALE_COUNTING_PROBE"), QStringLiteral("1"));
    const QByteArray out = RunProbe("KeepCountingBlocksInHugePages.Probe", environment);
    std::vector<const char*> expected = {"aligned=1\n", "mapped=0\n", "kept=1\n"};
    // Where every page may be large, or none, the mark tells nothing.
    if (PolicyMarksOnlyWhatIsAsked()) expected.push_back("eligible=1\n");
    for (const char* line : expected) EXPECT_TRUE(out.contains(line)) << line << out.constData();
}

}  // namespace
}  // namespace brintale
