#include "platform/pagedblock.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace mixgen {

namespace {

// The addresses a block sets aside when it is first made.
constexpr std::size_t kReach = std::size_t(1) << 30;

std::size_t roundedUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

} // namespace

std::size_t PagedBlock::pageSize() {
    static const auto page = std::size_t(::sysconf(_SC_PAGESIZE));
    return page;
}

PagedBlock::PagedBlock(PagedBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_capacity(std::exchange(other.m_capacity, 0)),
      m_filePages(std::exchange(other.m_filePages, false)) {}

PagedBlock& PagedBlock::operator=(PagedBlock&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_filePages = std::exchange(other.m_filePages, false);
    }
    return *this;
}

void PagedBlock::reserve(std::size_t bytes, std::size_t kept) {
    if (bytes <= m_capacity)
        return;
    if (m_data == nullptr) {
        // A wide stretch of addresses is set aside at once: it costs no memory until written,
        // and the block grows inside it without moving.
        const std::size_t wide = roundedUp(std::max(bytes, kReach), pageSize());
        void* stretch = ::mmap(nullptr, wide, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (stretch != MAP_FAILED) {
            m_data = static_cast<char*>(stretch);
            m_capacity = wide;
            return;
        }
        // Where addresses are counted against the memory, only what is asked for.
    }
    const std::size_t capacity = roundedUp(bytes, pageSize());
    if (m_filePages) { // a file's pages do not move along with the block's own
        moveTo(capacity, kept);
        return;
    }
    void* block = m_data == nullptr ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                    : ::mremap(m_data, m_capacity, capacity, MREMAP_MAYMOVE);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    m_data = static_cast<char*>(block);
    m_capacity = capacity;
}

void PagedBlock::prepare(std::size_t offset, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const std::size_t page = pageSize();
    const std::size_t first = offset / page * page;
    const std::size_t end = std::min(roundedUp(offset + bytes, page), m_capacity);
    if (m_data != nullptr && first < end)
        ::madvise(m_data + first, end - first, MADV_POPULATE_WRITE);
#else
    (void)offset;
    (void)bytes;
#endif
}

void PagedBlock::release() {
    if (m_data != nullptr)
        ::munmap(m_data, m_capacity);
    m_data = nullptr;
    m_capacity = 0;
    m_filePages = false;
}

bool PagedBlock::mapFile(int fd, std::size_t offset, std::size_t bytes) {
    if (bytes == 0)
        return true;
    const std::size_t length = roundedUp(bytes, pageSize());
    if (m_data == nullptr || offset % pageSize() != 0 || offset + length > m_capacity)
        return false;
    char* at = m_data + offset;
    if (::mmap(at, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, off_t(offset)) !=
        MAP_FAILED) {
        m_filePages = true;
        return true;
    }
    // A failed fixed mapping may leave a hole: the room (never written yet) is made again.
    if (::mmap(at, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
               0) == MAP_FAILED)
        throw std::bad_alloc();
    return false;
}

void PagedBlock::keepOwnCopy(std::size_t kept) {
    if (m_filePages)
        moveTo(m_capacity, kept);
}

void PagedBlock::moveTo(std::size_t capacity, std::size_t kept) {
    PagedBlock moved;
    moved.reserve(capacity);
    kept = std::min(kept, m_capacity);
    if (kept > 0)
        std::memcpy(moved.m_data, m_data, kept);
    *this = std::move(moved);
}

} // namespace mixgen
