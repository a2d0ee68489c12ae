#include "core/memory_limits.h"

#include <sys/mman.h>
#include <sys/resource.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace brintale {

namespace {

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.read(1 << 16);
}

// "Key:   1234 kB" in a /proc file, in bytes.
std::optional<quint64> ProcField(const QByteArray& content, QByteArrayView key) {
    for (const QByteArray& line : content.split('\n')) {
        if (!line.startsWith(key) || line.size() <= key.size() || line[key.size()] != ':') continue;
        const QList<QByteArray> words = line.mid(key.size() + 1).simplified().split(' ');
        bool ok = false;
        const quint64 value = words.value(0).toULongLong(&ok);
        if (!ok) return std::nullopt;
        return words.value(1) == "kB" ? value * 1024 : value;
    }
    return std::nullopt;
}

std::optional<MemoryLimits::Group> TightestGroup() {
    // Control groups v2: "0::/path" names the process's group under /sys/fs/cgroup.
    QByteArray path;
    for (const QByteArray& line : ReadSmallFile(QStringLiteral("/proc/self/cgroup")).split('\n'))
        if (line.startsWith("0::")) path = line.mid(3).trimmed();
    std::optional<MemoryLimits::Group> tightest;
    for (;;) {
        const QString folder =
            QStringLiteral("/sys/fs/cgroup") + QString::fromLocal8Bit(path.isEmpty() ? "" : path);
        const auto limit = ParseGroupValue(ReadSmallFile(folder + QStringLiteral("/memory.max")));
        if (limit) {
            const quint64 used =
                ParseGroupValue(ReadSmallFile(folder + QStringLiteral("/memory.current")))
                    .value_or(0);
            const MemoryLimits::Group group{*limit, used};
            const auto room = [](const MemoryLimits::Group& g) {
                return g.limit > g.used ? g.limit - g.used : 0;
            };
            if (!tightest || room(group) < room(*tightest)) tightest = group;
        }
        if (path.isEmpty() || path == "/") break;
        path.truncate(std::max<qsizetype>(path.lastIndexOf('/'), 0));
    }
    return tightest;
}

}  // namespace

std::optional<quint64> FreeMemory(const MemoryLimits& limits) {
    std::optional<quint64> free;
    const auto bound = [&](quint64 room) { free = free ? std::min(*free, room) : room; };
    if (limits.available) bound(*limits.available);
    if (const auto& g = limits.tightestGroup) bound(g->limit > g->used ? g->limit - g->used : 0);
    if (limits.addressSpaceLimit) {
        const quint64 used = limits.addressSpaceUsed.value_or(0);
        bound(*limits.addressSpaceLimit > used ? *limits.addressSpaceLimit - used : 0);
    }
    return free;
}

quint64 LargestLoadableFile(const MemoryLimits& limits) {
    // A text of more code units than this cannot be one string.
    constexpr quint64 kStringLimit =
        static_cast<quint64>(std::numeric_limits<qsizetype>::max()) / 4;
    const auto free = FreeMemory(limits);
    return free ? std::min(kStringLimit, *free / kLoadBytesPerFileByte) : kStringLimit;
}

std::optional<quint64> ParseGroupValue(QByteArrayView content) {
    const QByteArray value = content.trimmed().toByteArray();
    bool ok = false;
    const quint64 number = value.toULongLong(&ok);
    return ok ? std::optional<quint64>(number) : std::nullopt;
}

MemoryLimits CurrentMemoryLimits() {
    MemoryLimits limits;
    limits.available = ProcField(ReadSmallFile(QStringLiteral("/proc/meminfo")), "MemAvailable");
    if (!limits.available) {
        const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
        if (pages > 0 && pageSize > 0)
            limits.available = static_cast<quint64>(pages) * static_cast<quint64>(pageSize);
    }
    limits.tightestGroup = TightestGroup();
    rlimit as{};
    if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) {
        limits.addressSpaceLimit = static_cast<quint64>(as.rlim_cur);
        limits.addressSpaceUsed =
            ProcField(ReadSmallFile(QStringLiteral("/proc/self/status")), "VmSize");
    }
    return limits;
}

bool TunesTheAllocator() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

namespace {

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
// Under a limit on the address space the room would count as used: not made there.
bool AddressSpaceLimited() {
    rlimit as{};
    return ::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY;
}

// Room of `bytes` at the heap's top, marked for pages of 2 MiB, from which the next blocks
// are taken. The trim threshold must keep it: freed at the top, it would go straight back.
void MakeHugePageRoom(std::size_t bytes) {
    const auto huge = std::uintptr_t(2) << 20;
    void* const room = std::malloc(bytes + huge);
    if (!room) return;
    const auto start = reinterpret_cast<std::uintptr_t>(room);
    const std::uintptr_t from = (start + huge - 1) & ~(huge - 1);
    const std::uintptr_t to = (start + bytes + huge) & ~(huge - 1);
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    std::free(room);
    // What lies before the first page of 2 MiB stays taken for good, untouched but for the
    // allocator's header, so that the blocks taken next begin on that page: one that began
    // before it would fault for each 4 KiB up to it. The allocator gives the freed room back
    // from its start, and a block of 8 bytes less than a multiple of 16 fills that multiple.
    const std::uintptr_t gap = from - start;
    if (gap < 64) return;
    void* const spacer = std::malloc(gap - sizeof(std::size_t));
    if (spacer != room) std::free(spacer);  // placed elsewhere: of no use
}
#endif

}  // namespace

void KeepFreedBlocksForReuse() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    // Setting either also stops the allocator from moving its thresholds on its own.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kKeptFreeBytes));
    if (!AddressSpaceLimited()) MakeHugePageRoom(kHugePageRoomBytes);
#endif
}

void KeepCountingBlocksInHugePages() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    // Blocks up to the most the allocator allows (the room among them) come from the heap
    // rather than fresh mappings, and what is freed stays for the next file. Other threads
    // keep heaps of their own: one shared by all made the threads that read a document wait
    // on its lock for most of the time.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kCountingBlockBytes));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kCountingRoomBytes + kCountingBlockBytes));
    if (!AddressSpaceLimited()) MakeHugePageRoom(kCountingRoomBytes);
#endif
}

}  // namespace brintale
