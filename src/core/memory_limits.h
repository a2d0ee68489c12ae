#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <cstddef>
#include <optional>

namespace brintale {

// What bounds the memory this process may still take. A figure the system does not give is
// absent and bounds nothing.
struct MemoryLimits {
    std::optional<quint64> available;  // MemAvailable, else the installed memory
    // memory.max of the process's control group and of every group above it that sets
    // one, each with its memory.current: the tightest leaves the least room.
    struct Group {
        quint64 limit = 0;
        quint64 used = 0;
    };
    std::optional<Group> tightestGroup;
    std::optional<quint64> addressSpaceLimit;  // RLIMIT_AS
    std::optional<quint64> addressSpaceUsed;   // VmSize
};

// The window holds a loaded file several times over at the peak of the load: the decoded
// text, which the box keeps for the next load's undo, and the document (measured: 4.1 bytes
// per byte of a 100 MB UTF-8 text of prose in lines); one more leaves room for the rest of
// the program.
inline constexpr quint64 kLoadBytesPerFileByte = 5;

// Bytes still free under every limit: the least of them; nullopt when no limit is known.
std::optional<quint64> FreeMemory(const MemoryLimits& limits);

// The largest file whose load fits in the free memory.
quint64 LargestLoadableFile(const MemoryLimits& limits);

// A control group file's value ("max" or a number, then a line feed); nullopt for "max" or
// anything unreadable.
std::optional<quint64> ParseGroupValue(QByteArrayView content);

// The limits as the system reports them now.
MemoryLimits CurrentMemoryLimits();

// Every load frees and takes again blocks of tens of megabytes (the document's text, the
// text kept for undo). Mapped fresh from the system, each page of them costs a fault when it
// is first written, and those faults were most of a load's time; so large blocks come from
// the heap too, and up to kKeptFreeBytes freed at its top stay there for the next load
// instead of going back to the system. Call once, before the first large block is taken.
// The heap's top is also made room for a large text at once, marked for pages of 2 MiB where
// the system has them, so that even the first load costs a fault for each 2 MiB rather than
// for each 4 KiB; untouched, the room costs no memory.
inline constexpr quint64 kKeptFreeBytes = quint64(256) << 20;
inline constexpr std::size_t kHugePageRoomBytes = std::size_t(192) << 20;
void KeepFreedBlocksForReuse();
// The counter for scripts takes and frees blocks of half a MiB to a few (pieces read,
// output gathered) for every file. On a virtual machine the first write to each fresh page of
// 4 KiB costs a fault that is dear, a tenth of printing 128 MiB; so blocks up to
// kCountingBlockBytes come from the heap, whose top is room marked for pages of 2 MiB, and stay
// there once freed. Call once, before any thread starts.
inline constexpr std::size_t kCountingBlockBytes = std::size_t(32) << 20;
inline constexpr std::size_t kCountingRoomBytes = std::size_t(16) << 20;
void KeepCountingBlocksInHugePages();
// Whether the C library's allocator is the one KeepFreedBlocksForReuse tunes (not so under
// the address sanitizer, whose allocator stands in for it).
bool TunesTheAllocator();

}  // namespace brintale
