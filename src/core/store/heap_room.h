#pragma once

#include <QtGlobal>

// The memory a big load takes is mostly fresh: a million small texts and the lists that hold
// them, a gigabyte at a million cards. Touching fresh memory a 4 KiB page at a time is slow
// (each first touch is a page fault, and on a virtual machine a costly one), while the C
// library's allocator hands out such pages by default, and grows a worker thread's heap one
// page at a time. So the program keeps one heap for all its threads, and makes room at its top
// before a big load, asking for transparent huge pages there: the load then touches a 2 MiB
// page where it touched 512 small ones.

// Keeps every thread's allocations in the one heap that HeapRoom prepares, and lets blocks of
// up to 32 MiB come from it. Called once at the start of main(), before any thread is made.
// Does nothing when the user tuned the allocator through its environment variables: theirs
// stand.
void tuneHeapForBigLoads();

// Whether tuneHeapForBigLoads() took effect in this process.
bool heapTunedForBigLoads();

// Room for about bytes of allocations at the top of the heap, advised for huge pages, while it
// lives; meanwhile even big blocks come from the heap rather than from mappings of their own.
// Does nothing unless the heap was tuned, or for a small load. Loads may overlap: the heap is
// left as it was when the last one ends.
class HeapRoom
{
public:
    explicit HeapRoom(qint64 bytes);
    ~HeapRoom();
    HeapRoom(const HeapRoom &) = delete;
    HeapRoom &operator=(const HeapRoom &) = delete;

    // What the room was made with: 0 when none was made.
    qint64 bytes() const { return m_bytes; }

    // Loads smaller than this are left to the allocator as it is.
    static constexpr qint64 smallestRoom = qint64(64) << 20;

private:
    qint64 m_bytes = 0;
};
