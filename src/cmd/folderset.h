#pragma once

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

private:
    std::size_t slotOf(const FolderId& id) const;
    void grow();

    // An empty slot holds the zero id; a real zero id is kept aside.
    std::vector<FolderId> m_slots;
    std::size_t m_count = 0;
    bool m_hasZero = false;
};

} // namespace mixgen::cmd
