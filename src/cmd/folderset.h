#pragma once

#include "platform/prefetch.h"

#include <sys/types.h>

#include <cstdint>
#include <vector>

namespace mixgen::cmd {

// A folder as the walk knows it: its device and inode.
struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId&) const = default;
};

// The folders a walk has entered. A flat table (no allocation per folder): the walk asks it
// once for every folder of a tree that may hold a million.
class FolderSet {
public:
    FolderSet() = default;
    template <typename It> FolderSet(It first, It last) { insert(first, last); }

    // True when id was not in the set yet.
    bool insert(const FolderId& id);
    template <typename It> void insert(It first, It last) {
        for (; first != last; ++first)
            insert(*first);
    }
    bool contains(const FolderId& id) const;
    // Asks the memory early for where id would be: a big set's lookups each miss the cache,
    // and several asked for at once overlap.
    void prefetch(const FolderId& id) const {
        if (!m_slots.empty())
            prefetchLine(&m_slots[homeSlot(id)]);
    }

private:
    std::size_t homeSlot(const FolderId& id) const {
        std::uint64_t h =
            std::uint64_t(id.inode) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(id.device);
        h ^= h >> 29;
        return std::size_t(h) & (m_slots.size() - 1);
    }
    std::size_t slotOf(const FolderId& id) const;
    void grow();

    // An empty slot holds the zero id; a real zero id is kept aside.
    std::vector<FolderId> m_slots;
    std::size_t m_count = 0;
    bool m_hasZero = false;
};

} // namespace mixgen::cmd
