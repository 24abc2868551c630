#pragma once

#include "core/store/progress_table.h"

#include <QRandomGenerator>

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

// A table keyed by face digest, for the few records of a load that do not come in deck order.
// Entries stay in the order they were added, in one array; the slots, a power of two of them
// probed linearly, hold only an entry's index, so that a lookup touches 4 bytes before the entry
// it finds. The slot of a digest is mixed with a seed of the table's own: a file whose keys were
// made to share their first bytes does not make the probes long.
template <typename T> class DigestTable
{
public:
    using Entry = std::pair<FaceDigest, T>;

    DigestTable() : m_seed(QRandomGenerator::global()->generate64()) {}

    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    // Empty, keeping the room it had.
    void clear()
    {
        m_entries.clear();
        std::fill(m_slots.begin(), m_slots.end(), 0);
    }

    // In the order they were added.
    std::vector<Entry> &entries() { return m_entries; }
    const std::vector<Entry> &entries() const { return m_entries; }

    T *find(const FaceDigest &digest)
    {
        const qsizetype index = indexOf(digest);
        return index < 0 ? nullptr : &m_entries[size_t(index)].second;
    }
    const T *find(const FaceDigest &digest) const
    {
        const qsizetype index = indexOf(digest);
        return index < 0 ? nullptr : &m_entries[size_t(index)].second;
    }
    bool contains(const FaceDigest &digest) const { return indexOf(digest) >= 0; }

    // The entry of the digest, added with value when there is none; true when it was added.
    std::pair<T *, bool> insert(const FaceDigest &digest, T value)
    {
        if ((m_entries.size() + 1) * 2 > m_slots.size())
            grow();
        size_t slot = slotOf(digest);
        while (m_slots[slot] != 0) {
            Entry &entry = m_entries[m_slots[slot] - 1];
            if (entry.first == digest)
                return {&entry.second, false};
            slot = (slot + 1) & (m_slots.size() - 1);
        }
        m_entries.emplace_back(digest, std::move(value));
        m_slots[slot] = quint32(m_entries.size());
        return {&m_entries.back().second, true};
    }

private:
    size_t slotOf(const FaceDigest &digest) const
    {
        quint64 low;
        quint64 high;
        std::memcpy(&low, digest.bytes.data(), 8);
        std::memcpy(&high, digest.bytes.data() + 8, 8);
        const quint64 mixed = mix(low ^ m_seed) ^ std::rotl(mix(high + m_seed), 17);
        return size_t(mixed) & (m_slots.size() - 1);
    }

    // The finalizer of splitmix64: every bit of the input moves every bit of the output.
    static quint64 mix(quint64 x)
    {
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
        return x ^ (x >> 31);
    }

    qsizetype indexOf(const FaceDigest &digest) const
    {
        if (m_entries.empty())
            return -1;
        for (size_t slot = slotOf(digest);; slot = (slot + 1) & (m_slots.size() - 1)) {
            const quint32 index = m_slots[slot];
            if (index == 0)
                return -1;
            if (m_entries[index - 1].first == digest)
                return qsizetype(index - 1);
        }
    }

    void grow()
    {
        std::vector<quint32> slots(std::max<size_t>(16, 2 * m_slots.size()), 0);
        m_slots.swap(slots);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            size_t slot = slotOf(m_entries[i].first);
            while (m_slots[slot] != 0)
                slot = (slot + 1) & (m_slots.size() - 1);
            m_slots[slot] = quint32(i + 1);
        }
    }

    quint64 m_seed;
    std::vector<quint32> m_slots;
    std::vector<Entry> m_entries;
};
