#include "platform/pagedblock.h"

#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace mixgen {

namespace {

// A huge page: blocks of at least this size ask for them.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

std::size_t roundedToPages(std::size_t bytes) {
    static const auto page = std::size_t(::sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

} // namespace

PagedBlock::PagedBlock(PagedBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_capacity(std::exchange(other.m_capacity, 0)) {
}

PagedBlock& PagedBlock::operator=(PagedBlock&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void PagedBlock::reserve(std::size_t bytes) {
    if (bytes <= m_capacity)
        return;
    const std::size_t capacity = roundedToPages(bytes);
    void* block = m_data == nullptr ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                    : ::mremap(m_data, m_capacity, capacity, MREMAP_MAYMOVE);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    // Only advice: where the system has no huge pages for us, small ones serve as well.
    if (capacity >= kHugePage)
        ::madvise(block, capacity, MADV_HUGEPAGE);
    m_data = static_cast<char*>(block);
    m_capacity = capacity;
}

void PagedBlock::release() {
    if (m_data != nullptr)
        ::munmap(m_data, m_capacity);
    m_data = nullptr;
    m_capacity = 0;
}

} // namespace mixgen
