#include "folderset.h"

namespace mixgen::cmd {

namespace {

bool isZero(const FolderId& id) {
    return id.device == 0 && id.inode == 0;
}

} // namespace

std::size_t FolderSet::slotOf(const FolderId& id) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = homeSlot(id);
    while (!isZero(m_slots[slot]) && !(m_slots[slot] == id))
        slot = (slot + 1) & mask;
    return slot;
}

bool FolderSet::insert(const FolderId& id) {
    if (isZero(id)) {
        const bool added = !m_hasZero;
        m_hasZero = true;
        return added;
    }
    if ((m_count + 1) * 2 > m_slots.size())
        grow();
    FolderId& slot = m_slots[slotOf(id)];
    if (!isZero(slot))
        return false;
    slot = id;
    ++m_count;
    return true;
}

bool FolderSet::contains(const FolderId& id) const {
    if (isZero(id))
        return m_hasZero;
    return !m_slots.empty() && !isZero(m_slots[slotOf(id)]);
}

void FolderSet::grow() {
    std::vector<FolderId> old(m_slots.empty() ? 64 : m_slots.size() * 2, FolderId{0, 0});
    old.swap(m_slots);
    for (const FolderId& id : old) {
        if (!isZero(id))
            m_slots[slotOf(id)] = id;
    }
}

} // namespace mixgen::cmd
