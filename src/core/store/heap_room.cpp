#include "core/store/heap_room.h"

#include <QByteArrayView>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include <malloc.h>
#include <sys/mman.h>

namespace {

constexpr quintptr hugePage = quintptr(2) << 20;
// Blocks up to this size come from the heap; the C library allows no more.
constexpr int largestHeapBlock = 32 << 20;
// Free memory at the top of the heap beyond this goes back to the system: twice the largest
// block, as the allocator itself keeps it when it tunes itself.
constexpr qint64 usualTrimThreshold = qint64(2) * largestHeapBlock;
constexpr qint64 largestRoom = qint64(1792) << 20;
// As the C library has it.
constexpr int usualMappingsMax = 65536;

std::atomic<bool> tuned{false};
std::mutex roomMutex;
int openRooms = 0;

bool userTunedAllocator()
{
    for (const char *name : {"MALLOC_ARENA_MAX", "MALLOC_MMAP_THRESHOLD_", "MALLOC_TRIM_THRESHOLD_",
                             "MALLOC_TOP_PAD_", "MALLOC_MMAP_MAX_"}) {
        if (std::getenv(name))
            return true;
    }
    const char *tunables = std::getenv("GLIBC_TUNABLES");
    return tunables && QByteArrayView(tunables).contains("glibc.malloc.");
}

} // namespace

void tuneHeapForBigLoads()
{
    if (tuned.load() || userTunedAllocator())
        return;
    // One heap for every thread: a worker's own heap would grow a page at a time, out of reach
    // of the room made for it.
    if (::mallopt(M_ARENA_MAX, 1) != 1 || ::mallopt(M_MMAP_THRESHOLD, largestHeapBlock) != 1 ||
        ::mallopt(M_TRIM_THRESHOLD, int(usualTrimThreshold)) != 1)
        return;
    tuned.store(true);
}

bool heapTunedForBigLoads()
{
    return tuned.load();
}

HeapRoom::HeapRoom(qint64 bytes)
{
    if (!tuned.load() || bytes < smallestRoom)
        return;
    // With some to spare for alignment; at most what the trim threshold (an int) can keep.
    const size_t size = size_t(std::min(bytes, largestRoom)) + 2 * hugePage;
    const std::lock_guard lock(roomMutex);
    if (openRooms++ == 0)
        ::mallopt(M_MMAP_MAX, 0);
    m_bytes = bytes;
    // Kept at the top until the load takes it: a free next to it must not give it back.
    ::mallopt(M_TRIM_THRESHOLD, int(size + hugePage));
    // The heap, not a mapping of its own, as no block is mapped while a room is open.
    void *room = std::malloc(size);
    if (!room)
        return;
    const auto begin = (reinterpret_cast<quintptr>(room) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<quintptr>(room) + size) & ~(hugePage - 1);
    // Only its first bytes were touched (by the allocator's own bookkeeping).
    if (begin < end)
        ::madvise(reinterpret_cast<void *>(begin), size_t(end - begin), MADV_HUGEPAGE);
    std::free(room);
}

HeapRoom::~HeapRoom()
{
    if (!m_bytes)
        return;
    const std::lock_guard lock(roomMutex);
    if (--openRooms == 0) {
        ::mallopt(M_MMAP_MAX, usualMappingsMax);
        ::mallopt(M_TRIM_THRESHOLD, int(usualTrimThreshold));
    }
}
